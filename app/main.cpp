// The program's entry point. The main thread becomes the platform thread; the
// application runs on the UI thread and ends with its exit status.

#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "album/AlbumShell.h"
#include "album/ExifDlg.h"
#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "album/SAlbumPage.h"
#include "album/SAlbumPageBase.h"
#include "album/ThumbnailLoader.h"
#include "algorithms/AlgorithmThread.h"
#include "app/AppData.h"
#include "app/BrightforgeDlg.h"
#include "app/Globals.h"
#include "app/Language.h"
#include "app/ProgramSettings.h"
#include "app/WizardDlg.h"
#include "dialogs/AdjustDialogs.h"
#include "dialogs/DialogHost.h"
#include "document/BFDoc.h"
#include "editor/EditorShell.h"
#include "filters/EnlargeFilterSet.h"
#include "image/ImageInfo.h"
#include "output/SaveCommands.h"
#include "platform/Platform.h"
#include "platform/SystemMessage.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/TypedPathChooser.h"

namespace {

// The album's requests, answered by the main window (the parts it has not
// got yet say so in the debug log).
class CMainWindowAlbumShell final : public IAlbumShell {
public:
  void OpenDocumentPage(const std::filesystem::path& path, bool openAnew, std::int32_t mode) override {
    if (CBrightforgeDlg* window = MainWindow()) window->OpenDocumentPage(path, openAnew, nullptr, mode);
  }
  void EndMainWindow() override {
    if (CBrightforgeDlg* window = MainWindow()) window->EndDialog(2);
  }
  void ShowAboutBox() override {
    if (CBrightforgeDlg* window = MainWindow()) window->ShowAboutBox();
  }
  void ShowHelp() override {
    if (CBrightforgeDlg* window = MainWindow()) window->OnHelpInfo();
  }
  void ShowSettings() override { ShowSettingsDialog(); }
  void ChangeSkin(std::u16string_view name) override { ::ChangeSkin(name); }
  // An entry of g_LanguageFiles, or -1 for the base texts.
  void ChangeLanguage(std::int32_t entry) override {
    if (entry < 0) {
      ::ChangeLanguage({});
    } else if (static_cast<std::size_t>(entry) < g_LanguageFiles.size()) {
      ::ChangeLanguage(g_LanguageFiles[static_cast<std::size_t>(entry)].name);
    }
  }

private:
  static CBrightforgeDlg* MainWindow() { return dynamic_cast<CBrightforgeDlg*>(g_RenderWindow.load()); }
};

CMainWindowAlbumShell g_albumShell;

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(FromUtf8(argv[i]));
  theApp.SetCommandLine(std::move(arguments));
  theApp.SetStartupHooks({
      // TESSERA_SERVICE_PORT moves the companion service (a stand-in for
      // end-to-end checks).
      .startServiceClient =
          [](bool enabled) {
            if (const char* port = std::getenv("TESSERA_SERVICE_PORT")) {
              const long value = std::strtol(port, nullptr, 10);
              if (value > 0 && value <= 65535) theServerThread.port = static_cast<std::uint16_t>(value);
            }
            return theServerThread.Start(enabled);
          },
      // A thread that does not join in time is detached; the process ends.
      .stopAlgorithmEngine = [] { static_cast<void>(theAlgorithmThread.Shutdown()); },
  });
  // The parts of the main window that are built; the others show as not
  // built (MainWindowHooks).
  SetAlbumShell(&g_albumShell);
  theApp.SetMainWindowHooks({
      .createAlbumPage = [](std::u16string_view title) -> CSAlbumPageBase* {
        return new (std::nothrow) CSAlbumPage(title);
      },
      // The album's engine: the thumbnail loaders are the work of the
      // window's loader threads; the scan walks the search folders of
      // config.dat and reports to the album page.
      .startPhotoScan =
          [](CSAlbumPageBase& album, IWorkerExitRegistry& registry) {
            InstallThumbnailLoaders();
            PhotoScanThread().SetListener(album.key);
            return StartPhotoScan(g_SearchScopeFolders, &registry) == 1;
          },
      .storePhotoInfo =
          [] {
            if (!PhotoScanThread().IsFinished()) return;
            PhotoInfoCache& cache = GlobalPhotoInfoCache();
            if (!cache.Compact()) {
              UIResources().WriteLog("Photo information not compacted");
              return;
            }
            UIResources().WriteLog("Photo information: " + std::to_string(cache.ValidCount()) + " photos");
          },
      .startAlgorithmEngine =
          [](IWorkerExitRegistry& registry) {
            return theAlgorithmThread.Start(std::thread::hardware_concurrency(), &registry) == 1;
          },
      .initTools = [] { return g_ToolSet.InitTools() == 1; },
      .releaseToolPanels = [] { g_ToolSet.ReleaseToolPanels(); },
      .serviceClient = &theServerThread,
      .countPhotoOpening =
          [](const std::filesystem::path& path) {
            // A photo the album never listed has no record to count in.
            static_cast<void>(GlobalPhotoInfoCache().CountOpening(PathToUtf16(path)));
          },
  });
  // Documents opened from image files convert from the colour space their
  // information records.
  CBFDoc::SetColourSpaceReader(&ReadImageColourSpace);
  // The enlargements finish with the filter library's deconvolution and
  // edge steepening.
  InstallEnlargeFilters();
  // The canvas's and the menu's wizard command runs the auto wizard.
  RegisterWizardCommand();
  // The adjustment dialogs and the progress runner reach the edit pages
  // through the main window's editor shell.
  static CShellDialogHost dialogHost([] { return dynamic_cast<IEditorShell*>(g_RenderWindow.load()); });
  InstallAdjustDialogs(&dialogHost);
  // The edit page's save chooser and layer export.
  RegisterSaveCommands();
  // The canvas's information button and the menu's photo properties.
  RegisterPhotoPropertiesCommand();
  SetSystemMessageHandler([](std::u16string_view text) { ShowSystemMessageBox(u"Tessera", text); });
  // Files to open and to save to are asked for as typed paths.
  static CTypedPathChooser fileChooser;
  SetFileChooser(&fileChooser);
  return RunPlatform([] {
    // The exit status tells how the run ended.
    static_cast<void>(theApp.InitInstance());
    theServerThread.Stop();
    // The window asked the album's threads to stop; they end here, while
    // the objects they use still exist.
    PhotoScanThread().Stop();
    UninstallThumbnailLoaders();
    return theApp.ExitInstance();
  });
}
