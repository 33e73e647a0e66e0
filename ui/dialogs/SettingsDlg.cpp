#include "ui/dialogs/SettingsDlg.h"

#include <string_view>

#include "platform/SettingsStore.h"
#include "ui/widgets/AnimationSwitch.h"

namespace {

// The Editor values the shell stores on OK, with their defaults.
std::uint32_t EditorValue(const CSettingsStore& store, std::u16string_view name, std::uint32_t fallback) {
  std::uint32_t value = fallback;
  // A missing or unreadable value keeps the default.
  static_cast<void>(store.GetDword(CSettingsStore::Scope::CurrentUser, u"Editor", name, value));
  return value;
}

}  // namespace

bool CSettingsDlg::OnInitDialog() {
  const CSettingsStore store;
  animation = static_cast<std::uint32_t>(g_AnimationEnabled.load());
  autoWizard = EditorValue(store, u"AutoWizard", 1);
  filmForRaw = EditorValue(store, u"FilmForRAW", 1);
  doubleClickForEdit = EditorValue(store, u"DbClickForEdit", 0);
  return BindControl(kAnimationId, animation) && BindControl(kAutoWizardId, autoWizard) &&
         BindControl(kFilmForRawId, filmForRaw) && BindControl(kDoubleClickId, doubleClickForEdit) &&
         UpdateData(false);
}
