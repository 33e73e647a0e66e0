#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "platform/SettingsStore.h"
#include "platform/Utf16.h"
#include "tests/common/TestData.h"

namespace {

using Scope = CSettingsStore::Scope;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Files {
  std::filesystem::path user, machine;
  Files() {
    const auto dir = ScratchDir();
    user = dir / "user" / "Tessera" / "settings.ini";
    machine = dir / "machine" / "Tessera" / "settings.ini";
  }
  CSettingsStore Store() const { return CSettingsStore(user, machine); }
};

TEST(SettingsStore, AwkwardNamesAndTextsRoundTripThroughTheFile) {
  const Files files;
  const struct {
    std::u16string section, name, text;
  } cases[] = {
      {u"Program", u"Skin", u"bright"},
      {u"Last Path", u"jpg", u"/home/anna/Fotos/2024 [Hochzeit]"},
      {u"a=b", u"[x]", u"line one\nline two\r\n\ttab"},
      {u" spaced ", u" name ", u"  leading and trailing  "},
      {u";comment", u"#hash", u"back\\slash \\x41 not an escape"},
      {u"Unicode \u00e9", u"\u65e5\u672c", u"\U0001F600 \u00e4\u00f6\u00fc"},
      {u"", u"AllowUpgrade", u""},  // the product key itself
  };
  {
    CSettingsStore store = files.Store();
    for (const auto& c : cases) ASSERT_TRUE(store.SetString(c.section, c.name, c.text));
    ASSERT_TRUE(store.SetDword(u"Program", u"Max", 0xFFFFFFFF));
    ASSERT_TRUE(store.SetDword(u"Program", u"Zero", 0));
  }
  // A fresh store, as after a restart.
  const CSettingsStore store = files.Store();
  for (const auto& c : cases) {
    std::u16string text = u"unchanged";
    EXPECT_TRUE(store.GetString(Scope::CurrentUser, c.section, c.name, text)) << ToUtf8(c.name);
    EXPECT_EQ(text, c.text) << ToUtf8(c.name);
  }
  std::uint32_t value = 7;
  EXPECT_TRUE(store.GetDword(Scope::CurrentUser, u"Program", u"Max", value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_TRUE(store.GetDword(Scope::CurrentUser, u"Program", u"Zero", value));
  EXPECT_EQ(value, 0u);
}

TEST(SettingsStore, NamesIgnoreCaseTypesDoNotMixAndTextsEndAtNul) {
  const Files files;
  CSettingsStore store = files.Store();
  ASSERT_TRUE(store.SetDword(u"Program", u"Animation", 1));
  std::uint32_t value = 0;
  EXPECT_TRUE(store.GetDword(Scope::CurrentUser, u"PROGRAM", u"animation", value));
  EXPECT_EQ(value, 1u);
  std::u16string text = u"unchanged";
  EXPECT_FALSE(store.GetString(Scope::CurrentUser, u"Program", u"Animation", text));
  EXPECT_EQ(text, u"unchanged");

  // Writing under another case replaces the value instead of adding one.
  ASSERT_TRUE(store.SetString(u"program", u"ANIMATION", std::u16string(u"on\0hidden", 9)));
  EXPECT_FALSE(store.GetDword(Scope::CurrentUser, u"Program", u"Animation", value));
  EXPECT_TRUE(store.GetString(Scope::CurrentUser, u"Program", u"Animation", text));
  EXPECT_EQ(text, u"on");
  EXPECT_EQ(ReadAll(files.user), "[Program]\nAnimation=sz:on\n");
}

TEST(SettingsStore, ReadsHandWrittenFilesAndIgnoresWhatItCannotUse) {
  const Files files;
  std::filesystem::create_directories(files.machine.parent_path());
  std::ofstream(files.machine, std::ios::binary) << "; written by an administrator\r\n"
                                                 << "AllowUpgrade = dword:0\r\n"
                                                 << "[Program]\r\n"
                                                 << "  Language =  sz:Deutsch\r\n"
                                                 << "Broken=dword:xyz\r\n"
                                                 << "TooBig=dword:123456789\r\n"
                                                 << "Binary=hex:01,02\r\n"
                                                 << "no equals sign\r\n"
                                                 << "[Version]\r\n"
                                                 << "Carvello=dword:0000002A\r\n"
                                                 << "[program]\r\n"
                                                 << "Language=sz:second one loses\r\n"
                                                 << "Path=sz:C:\\Program Files\\Tessera\r\n";
  const CSettingsStore store = files.Store();
  std::uint32_t value = 99;
  EXPECT_TRUE(store.GetDword(Scope::LocalMachine, u"", u"AllowUpgrade", value));
  EXPECT_EQ(value, 0u);
  EXPECT_TRUE(store.GetDword(Scope::LocalMachine, u"Version", u"Carvello", value));
  EXPECT_EQ(value, 42u);
  std::u16string text;
  EXPECT_TRUE(store.GetString(Scope::LocalMachine, u"Program", u"Language", text));
  EXPECT_EQ(text, u"Deutsch");
  EXPECT_TRUE(store.GetString(Scope::LocalMachine, u"Program", u"Path", text));
  EXPECT_EQ(text, u"C:\\Program Files\\Tessera");
  value = 99;
  for (const char16_t* name : {u"Broken", u"TooBig", u"Binary"}) {
    EXPECT_FALSE(store.GetDword(Scope::LocalMachine, u"Program", name, value));
  }
  EXPECT_EQ(value, 99u);
  // The user has none of these, and the machine file is never written.
  EXPECT_FALSE(store.GetString(Scope::CurrentUser, u"Program", u"Language", text));
  EXPECT_FALSE(std::filesystem::exists(files.user));
}

TEST(SettingsStore, ChangesReplaceTheFileWholeOrNotAtAll) {
  const Files files;
  CSettingsStore store = files.Store();
  ASSERT_TRUE(store.SetString(u"Program", u"Skin", u"bright"));
  struct stat before {};
  ASSERT_EQ(::stat(files.user.c_str(), &before), 0);
  ASSERT_TRUE(store.SetDword(u"Program", u"Animation", 1));
  struct stat after {};
  ASSERT_EQ(::stat(files.user.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed over the old one
  const std::string content = ReadAll(files.user);

  // A write the disk refuses leaves the old file and no stray temporary file.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit lowered = saved;
  lowered.rlim_cur = 1024;
  setrlimit(RLIMIT_FSIZE, &lowered);
  const bool written = store.SetString(u"User", u"Name", std::u16string(4000, u'n'));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadAll(files.user), content);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(files.user.parent_path())) {
    ++entries;
    EXPECT_EQ(entry.path(), files.user);
  }
  EXPECT_EQ(entries, 1);
}

TEST(SettingsStore, UnusableFilesAreNeitherReadNorOverwritten) {
  const Files files;
  // A folder where the file should be, and no file name at all.
  std::filesystem::create_directories(files.user);
  CSettingsStore store = files.Store();
  EXPECT_FALSE(store.SetDword(u"Program", u"Animation", 1));
  EXPECT_TRUE(std::filesystem::is_directory(files.user));
  CSettingsStore nowhere{{}, {}};
  std::uint32_t value = 5;
  EXPECT_FALSE(nowhere.SetDword(u"Program", u"Animation", 1));
  EXPECT_FALSE(nowhere.GetDword(Scope::CurrentUser, u"Program", u"Animation", value));
  EXPECT_FALSE(nowhere.GetDword(Scope::LocalMachine, u"Program", u"Animation", value));
  EXPECT_EQ(value, 5u);
}

TEST(SettingsStore, TwoProcessesWritingAtOnceKeepEachOthersValues) {
  const Files files;
  constexpr int kEach = 40;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  const std::u16string who = child == 0 ? u"child" : u"parent";
  bool allWritten = true;
  CSettingsStore store = files.Store();
  for (int i = 0; i < kEach; ++i) {
    allWritten =
        store.SetDword(who, FromUtf8(std::to_string(i)), static_cast<std::uint32_t>(i)) && allWritten;
  }
  if (child == 0) ::_exit(allWritten ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(allWritten);
  for (const char16_t* section : {u"child", u"parent"}) {
    for (int i = 0; i < kEach; ++i) {
      std::uint32_t value = 0xDEAD;
      EXPECT_TRUE(store.GetDword(Scope::CurrentUser, section, FromUtf8(std::to_string(i)), value));
      EXPECT_EQ(value, static_cast<std::uint32_t>(i));
    }
  }
}

TEST(SettingsStore, DefaultFilesFollowTheEnvironment) {
  const auto dir = ScratchDir();
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", ("relative:" + (dir / "a").string() + ":" + (dir / "b").string()).c_str(), 1);
  EXPECT_EQ(CSettingsStore::DefaultUserFile(), dir / "config" / "Tessera" / "settings.ini");
  // No machine file yet: the first absolute folder.
  EXPECT_EQ(CSettingsStore::DefaultMachineFile(), dir / "a" / "Tessera" / "settings.ini");
  std::filesystem::create_directories(dir / "b" / "Tessera");
  std::ofstream(dir / "b" / "Tessera" / "settings.ini") << "[Program]\n";
  EXPECT_EQ(CSettingsStore::DefaultMachineFile(), dir / "b" / "Tessera" / "settings.ini");
  ::unsetenv("XDG_CONFIG_DIRS");
  EXPECT_EQ(CSettingsStore::DefaultMachineFile(), std::filesystem::path("/etc/xdg/Tessera/settings.ini"));
}

}  // namespace
