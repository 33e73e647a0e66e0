#pragma once
// CDialogSprite: a modal dialog of the interface, laid out from a dialog
// template of the data folder (CUIResources::dialogTemplates). Create makes
// one sprite control per template control (static text, button, check or
// radio box, edit field) at the template's place converted to pixels and 30
// pixels lower, below the title band; texts that are keys of the text table
// are replaced by their texts. RunModal opens the dialog as a popup above
// every dialog that runs already, runs the UI queue until an end code is
// set (1 OK, 2 Cancel or closed, or a subclass's own code) and then closes
// and destroys it; the object itself stays with its owner, usually on the
// caller's stack. The dialog draws a skinned frame with a title band, can be
// dragged by the band, fades in when animations are on, and exchanges
// values with variables of its subclass through bindings (UpdateData).
//
// A test may answer every dialog that runs modally from a script
// (CDialogScript): RunModal then takes its input from the script.
//
// Threads: everything runs on the UI thread except Draw (render thread,
// under the dialog's lock). The title picture and the fade times change
// under the lock; the end code is atomic.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "image/BgraImage.h"
#include "ui/DialogControl.h"
#include "ui/PopupSprite.h"
#include "ui/widgets/SButton.h"

struct DialogTemplate;

// The layer of the first dialog; each dialog that runs lies one above.
inline constexpr std::int32_t kFirstDialogLayer = 160;
// The title band adds this to the template's height, and the controls lie
// this far below their template places.
inline constexpr std::int32_t kDialogTitleBand = 25;
inline constexpr std::int32_t kDialogControlOffset = 30;
// Presses in the band above this line drag the dialog.
inline constexpr std::int32_t kDialogDragBand = 40;
inline constexpr std::uint32_t kDialogFadeMs = 500;
// A dialog's own message, every timerPeriod frames: wparam = the period.
inline constexpr std::int32_t kDialogMsgTimer = 101;
// End codes and the ids of the buttons that give them.
inline constexpr std::int32_t kIdOk = 1;
inline constexpr std::int32_t kIdCancel = 2;
inline constexpr std::int32_t kIdYes = 6;
inline constexpr std::int32_t kIdNo = 7;

enum class DialogControlKind : std::int8_t {
  Other = -1,  // a class no control is made for: Create fails
  Static = 0,
  Button = 1,
  Edit = 2,
  ListBox = 3,
  Trackbar = 5,
};

// One control of the template as the dialog keeps it.
struct DialogControlTemplate {
  DialogControlKind kind = DialogControlKind::Other;
  char16_t subtype = 0;  // 'C' or 'R' from a "#C" or "#R" text, else 0
  Rect rect;             // pixels in dialog coordinates
  std::u16string text;   // without its "#C" or "#R"
  std::int32_t controlId = 0;
  CDialogControl* control = nullptr;  // null until made; owned by the dialog
};

enum class BindKind : std::int32_t { Int = 1, String = 2, Unsigned = 3, RangedInt = 4 };

struct ControlBinding {
  std::size_t entry = 0;  // index into CDialogSprite::templates
  std::variant<std::int32_t*, std::u16string*, std::uint32_t*> variable;
  BindKind kind = BindKind::Int;
  std::int32_t maximum = 0;
  std::int32_t minimum = 0;
};

class CDialogSprite : public CPopupSprite {
public:
  static constexpr std::size_t kTitleField = 256;
  static constexpr std::size_t kValueField = 4096;  // characters UpdateData reads of a control
  static constexpr std::size_t kRangeMessageField = 128;
  static constexpr std::int32_t kTitleFontSize = 14;
  static constexpr std::int32_t kShadedRows = 32;
  static constexpr std::int32_t kAlphaCap = 220;
  static constexpr std::int64_t kOpaqueFromPixels = 200000;

  CDialogSprite();
  ~CDialogSprite() override;

  bool Draw(std::uint32_t now) override;
  // Marks the controls owned and closed, drops the bindings, destroys the
  // children (deleting the controls) and forgets the template entries.
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  // Enter: OnOK; Esc: OnCancel.
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  // Code 1 (a button): OnCommand with its id; then the base handling.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  void ShowPopup() override;

  // The dialog's own operations. UpdateData(false) writes the bound
  // variables into the controls, UpdateData(true) reads them back and
  // checks unsigned and ranged values (a message box tells what is wrong;
  // bindings before the failing one keep their new values).
  [[nodiscard]] virtual bool UpdateData(bool save);
  // 1: OnOK, 2: OnCancel, other ids nothing.
  virtual void OnCommand(std::int32_t commandId);
  // Before the dialog shows; false ends RunModal at once (end code 0).
  [[nodiscard]] virtual bool OnInitDialog();
  virtual void OnCancel();
  // UpdateData(true), then the end code 1; false (and the dialog open) when
  // a value is refused.
  [[nodiscard]] virtual bool OnOK();
  // The control with id 1, when there is one, takes the focus.
  virtual void SetInitialFocus();

  // Builds the dialog from the template, hidden, in the render window that
  // is live, at the given place, or, for an empty one (right equal to left),
  // centred in the window's logical client area. False when the template is
  // not there, a control class is unsupported or a control, the title or
  // a skin picture cannot be made.
  [[nodiscard]] bool Create(std::int32_t templateId, Rect place = {});
  // A new caption (at most 255 characters, longer ones end in ".."),
  // rendered at the dialog's width less 40. False, the old one kept, when
  // rendering fails. The caller invalidates.
  [[nodiscard]] bool SetTitle(std::u16string_view text);
  // Shows the dialog and runs it; the end code. A dialog runs once, and
  // only after a successful Create (else 0).
  std::int32_t RunModal();
  // The control made for the first template entry with that id, or null.
  CDialogControl* FindControl(std::int32_t controlId) const;
  // Bindings for UpdateData; false when no template entry has the id. A
  // ranged binding refuses values below minimum or above maximum.
  [[nodiscard]] bool BindControl(std::int32_t controlId, std::int32_t& variable);
  [[nodiscard]] bool BindControl(std::int32_t controlId, std::uint32_t& variable);
  [[nodiscard]] bool BindControl(std::int32_t controlId, std::u16string& variable);
  [[nodiscard]] bool BindControl(std::int32_t controlId, std::int32_t& variable, std::int32_t maximum,
                                 std::int32_t minimum);
  // Ends the modal loop with code (not 0) once the current message is done.
  void EndModal(std::int32_t code) { endCode = code; }
  std::int32_t EndCode() const { return endCode; }
  // Shows (visible, dirty) or hides (invisible, its area invalidated, its
  // surfaces freed) a control of the dialog.
  static void ShowControl(CSprite* control, bool shown);

  // The layer the next dialog gets; starts at 160.
  static std::int32_t LayerCounter();
  // The text of "dlgUpdateRange" with the range and the value refused filled
  // in (a language file's text: only three numbers are), cut to
  // kRangeMessageField characters.
  static std::u16string RangeMessage(std::int64_t minimum, std::int64_t maximum, std::int64_t value);

  // Fields.
  std::uint32_t fadeStart = 0;  // under lock
  std::uint32_t fadeEnd = 0;
  std::int32_t fadeState = 0;  // 0 none, 1 fading in, 2 fading out
  std::int32_t fadeOutOnClose = 1;
  std::vector<DialogControlTemplate> templates;
  std::u16string title;
  CBgraImage titleImage;  // under lock; coverage
  CBgraImage frameImage;  // "dialogframe.png"
  CSButton closeButton;   // id 2, top right
  std::atomic<std::int32_t> endCode{0};
  std::int32_t frameCounter = 0;  // render thread
  std::atomic<std::int32_t> timerPeriod{0};
  std::int32_t translucent = 0;  // the alpha cap applies to large dialogs too
  std::vector<ControlBinding> bindings;
  std::int32_t width = 0;   // template client width
  std::int32_t height = 0;  // template client height plus the title band
  std::int32_t dragging = 0;
  Point grabPoint;
  CBgraImage icon;  // "defwndicon.png" unless a subclass loaded another before Create

protected:
  // One control per template entry, in order; false when one cannot be made.
  [[nodiscard]] virtual bool CreateControls();
  // The fade step of Draw.
  void UpdateFade(std::uint32_t now);

private:
  void ReadControlTemplates(const DialogTemplate& dialogTemplate);
  [[nodiscard]] bool AddBinding(std::int32_t controlId, ControlBinding binding);
  // The place of a new dialog: centred in the window's logical client area.
  Rect CentredPlace() const;
  // Leaves the window's lists and registry; the render thread no longer
  // reaches the dialog afterwards.
  void Detach();

  bool m_created = false;
  bool m_ran = false;
  bool m_opened = false;
  bool m_layerRaised = false;
};
