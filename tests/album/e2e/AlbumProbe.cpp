// The program's main window with the album as the program builds it (the
// album page, its thumbnail loaders and photo scan), for the end-to-end
// check that the window shows what the album drew: F9 writes the photo
// grid's rectangle of the back buffer as raw RGB to DUMP and reports
// "dumped x y w h" in the debug log. Ends by the window's close.
//
//   album_probe DUMP

#include <cstdio>
#include <string>

#include "album/PhotoScanThread.h"
#include "album/SAlbumPage.h"
#include "album/ThumbnailLoader.h"
#include "app/AppData.h"
#include "app/BrightforgeDlg.h"
#include "app/Globals.h"
#include "platform/Platform.h"
#include "platform/WindowMessages.h"
#include "ui/UIResources.h"

namespace {

constexpr std::uint32_t kF9 = VK_F1 + 8;

const char* g_dumpPath = nullptr;

// Writes a rectangle of the back buffer (logical pixels) as raw RGB.
bool DumpRect(CRenderWindow& window, const Rect& rect, const char* path) {
  CBgraImage part;
  if (!window.CopyBackBufferRect(rect, part)) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  for (std::uint32_t y = 0; y < part.height; ++y) {
    for (std::uint32_t x = 0; x < part.width; ++x) {
      const std::uint8_t* p = part.At(x, y);
      const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
      std::fwrite(rgb, 1, 3, file);
    }
  }
  return std::fclose(file) == 0;
}

class CProbeWindow final : public CBrightforgeDlg {
public:
  explicit CProbeWindow(MainWindowHooks hooks) : CBrightforgeDlg(std::move(hooks)) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && message.wparam == kF9) DumpGrid();
    CBrightforgeDlg::OnUiMessage(message);
  }

private:
  void DumpGrid() {
    auto* album = dynamic_cast<CSAlbumPage*>(albumPage);
    if (!album) {
      UIResources().WriteLog("dump failed: no album page");
      return;
    }
    const Rect area =
        album->photoList.RectToWindow({0, 0, album->photoList.rect.Width(), album->photoList.rect.Height()});
    const std::string place = std::to_string(area.left) + " " + std::to_string(area.top) + " " +
                              std::to_string(area.Width()) + " " + std::to_string(area.Height());
    UIResources().WriteLog((DumpRect(*this, area, g_dumpPath) ? "dumped " : "dump failed ") + place);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: album_probe DUMP\n");
    return 2;
  }
  g_dumpPath = argv[1];
  MainWindowHooks hooks{
      .createAlbumPage = [](std::u16string_view title) -> CSAlbumPageBase* {
        return new (std::nothrow) CSAlbumPage(title);
      },
      // As the program starts them.
      .startPhotoScan =
          [](CSAlbumPageBase& album, IWorkerExitRegistry& registry) {
            InstallThumbnailLoaders();
            PhotoScanThread().SetListener(album.key);
            return StartPhotoScan(g_SearchScopeFolders, &registry) == 1;
          },
  };
  theApp.SetStartupHooks({
      .runMainWindow =
          [&] {
            CProbeWindow window(hooks);
            static_cast<void>(window.RunModal());  // the window's close ends the probe either way
          },
  });
  return RunPlatform([] {
    static_cast<void>(theApp.InitInstance());  // the exit status below tells how the run ended
    PhotoScanThread().Stop();
    UninstallThumbnailLoaders();
    return theApp.ExitInstance();
  });
}
