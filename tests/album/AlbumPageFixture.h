#pragma once
// The album page on a headless render window, over a private home (with
// Pictures), config home and mount table, so that the folder tree, the
// settings and config.dat's favourites and album folder are the test's own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "album/ConfigFile.h"
#include "album/SAlbumPage.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "tests/common/TestData.h"
#include "tests/ui/WidgetTestSupport.h"

class AlbumPageFixture : public WidgetFixture {
public:
  AlbumPageFixture() : WidgetFixture({1200, 800}) {}

  void SetUp() override {
    root = ScratchDir();
    home = root / "home";
    pictures = home / "Pictures";
    std::filesystem::create_directories(pictures);
    std::filesystem::create_directories(root / "config");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    g_FavouriteFolders.clear();
    g_AlbumRootFolder.clear();
    mountInfo = root / "mountinfo";
    WriteMounts({});
  }

  void TearDown() override {
    // The render thread stops before the page's destructors run.
    window.DestroyWindow();
    UiQueue().RunUntilIdle();
  }

  // Builds the page (and its folder tree unless told otherwise).
  CSAlbumPage& MakePage(bool initTree = true) {
    page = new CSAlbumPage(u"Album");
    page->owned = 1;
    EXPECT_TRUE(page->Create(parent, nullptr, 5, {0, 0, 1200, 800}, 0));
    parent->AppendChild(page);
    page->folderPage->sources.mountInfo = mountInfo;
    page->folderPage->sources.user = "tester";
    if (initTree) {
      EXPECT_TRUE(page->InitFolderTree());
    }
    Run();
    return *page;
  }

  CSFolderPage& Folders() { return *page->folderPage; }

  // mountinfo lines for mount points with their filesystem types.
  void WriteMounts(const std::vector<std::pair<std::string, std::string>>& mounts) {
    std::ofstream out(mountInfo, std::ios::trunc);
    out << "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";
    int id = 30;
    for (const auto& [point, type] : mounts)
      out << id++ << " 22 8:17 / " << point << " rw,nosuid shared:5 - " << type << " /dev/sdb1 rw\n";
  }

  static void Touch(const std::filesystem::path& path, std::string_view bytes = "x") {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    std::lock_guard guard(page->photoList.lock);
    for (const auto& item : page->photoList.items) captions.push_back(ToUtf8(item->caption));
    return captions;
  }

  std::filesystem::path root, home, pictures, mountInfo;
  CSAlbumPage* page = nullptr;
};
