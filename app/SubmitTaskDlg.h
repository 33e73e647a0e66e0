#pragma once
// The masking-service form (template 210 of group 1; group 0 is the
// alignment dialog's): the user's name, e-mail address and a message, with
// help texts about the service and its price. Submit checks the fields,
// keeps the name and address in the settings and hands copies of the
// fields and of the photo's JPEG to a worker thread (StartMaskingTask); the
// form stays open and hears nothing of the outcome. The opener sets photo
// before RunModal; without pixels the form does not open.

#include <cstdint>
#include <string>
#include <vector>

#include "app/MaskingTask.h"
#include "ui/DialogSprite.h"
#include "ui/DialogTemplateSet.h"

struct CBgraImage16;

class CSubmitTaskDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = DialogTemplateKey(210, 1);
  static constexpr std::int32_t kSubmitId = 1;
  static constexpr std::int32_t kNameId = 1234;
  static constexpr std::int32_t kEmailId = 1231;
  static constexpr std::int32_t kMessageId = 1232;
  static constexpr std::int32_t kPhotoNoteId = 1233;
  static constexpr std::int32_t kJpegQuality = 90;

  ~CSubmitTaskDlg() override;
  // Button 1 submits and keeps the form open; the rest as any dialog.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Field limits (63, 63, 1024 characters), User "Name" and "Email" into
  // the fields, the photo encoded as JPEG at quality 90 (a failed encoding
  // leaves no JPEG). False without a photo or when it cannot be converted.
  [[nodiscard]] bool OnInitDialog() override;
  // The name field.
  void SetInitialFocus() override;

  // A name of at least 3 characters and an address of at least 4 with an
  // "@": stored, copied and sent; otherwise "dlgInvalidSubmit".
  void Submit();

  const CBgraImage16* photo = nullptr;
  std::vector<std::uint8_t> jpegData;
  std::u16string name;  // the copies sent last, cut to their fields
  std::u16string email;
  std::u16string message;
  // Where the worker connects (tests use a stand-in service).
  std::uint16_t servicePort = kServicePort;
  std::chrono::milliseconds serviceTimeout = kServiceTimeout;
};
