#include "ui/dialogs/FileChooser.h"

#include "ui/NotBuilt.h"

namespace {

class CNoFileChooser final : public IFileChooser {
public:
  bool ChooseOpenPath(std::u16string_view, std::u16string_view, std::filesystem::path&) override {
    WriteNotBuilt("File chooser");
    return false;
  }
  bool ChooseSavePath(std::u16string_view, const std::filesystem::path&, std::u16string_view,
                      std::filesystem::path&) override {
    WriteNotBuilt("File chooser");
    return false;
  }
};

CNoFileChooser g_noChooser;
IFileChooser* g_fileChooser = nullptr;

}  // namespace

void SetFileChooser(IFileChooser* chooser) { g_fileChooser = chooser; }

IFileChooser& FileChooser() { return g_fileChooser != nullptr ? *g_fileChooser : g_noChooser; }
