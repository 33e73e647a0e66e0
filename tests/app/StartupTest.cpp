#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "app/BrightforgeApp.h"
#include "app/ConfigFile.h"
#include "app/Registry.h"
#include "app/TempFiles.h"
#include "platform/LittleEndian.h"
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
      .startServiceClient = [&] { return steps.emplace_back("service"), true; },
      .startAlgorithmEngine = [&] { return steps.emplace_back("engine"), true; },
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
  EXPECT_EQ(steps, (std::vector<std::string>{"service", "engine", "window", "engine stopped"}));
  EXPECT_TRUE(Messages().empty());

  for (const auto& path : made) EXPECT_FALSE(std::filesystem::exists(path)) << path;
  EXPECT_TRUE(g_TempFileNames.empty());
  EXPECT_TRUE(std::filesystem::exists(folder / "his5_99_0.bftmp"));
  EXPECT_EQ(LoadLE16(ReadBytes(ConfigFile()).data() + 1), 1);  // the window's change was saved
}

TEST_F(StartupTest, FailingHooksEndTheStart) {
  {
    SCOPED_TRACE("service client");
    bool windowRan = false;
    CBrightforgeApp app;
    app.SetStartupHooks(
        {.startServiceClient = [] { return false; }, .runMainWindow = [&] { windowRan = true; }});
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.ExitInstance(), 1);
    EXPECT_FALSE(windowRan);
    EXPECT_TRUE(Messages().empty());  // no message, as the service client asks
  }
  {
    SCOPED_TRACE("algorithm engine");
    bool windowRan = false;
    bool stopped = false;
    CBrightforgeApp app;
    app.SetStartupHooks({.startAlgorithmEngine = [] { return false; },
                         .stopAlgorithmEngine = [&] { stopped = true; },
                         .runMainWindow = [&] { windowRan = true; }});
    std::filesystem::remove(ConfigFile());
    EXPECT_TRUE(app.InitInstance());
    EXPECT_EQ(app.ExitInstance(), 1);
    EXPECT_FALSE(windowRan);
    EXPECT_FALSE(stopped);
    EXPECT_TRUE(std::filesystem::exists(ConfigFile()));
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
  double seconds = 0;
};

ProgramRun RunTessera(const std::vector<std::string>& arguments) {
  ProgramRun run;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<std::string> args = {TESSERA_EXECUTABLE};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, TESSERA_EXECUTABLE, &actions, nullptr, argv.data(), environ);
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

TEST_F(StartupTest, ProgramRunsAndItsSettingsSurviveIt) {
  ASSERT_TRUE(SetRegDword(u"Editor", u"AutoWizard", 0));
  const ProgramRun run = RunTessera({"/usr/share/photo.jpg"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("main window is not built yet"), std::string::npos) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1);

  // Written by the run, read after it ended; what was there before is kept.
  std::u16string path;
  EXPECT_TRUE(GetRegString(RegistryProfile::kProgramPath, path, true));
  EXPECT_EQ(path, U16(std::filesystem::canonical(TESSERA_EXECUTABLE)));
  EXPECT_EQ(GetRegDword(RegistryProfile::kAutoWizard, true), 0u);
  EXPECT_TRUE(std::filesystem::exists(ConfigFile()));
}

}  // namespace
