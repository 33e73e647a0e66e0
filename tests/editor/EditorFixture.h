#pragma once
// The headless editor: a render window on the headless host (fake clock,
// pushed input, the clipboard in memory) with a tab frame of edit pages, a
// recording shell, the editor's tool set, settings and temporary files in
// the test's own folders, and the debug log captured. Modal dialogs (message
// box, text input, colour picker, file chooser) are answered by a
// CDialogScript (dialogs); frames are drawn by the test (Frame), so every
// step is deterministic.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "document/BFDoc.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "editor/Tool.h"
#include "editor/ToolSet.h"
#include "image/BgraImage16.h"
#include "platform/Clock.h"
#include "platform/Font.h"
#include "platform/HeadlessHost.h"
#include "platform/ProgramPath.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "tests/common/TestData.h"
#include "ui/DialogScript.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/widgets/STabFrame.h"

// A render window over the fixture's data folder.
class CEditorTestWindow final : public CRenderWindow {
public:
  explicit CEditorTestWindow(std::filesystem::path data) : m_data(std::move(data)) {}

protected:
  bool InitResources() override { return UIResources().Init(m_data, variantName); }

private:
  std::filesystem::path m_data;
};

// The shell as a main window would be, recording what it is asked.
class CRecordingShell final : public IEditorShell {
public:
  CSEditPage* CurrentEditPage() override {
    if (!frame || frame->currentPage < 0) return nullptr;
    CSTabPage* page = frame->pages[static_cast<std::size_t>(frame->currentPage.load())];
    return (page->kind & kPageKindEdit) ? static_cast<CSEditPage*>(page) : nullptr;
  }
  void DropCurrentTool() override {
    ++drops;
    if (CSEditPage* page = CurrentEditPage()) CSToolPage::SwitchTool(*page, nullptr);
  }
  bool ClosePage(CSTabPage* page) override {
    auto* editPage = dynamic_cast<CSEditPage*>(page);
    if (editPage && !editPage->ConfirmClose()) return false;
    frame->RemovePage(page);
    return true;
  }
  bool IsExternalEditor() override { return externalEditor; }
  bool ReturnImageToHost(const CBgraImage16& image) override {
    if (refuseHandBack) return false;
    handedBack.emplace_back();
    return handedBack.back().CopyFrom(image) != 0;
  }
  bool MakeTempFile(std::filesystem::path& path, std::u16string_view prefix) override {
    if (prefix == refusedPrefix) return false;
    path = folder / (ToUtf8(prefix) + std::to_string(++counter) + ".bftmp");
    std::ofstream(path, std::ios::binary | std::ios::trunc).flush();
    made.push_back(path);
    return std::filesystem::exists(path);
  }
  CToolSet& Tools() override { return tools; }

  CSTabFrame* frame = nullptr;
  std::filesystem::path folder;
  CToolSet tools;
  bool externalEditor = false;
  std::u16string refusedPrefix;  // MakeTempFile fails for it
  int drops = 0;
  int counter = 0;
  std::vector<std::filesystem::path> made;
  std::vector<CBgraImage16> handedBack;
  bool refuseHandBack = false;
};

// A tool that records every call as a line and answers as told.
class CRecordingTool final : public CTool {
public:
  CRecordingTool(std::int32_t id, std::int32_t toolKind, std::vector<std::string>* sharedLog)
      : kindValue(toolKind), log(sharedLog) {
    toolId = id;
  }
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint p, std::uint32_t) override {
    return Note("down" + std::to_string(button), p), handles;
  }
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint p, std::uint32_t) override {
    return Note("up" + std::to_string(button), p), handles;
  }
  std::int32_t OnDoubleClick(std::int32_t, CanvasPoint p, std::uint32_t) override {
    return Note("double", p), handles;
  }
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint, CanvasPoint p) override {
    return Note("move" + std::to_string(leftDown), p), handles;
  }
  std::int32_t OnModifierKey(std::uint32_t key, std::uint32_t, std::uint32_t) override {
    return Write("modifier " + std::to_string(key)), handles;
  }
  std::int32_t OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t) override {
    return Write("key " + std::to_string(key) + (isVirtual ? " v" : " c")), handlesKeys;
  }
  std::int32_t IsBusy() override { return busy; }
  void OnCaptureLost() override { Write("capture lost"); }
  std::int32_t GetKind() override { return kindValue; }
  std::int32_t Activate() override { return Write("activate"), accepts; }
  void Deactivate() override { Write("deactivate"); }
  void OnMessage(const SpriteMessage& message) override { Write("message " + std::to_string(message.code)); }

  void Note(const std::string& what, CanvasPoint p) {
    Write(what + " " + std::to_string(p.x) + "," + std::to_string(p.y));
  }
  void Write(const std::string& line) {
    if (log) log->push_back(std::to_string(toolId) + " " + line);
  }

  std::int32_t kindValue;
  std::vector<std::string>* log;
  std::int32_t handles = 1;
  std::int32_t handlesKeys = 1;
  std::int32_t accepts = 1;
};

// One layer of w x h filled by colour(x, y) -> B, G, R, A.
inline CBgraImage16 Picture(
    std::uint32_t w, std::uint32_t h,
    const std::function<std::array<std::uint16_t, 4>(std::uint32_t, std::uint32_t)>& colour) {
  CBgraImage16 image;
  EXPECT_EQ(image.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const auto c = colour(x, y);
      std::copy(c.begin(), c.end(), image.At(x, y));
    }
  }
  return image;
}
// A photo-like picture: colours near grey, as a camera's are, which the
// document body's packed pixels keep stable from their first store on.
inline CBgraImage16 Gradient(std::uint32_t w, std::uint32_t h) {
  return Picture(w, h, [](std::uint32_t x, std::uint32_t y) {
    const int g = 8000 + static_cast<int>((x * 37 + y * 101) % 40000);
    return std::array<std::uint16_t, 4>{
        static_cast<std::uint16_t>(g + static_cast<int>(x % 64) * 60 - 1920), static_cast<std::uint16_t>(g),
        static_cast<std::uint16_t>(g + static_cast<int>((x + 3 * y) % 64) * 60 - 1920), 0xFFFF};
  });
}
inline std::function<void(CBFDoc&)> OneLayer(std::uint32_t w, std::uint32_t h) {
  return [w, h](CBFDoc& document) { EXPECT_EQ(document.InsertLayer(Gradient(w, h), u"Photo", -1), 1); };
}

class EditorFixture : public ::testing::Test {
protected:
  static constexpr Size kClient{1280, 800};

  EditorFixture() : host(kClient) {}

  void SetUp() override {
    root = ScratchDir();
    tempFolder = root / "tmp";
    for (const char* dir : {"home", "config", "etc", "tmp"}) std::filesystem::create_directories(root / dir);
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (root / "etc").c_str(), 1);
    ::setenv("TMPDIR", tempFolder.c_str(), 1);
    SetFontFileOverride("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    CopyDataFolder();

    window = std::make_unique<CEditorTestWindow>(dataFolder);
    window->windowOptions.minimumSize = {0, 0};
    ASSERT_EQ(window->Create(), 1);
    host.Activate(true);
    Run();
    frame = new CSTabFrame();
    // 96 dots per inch: logical pixels are physical ones.
    ASSERT_TRUE(frame->Create(nullptr, window.get(), 100, {0, 0, kClient.width, kClient.height}, 2));
    window->AddTopLevelSprite(frame, true);
    shell.frame = frame;
    shell.folder = tempFolder;
    ASSERT_EQ(shell.tools.InitTools(), 1);
    Frame();
  }

  void TearDown() override {
    CloseWindow();
    shell.tools.list.clear();
    SetFontFileOverride({});
  }

  // The render thread stops before the window's destructors begin: they
  // change the object the thread is still drawing for.
  void CloseWindow() {
    if (window) window->DestroyWindow();
    window.reset();
  }

  // The shipped data folder with the debug log switched on.
  void CopyDataFolder() {
    dataFolder = root / "data";
    logFile = root / "debug.log";
    const std::filesystem::path shipped = GetProgramDataFolder();
    std::filesystem::copy(shipped, dataFolder, std::filesystem::copy_options::recursive);
    std::ifstream in(shipped / "basic" / "resource.txt", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::u16string line = u"\"logpath\"=\"" + PathToUtf16(logFile) + u"\"\r\n";
    for (char16_t c : line)
      bytes.push_back(static_cast<char>(c & 0xFF)), bytes.push_back(static_cast<char>(c >> 8));
    std::ofstream(dataFolder / "basic" / "resource.txt", std::ios::binary | std::ios::trunc) << bytes;
  }

  // An edit page for a document that fill builds; the page becomes current
  // and records its first step, as opening does.
  CSEditPage* OpenPage(const std::string& title, const std::function<void(CBFDoc&)>& fill,
                       bool host = false) {
    auto* page = new CSEditPage(FromUtf8(title), shell);
    page->hostPage = host ? 1 : 0;
    fill(page->document);
    page->document.m_modified = 0;
    EXPECT_GE(frame->AddPage(page), 0);
    EXPECT_TRUE(frame->SelectPage(page, false));
    EXPECT_TRUE(page->history.AddStep(kStepDocument, -1, u"Open", StepBlock::None, 0, {}));
    Run();
    Frame();
    return page;
  }
  void Run() { UiQueue().RunUntilIdle(); }
  // One frame 30 ms after the last, then what it posted.
  void Frame() {
    host.AdvanceClock(kFramePeriodMs);
    window->RenderFrame(TickCount());
    Run();
  }
  // Canvas point to window point.
  Point ToWindow(const CSEditPage& page, Point canvasPoint) const {
    return page.canvas.PointToWindow(canvasPoint);
  }

  std::vector<std::string> LogLines() const {
    std::ifstream in(logFile, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t blank = line.find(' ');
      lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
    }
    return lines;
  }
  bool Logged(const std::string& message) const {
    const std::vector<std::string> lines = LogLines();
    return std::find(lines.begin(), lines.end(), message) != lines.end();
  }

  // A tool of the fixture's tool set replaced by a recording one.
  CRecordingTool* AddTool(std::int32_t id, std::int32_t toolKind) {
    auto& list = shell.tools.list;
    std::erase_if(list, [id](const CTool* t) { return t->toolId == id; });
    fakes.push_back(std::make_unique<CRecordingTool>(id, toolKind, &toolLog));
    list.push_back(fakes.back().get());
    return fakes.back().get();
  }

  CHeadlessHost host;
  std::filesystem::path root, tempFolder, dataFolder, logFile;
  CRecordingShell shell;
  std::unique_ptr<CEditorTestWindow> window;
  CSTabFrame* frame = nullptr;
  std::vector<std::string> toolLog;
  std::vector<std::unique_ptr<CRecordingTool>> fakes;
};
