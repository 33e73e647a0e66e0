#pragma once
// The file chooser: the open and save questions for a file path. The program
// installs its chooser at start-up; tests install a scripted one. Without one
// both questions write "File chooser not built" to the debug log and answer
// as cancelled. UI thread.

#include <filesystem>
#include <string_view>

class IFileChooser {
public:
  // Asks for an existing file to open. filterKey is the text key naming the
  // file kinds offered (as "AllSupportFile"). False when cancelled.
  [[nodiscard]] virtual bool ChooseOpenPath(std::u16string_view titleKey, std::u16string_view filterKey,
                                            std::filesystem::path& chosen) = 0;
  // Asks for a path to save to, starting from startName; a bare name gets
  // defaultExtension (with its dot); an existing file is written only after
  // the user agreed to replace it. False when cancelled.
  [[nodiscard]] virtual bool ChooseSavePath(std::u16string_view titleKey,
                                            const std::filesystem::path& startName,
                                            std::u16string_view defaultExtension,
                                            std::filesystem::path& chosen) = 0;

protected:
  ~IFileChooser() = default;
};

// Installs the program's chooser (null removes it).
void SetFileChooser(IFileChooser* chooser);
// The installed chooser, or the stand-in that refuses.
IFileChooser& FileChooser();
