#pragma once
// CTypedPathChooser: the file chooser as a typed path. Both questions are
// the text input dialog: the open form asks again, after "chooserNotFound",
// until the path names an existing file that is not a folder; the save form
// gives a name without an extension the default one, reads a relative path
// from the start name's folder, and asks "chooserReplace" before it answers
// with an existing file (No asks for another path). Cancel, or an empty
// answer, cancels. UI thread.

#include <cstdint>

#include "ui/dialogs/FileChooser.h"

class CTypedPathChooser final : public IFileChooser {
public:
  static constexpr std::int32_t kMaxPathLength = 1024;

  [[nodiscard]] bool ChooseOpenPath(std::u16string_view titleKey, std::u16string_view filterKey,
                                    std::filesystem::path& chosen) override;
  [[nodiscard]] bool ChooseSavePath(std::u16string_view titleKey, const std::filesystem::path& startName,
                                    std::u16string_view defaultExtension,
                                    std::filesystem::path& chosen) override;
};
