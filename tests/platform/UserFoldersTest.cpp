#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/UserFolders.h"
#include "tests/common/TestData.h"

namespace {

class UserFolders : public ::testing::Test {
protected:
  void SetUp() override {
    home = ScratchDir() / "home";
    std::filesystem::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
  }
  void WriteUserDirs(const std::string& line) {
    std::filesystem::create_directories(home / ".config");
    std::ofstream(home / ".config" / "user-dirs.dirs") << "# user dirs\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                       << line << "\n";
  }
  std::filesystem::path home;
};

TEST_F(UserFolders, ConfigHomeIsAnAbsoluteXdgConfigHomeElseHomeConfig) {
  EXPECT_EQ(GetConfigHome(), home / ".config");
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(GetConfigHome(), home / ".config");
  ::setenv("XDG_CONFIG_HOME", (home / "cfg").c_str(), 1);
  EXPECT_EQ(GetConfigHome(), home / "cfg");
}

TEST_F(UserFolders, PicturesComeFromUserDirsThenPicturesThenHome) {
  EXPECT_EQ(GetPicturesFolder(), home);
  std::filesystem::create_directories(home / "Pictures");
  EXPECT_EQ(GetPicturesFolder(), home / "Pictures");

  std::filesystem::create_directories(home / "Bilder und \"Fotos\"");
  WriteUserDirs("XDG_PICTURES_DIR=\"$HOME/Bilder und \\\"Fotos\\\"\"");
  EXPECT_EQ(GetPicturesFolder(), home / "Bilder und \"Fotos\"");

  const auto elsewhere = ScratchDir() / "shared pictures";
  std::filesystem::create_directories(elsewhere);
  WriteUserDirs("XDG_PICTURES_DIR=\"" + elsewhere.string() + "\"");
  EXPECT_EQ(GetPicturesFolder(), elsewhere);

  // A folder that is not there, or a value that is not a path, is passed over.
  for (const std::string line : {"XDG_PICTURES_DIR=\"$HOME/Gone\"", "XDG_PICTURES_DIR=\"relative\"",
                                 "XDG_PICTURES_DIR=\"$HOMEless\"", "XDG_PICTURES_DIR=unquoted"}) {
    WriteUserDirs(line);
    EXPECT_EQ(GetPicturesFolder(), home / "Pictures") << line;
  }
}

TEST_F(UserFolders, CreateFoldersMakesPrivateLevels) {
  const auto nested = home / "a" / "b" / "c";
  ASSERT_TRUE(CreateFolders(nested));
  struct stat info {};
  ASSERT_EQ(::stat((home / "a").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(CreateFolders(nested));  // already there
  std::ofstream(home / "file") << "x";
  EXPECT_FALSE(CreateFolders(home / "file" / "below"));
  EXPECT_FALSE(CreateFolders({}));
}

}  // namespace
