#pragma once
// A private world for each test: home, config home, machine-wide config
// folders and the temporary folder all inside the test's scratch folder, a
// fixed time zone, empty application data, and system messages captured.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/AppData.h"
#include "platform/SystemMessage.h"
#include "tests/common/TestData.h"

class AppFixture : public ::testing::Test {
protected:
  void SetUp() override {
    root = ScratchDir();
    home = root / "home";
    pictures = home / "Pictures";
    configHome = root / "config";
    machineConfig = root / "etc";
    tempBase = root / "tmp";
    for (const auto& dir : {pictures, configHome, machineConfig, tempBase}) {
      std::filesystem::create_directories(dir);
    }
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", machineConfig.c_str(), 1);
    ::setenv("TMPDIR", tempBase.c_str(), 1);
    ::setenv("TZ", "UTC0", 1);
    ::tzset();

    g_TempFileNames.clear();
    g_FavouriteFolders.clear();
    g_AlbumRootFolder.clear();
    g_SearchScopeFolders.clear();
    g_ConfigFilePath.clear();
    g_DataFolder.clear();
    g_ProgramFolder.clear();
    g_SkinName.clear();
    g_PublisherEdition = 0;
    Messages().clear();
    SetSystemMessageHandler([](std::u16string_view text) { Messages().emplace_back(text); });
  }

  void TearDown() override { SetSystemMessageHandler(nullptr); }

  static std::vector<std::u16string>& Messages() {
    static std::vector<std::u16string> messages;
    return messages;
  }

  std::filesystem::path ConfigFile() const { return configHome / "Tessera" / "config.dat"; }
  std::filesystem::path UserSettings() const { return configHome / "Tessera" / "settings.ini"; }
  std::filesystem::path MachineSettings() const { return machineConfig / "Tessera" / "settings.ini"; }

  static std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static std::u16string U16(const std::filesystem::path& path) {
    const std::string text = path.string();
    return std::u16string(text.begin(), text.end());  // the test paths are ASCII
  }

  std::filesystem::path root, home, pictures, configHome, machineConfig, tempBase;
};
