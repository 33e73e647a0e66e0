#include "ui/dialogs/TypedPathChooser.h"

#include <system_error>

#include "platform/Utf16.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

}  // namespace

bool CTypedPathChooser::ChooseOpenPath(std::u16string_view titleKey, std::u16string_view filterKey,
                                       std::filesystem::path& chosen) {
  const std::u16string prompt = FormatText(Text(u"chooserOpenPrompt"), {Text(filterKey)});
  std::u16string typed;
  for (;;) {
    if (!InputString(typed, kMaxPathLength, Text(titleKey), prompt) || typed.empty()) return false;
    const std::filesystem::path path = PathFromUtf16(typed);
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error)) {
      chosen = std::filesystem::absolute(path, error);
      if (error) chosen = path;
      return true;
    }
    static_cast<void>(ShowMessageBox(Text(u"chooserNotFound"), MessageBoxIcon::Information,
                                     MessageBoxButtons::Ok));  // only OK; then asked again
  }
}

bool CTypedPathChooser::ChooseSavePath(std::u16string_view titleKey, const std::filesystem::path& startName,
                                       std::u16string_view defaultExtension, std::filesystem::path& chosen) {
  std::u16string typed = PathToUtf16(startName);
  for (;;) {
    if (!InputString(typed, kMaxPathLength, Text(titleKey), Text(u"chooserSavePrompt")) || typed.empty())
      return false;
    std::filesystem::path path = PathFromUtf16(typed);
    if (!path.has_extension() && !defaultExtension.empty()) path += PathFromUtf16(defaultExtension);
    if (path.is_relative()) path = startName.parent_path() / path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (!error) path = absolute;
    if (std::filesystem::is_directory(path, error)) {
      static_cast<void>(ShowMessageBox(Text(u"chooserNotFound"), MessageBoxIcon::Information,
                                       MessageBoxButtons::Ok));  // only OK; then asked again
      continue;
    }
    if (std::filesystem::exists(path, error) &&
        ShowMessageBox(Text(u"chooserReplace"), MessageBoxIcon::Question, MessageBoxButtons::YesNo) !=
            kIdYes) {
      continue;
    }
    chosen = path;
    return true;
  }
}
