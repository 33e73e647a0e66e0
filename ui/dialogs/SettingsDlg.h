#pragma once
// CSettingsDlg: the program options (template 208) as four check boxes:
// animations, the wizard for new photos, the film look for RAW photos and
// double-click to edit. At every opening it reads animations from the
// global switch and the other three from the Editor settings (a missing or
// unreadable value gives its default); the caller runs it and, on OK,
// stores the four fields itself.

#include <cstdint>

#include "ui/DialogSprite.h"

class CSettingsDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 208;
  static constexpr std::int32_t kAnimationId = 1219;
  static constexpr std::int32_t kAutoWizardId = 1220;
  static constexpr std::int32_t kFilmForRawId = 1221;
  static constexpr std::int32_t kDoubleClickId = 1229;

  [[nodiscard]] bool OnInitDialog() override;

  std::uint32_t animation = 0;
  std::uint32_t autoWizard = 1;
  std::uint32_t filmForRaw = 1;
  std::uint32_t doubleClickForEdit = 0;
};
