#include "app/ProgramSettings.h"

#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/Utf16.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SettingsDlg.h"
#include "ui/widgets/AnimationSwitch.h"

namespace {

void Store(const RegDwordValue& value, std::uint32_t setting) {
  if (!SetRegDword(value.section, value.name, setting))
    UIResources().WriteLog("Setting not stored: " + ToUtf8(value.name));
}

}  // namespace

void ShowSettingsDialog() {
  CSettingsDlg dialog;
  if (!dialog.Create(CSettingsDlg::kTemplateId)) {
    UIResources().WriteLog("Settings dialog not created");
    return;
  }
  if (dialog.RunModal() != kIdOk) return;
  g_AnimationEnabled = dialog.animation != 0 ? 1 : 0;
  Store(RegistryProfile::kAutoWizard, dialog.autoWizard);
  Store(RegistryProfile::kAnimation, dialog.animation);
  Store(RegistryProfile::kFilmForRaw, dialog.filmForRaw);
  Store(RegistryProfile::kDbClickForEdit, dialog.doubleClickForEdit);
}
