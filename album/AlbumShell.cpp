#include "album/AlbumShell.h"

#include <atomic>

#include "ui/NotBuilt.h"

namespace {

class CNotBuiltAlbumShell final : public IAlbumShell {
public:
  void OpenDocumentPage(const std::filesystem::path&, bool, std::int32_t) override {
    WriteNotBuilt("Opening photos from the album");
  }
  void EndMainWindow() override { WriteNotBuilt("Album exit"); }
  void ShowAboutBox() override { WriteNotBuilt("About box"); }
  void ShowHelp() override { WriteNotBuilt("Manual"); }
  void ShowSettings() override { WriteNotBuilt("Settings dialog"); }
  void ChangeSkin(std::u16string_view) override { WriteNotBuilt("Skin choice"); }
  void ChangeLanguage(std::int32_t) override { WriteNotBuilt("Language choice"); }
};

CNotBuiltAlbumShell g_standIn;
std::atomic<IAlbumShell*> g_shell{nullptr};

}  // namespace

IAlbumShell& AlbumShell() {
  IAlbumShell* shell = g_shell.load();
  return shell ? *shell : g_standIn;
}

void SetAlbumShell(IAlbumShell* shell) { g_shell.store(shell); }
