#pragma once
// The parts of the program that the main window starts, asks and stops but
// that live in libraries above this one (the album, the editing tools, the
// companion-service client) or that tests replace. main() plugs in those
// that are built. An empty hook stands for a part that is not built yet:
// the main window writes "<part> not built" to the debug log and goes on
// without it (start-up stages then succeed, requests are refused).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>

#include "app/AfterMattingAnswer.h"
#include "platform/ShellOpen.h"

class CBFDoc;
class CSAlbumPageBase;
class CSTabPage;
struct CBgraImage16;
class IServiceClient;
class IWorkerExitRegistry;

struct MainWindowHooks {
  // The album page with its title; the tab frame owns it once added. Null
  // ends the start.
  std::function<CSAlbumPageBase*(std::u16string_view title)> createAlbumPage;
  // The album's start-up: its thumbnail loaders, then the photo-scan thread
  // at idle priority with the album as the listener of its progress and
  // registry as the window that stops it; false ends the start.
  std::function<bool(CSAlbumPageBase& album, IWorkerExitRegistry& registry)> startPhotoScan;
  // The window is going: once the scan has finished, the photo information
  // is compacted.
  std::function<void()> storePhotoInfo;
  // Starts the algorithm thread and its helpers, which register their exit
  // with the window; false ends the start.
  std::function<bool(IWorkerExitRegistry& registry)> startAlgorithmEngine;
  // The editing tools' start-up (false ends the start) and the release of
  // their option panels when the window goes.
  std::function<bool()> initTools;
  std::function<void()> releaseToolPanels;
  // Commands 201 and 205, the stored update reply; null: not built.
  IServiceClient* serviceClient = nullptr;
  // A mask page (kind 0 blue screen, 1 inside/outside strokes) with its
  // title; the page implements IMaskPageLink. Null: not built.
  std::function<CSTabPage*(std::int32_t kind, std::u16string_view title)> createMaskPage;
  // The after-matting dialog over the document and the mask page's result.
  std::function<AfterMattingAnswer(const CBFDoc& document, const CBgraImage16& result)> runAfterMatting;
  // A group-photo page (kind 1 merge, 2 clone) with its title over the
  // photos, which it copies and prepares its work files for; null when that
  // fails. The page may implement IPageCloseQuestion.
  std::function<CSTabPage*(std::int32_t kind, std::u16string_view title,
                           std::span<const std::filesystem::path> photos)>
      createGroupPhotoPage;
  // Counts an opening of the photo in the album's photo information.
  std::function<void(const std::filesystem::path& path)> countPhotoOpening;
  // Opens a document or web address with the desktop's program.
  std::function<bool(std::u16string_view target)> shellOpen = [](std::u16string_view target) {
    return ShellOpen(target) != 0;
  };
};
