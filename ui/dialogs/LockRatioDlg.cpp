#include "ui/dialogs/LockRatioDlg.h"

#include <algorithm>
#include <string>

#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/SCheckBox.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

}  // namespace

CLockRatioDlg::~CLockRatioDlg() { ReleaseMenu(); }

void CLockRatioDlg::ReleaseMenu() {
  if (presetMenu.key == 0) return;
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    if (presetMenu.visible) presetMenu.CloseMenu(false);
    window->RemoveTopLevelSprite(&presetMenu);
  }
}

void CLockRatioDlg::Destroy(int final) {
  ReleaseMenu();
  if (final) presetMenu.Destroy(final);
  CDialogSprite::Destroy(final);
}

bool CLockRatioDlg::OnInitDialog() {
  if (!presets.Load()) return false;
  if (!presetMenu.Create(nullptr, renderWindow, kMenuId, {0, 0, 100, 100}, kPopupMenuLayer)) return false;
  presetMenu.visible = 0;
  if (!BindControl(kLockId, lockRatio) || !BindControl(kWidthId, ratioWidth) ||
      !BindControl(kHeightId, ratioHeight) || !UpdateData(false)) {
    return false;
  }
  EnableRatioFields();
  return true;
}

bool CLockRatioDlg::UpdateData(bool save) {
  if (!CDialogSprite::UpdateData(save)) return false;
  if (save && (ratioWidth == 0 || ratioHeight == 0)) {
    ShowMessageBox(TextOf(u"Valuenotzero"), MessageBoxIcon::Information, MessageBoxButtons::Ok);
    return false;
  }
  return true;
}

void CLockRatioDlg::EnableRatioFields() {
  for (const std::int32_t fieldId : {kWidthId, kHeightId}) {
    if (CDialogControl* field = FindControl(fieldId)) {
      field->acceptsInput = lockRatio ? 1 : 0;
      field->dirty = 1;
    }
  }
}

bool CLockRatioDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kMenuMsgCommand) {
    const auto command = static_cast<std::int64_t>(message.wparam);
    if (command == kAddCommand) {
      AddToPreset();
    } else if (command == kRemoveCommand) {
      RemoveCurrentPreset();
    } else if (command >= kFirstPresetCommand &&
               static_cast<std::uint64_t>(command - kFirstPresetCommand) < presets.presets.size()) {
      const RatioPreset& preset = presets.presets[static_cast<std::size_t>(command - kFirstPresetCommand)];
      ratioWidth = preset.ratioWidth;
      ratioHeight = preset.ratioHeight;
      lockRatio = 1;
      // Writing into the controls fails only without them; they were made
      // with the dialog.
      (void)UpdateData(false);
    }
  } else if (message.code == kCheckMsgChanged && message.wparam == kLockId) {
    // The lock state is bound first, so it is read even when a field's value
    // is refused (the user has been told why).
    (void)UpdateData(true);
    EnableRatioFields();
  } else if (message.code == kSpriteMsgButtonClicked && message.wparam == kPresetButtonId) {
    ShowPresetMenu();
  }
  return CDialogSprite::OnSpriteMessage(message);
}

void CLockRatioDlg::ShowPresetMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  const CDialogControl* button = FindControl(kPresetButtonId);
  if (!window || !button) return;
  presetMenu.Destroy(0);
  std::vector<RatioPreset>& list = presets.presets;
  std::stable_sort(list.begin(), list.end(),
                   [](const RatioPreset& a, const RatioPreset& b) { return a.name < b.name; });
  for (std::size_t i = 0; i < list.size(); ++i) {
    presetMenu.AddItemEx({}, kFirstPresetCommand + static_cast<std::int32_t>(i), list[i].name, {}, {},
                         nullptr);
  }
  if (!list.empty()) presetMenu.AddItem({}, 0, {}, nullptr);
  presetMenu.AddItemEx(u"A", kAddCommand, TextOf(u"dlgAdd to preset"), {}, {}, nullptr);
  presetMenu.AddItemEx(u"D", kRemoveCommand, TextOf(u"Remove current"), {}, {}, nullptr);
  window->ShowPopupMenu(&presetMenu, button->PointToWindow({0, button->rect.Height()}), true, true, this);
}

void CLockRatioDlg::AddToPreset() {
  if (!UpdateData(true)) return;
  std::u16string name;
  if (!InputString(name, kNameLength, TextOf(u"dlgPreset"), TextOf(u"Give a name"))) return;
  std::vector<RatioPreset>& list = presets.presets;
  const auto found =
      std::find_if(list.begin(), list.end(), [&](const RatioPreset& preset) { return preset.name == name; });
  if (found != list.end()) {
    found->ratioWidth = ratioWidth;
    found->ratioHeight = ratioHeight;
  } else {
    list.push_back({name, ratioWidth, ratioHeight});
  }
  SavePresets();
}

void CLockRatioDlg::RemoveCurrentPreset() {
  if (!UpdateData(true)) return;
  std::vector<RatioPreset>& list = presets.presets;
  const auto found = std::find_if(list.begin(), list.end(), [&](const RatioPreset& preset) {
    return preset.ratioWidth == ratioWidth && preset.ratioHeight == ratioHeight;
  });
  if (found == list.end()) return;
  list.erase(found);
  SavePresets();
}

void CLockRatioDlg::SavePresets() {
  // A failed write is not reported: the list keeps the change for this
  // dialog and the file on disk stays as it was.
  (void)(presets.GetFilePath() && presets.Save());
}
