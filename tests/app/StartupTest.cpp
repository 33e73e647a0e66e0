#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "album/ConfigFile.h"
#include "app/BrightforgeApp.h"
#include "app/TempFiles.h"
#include "platform/LittleEndian.h"
#include "platform/Registry.h"
#include "tests/app/AppFixture.h"

extern char** environ;

namespace {

using StartupTest = AppFixture;

TEST_F(StartupTest, RunsInOrderAndCleansUpAfterTheWindow) {
  const std::filesystem::path folder = GetTempFolder();
  std::ofstream(folder / "his5_99_0.bftmp") << "another copy's history";

  std::vector<std::string> steps;
  std::vector<std::filesystem::path> made(2);
  CBrightforgeApp app;
  app.SetStartupHooks({
      .startServiceClient = [&](bool) { return steps.emplace_back("service"), true; },
      .stopAlgorithmEngine = [&] { steps.emplace_back("engine stopped"); },
      .runMainWindow =
          [&] {
            steps.emplace_back("window");
            for (auto& path : made) ASSERT_TRUE(MakeTempFileName(path, u"his"));
            std::ofstream(made[0]) << "undo steps";
            g_FavouriteFolders.emplace_back().SetName(u"Holiday");
          },
  });
  EXPECT_TRUE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), 0);
  EXPECT_EQ(steps, (std::vector<std::string>{"service", "window", "engine stopped"}));
  EXPECT_TRUE(Messages().empty());

  for (const auto& path : made) EXPECT_FALSE(std::filesystem::exists(path)) << path;
  EXPECT_TRUE(g_TempFileNames.empty());
  EXPECT_TRUE(std::filesystem::exists(folder / "his5_99_0.bftmp"));
  EXPECT_EQ(LoadLE16(ReadBytes(ConfigFile()).data() + 1), 1);  // the window's change was saved
}

TEST_F(StartupTest, AServiceClientThatCannotStartEndsTheStartSilently) {
  bool windowRan = false;
  CBrightforgeApp app;
  app.SetStartupHooks(
      {.startServiceClient = [](bool) { return false; }, .runMainWindow = [&] { windowRan = true; }});
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), 1);
  EXPECT_FALSE(windowRan);
  EXPECT_TRUE(Messages().empty());  // no message, as the service client asks
}

// The client learns whether it may work before its thread exists; the main
// window's later change of the edition flag cannot reach it.
TEST_F(StartupTest, TheServiceClientIsEnabledFromTheSettingsReadAtStart) {
  struct Case {
    const char* name;
    const char* machineSettings;
    bool enabled;
  };
  const Case cases[] = {
      {"plain edition", "", true},
      {"publisher edition", "[Version]\nCarvello=dword:00000001\n", false},
      {"publisher edition allowed to upgrade",
       "AllowUpgrade=dword:00000001\n[Version]\nCarvello=dword:00000001\n", true},
      {"plain edition not allowed", "AllowUpgrade=dword:00000000\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::create_directories(MachineSettings().parent_path());
    std::ofstream(MachineSettings()) << c.machineSettings;
    std::vector<bool> seen;
    CBrightforgeApp app;
    app.SetStartupHooks({.startServiceClient = [&](bool enabled) { return seen.push_back(enabled), true; },
                         .runMainWindow = [] { g_PublisherEdition = 1; }});
    EXPECT_TRUE(app.InitInstance());
    EXPECT_EQ(seen, std::vector<bool>{c.enabled});
  }
}

TEST_F(StartupTest, OnlyAnArgumentThatIsExactlySlashUStopsUnattended) {
  bool windowRan = false;
  CBrightforgeApp app;
  app.SetCommandLine({u"/usr/share/photo.jpg", u"/home/user/a.jpg", u"x/u", u"/U"});
  app.SetStartupHooks({.runMainWindow = [&] { windowRan = true; }});
  EXPECT_TRUE(app.InitInstance());
  EXPECT_TRUE(windowRan);
}

struct ProgramRun {
  int status = -1;
  std::string output;
  std::string errors;
  double seconds = 0;
};

// Standard error goes through a file beside the scratch folder's others.
ProgramRun RunTessera(const std::vector<std::string>& arguments, bool withoutDisplay = false) {
  ProgramRun run;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return run;
  const std::filesystem::path errorFile = ScratchDir() / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string_view text(*entry);
    if (withoutDisplay && (text.starts_with("DISPLAY=") || text.starts_with("WAYLAND_DISPLAY=") ||
                           text.starts_with("SDL_VIDEODRIVER="))) {
      continue;
    }
    environment.emplace_back(text);
  }
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {TESSERA_EXECUTABLE};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, TESSERA_EXECUTABLE, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned == 0) {
    char buffer[256];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
      run.output.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  }
  ::close(pipeFds[0]);
  std::ifstream errors(errorFile);
  run.errors.assign(std::istreambuf_iterator<char>(errors), {});
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

TEST_F(StartupTest, ProgramWithSlashUWaitsThreeSecondsAndEndsWithoutWindow) {
  const ProgramRun run = RunTessera({"/u"});
  EXPECT_EQ(run.status, 0);
  EXPECT_GE(run.seconds, 2.9);
  EXPECT_LT(run.seconds, 60.0);  // generous: sanitizers and a busy machine
  EXPECT_EQ(run.output, "");     // not even the note that the window is missing
  EXPECT_TRUE(std::filesystem::exists(ConfigFile()));
}

// Without a display the window cannot open: the user is told and the start
// counts as refused, but what the start wrote is kept.
TEST_F(StartupTest, ProgramWithoutADisplayEndsWithAMessageAndItsSettingsSurviveIt) {
  ASSERT_TRUE(SetRegDword(u"Editor", u"AutoWizard", 0));
  const ProgramRun run = RunTessera({"/usr/share/photo.jpg"}, /*withoutDisplay=*/true);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("Can not open the program window"), std::string::npos) << run.errors;
  EXPECT_EQ(run.output, "");

  // Written by the run, read after it ended; what was there before is kept.
  std::u16string path;
  EXPECT_TRUE(GetRegString(RegistryProfile::kProgramPath, path, true));
  EXPECT_EQ(path, U16(std::filesystem::canonical(TESSERA_EXECUTABLE)));
  EXPECT_EQ(GetRegDword(RegistryProfile::kAutoWizard, true), 0u);
  EXPECT_TRUE(std::filesystem::exists(ConfigFile()));
}

}  // namespace
