#pragma once
// A main window on the headless host over a data folder of the test's own
// (the shipped one with the debug log switched on, plus any language files
// the test writes), with recording fakes of the parts it plugs in: the
// service client, the album page and pages that may refuse to close. The
// real message box asks; a dialog script answers it, and a box the test did
// not expect ends at once and fails the test.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/BrightforgeDlg.h"
#include "app/PageCloseQuestion.h"
#include "app/ServiceClient.h"
#include "platform/Font.h"
#include "platform/HeadlessHost.h"
#include "platform/ProgramPath.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "tests/app/AppFixture.h"
#include "ui/DialogScript.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

// The main window over the fixture's data folder.
class CTestMainWindow final : public CBrightforgeDlg {
public:
  CTestMainWindow(MainWindowHooks hooks, std::filesystem::path data,
                  std::vector<std::u16string> arguments = {})
      : CBrightforgeDlg(std::move(hooks), std::move(arguments)), dataFolder(std::move(data)) {}

protected:
  [[nodiscard]] bool InitResources() override { return UIResources().Init(dataFolder, variantName); }

private:
  std::filesystem::path dataFolder;
};

class CFakeServiceClient final : public IServiceClient {
public:
  bool IsEnabled() const override { return enabled; }
  void PostCommand(std::uint16_t command) override { commands.push_back(command); }
  std::array<std::uint8_t, kUpdateReplyBytes> UpdateReply() const override { return reply; }
  std::array<std::uint8_t, kInfoRecordsBytes> InfoRecords() const override {
    // The notice from byte 11.
    std::array<std::uint8_t, kInfoRecordsBytes> records{};
    for (std::size_t i = 0; i < notice.size(); ++i) {
      records[11 + 2 * i] = static_cast<std::uint8_t>(notice[i]);
      records[12 + 2 * i] = static_cast<std::uint8_t>(notice[i] >> 8);
    }
    return records;
  }

  // Version and text, the text terminated when it fits.
  void SetReply(std::uint16_t version, std::u16string_view text) {
    reply.fill(0);
    reply[0] = static_cast<std::uint8_t>(version);
    reply[1] = static_cast<std::uint8_t>(version >> 8);
    for (std::size_t i = 0; i < text.size() && 2 + 2 * i + 1 < reply.size(); ++i) {
      reply[2 + 2 * i] = static_cast<std::uint8_t>(text[i]);
      reply[3 + 2 * i] = static_cast<std::uint8_t>(text[i] >> 8);
    }
  }

  bool enabled = true;
  std::vector<std::uint16_t> commands;
  std::array<std::uint8_t, kUpdateReplyBytes> reply{};
  // Tip, message and link, each ended by its NUL.
  std::u16string notice =
      std::u16string(u"Tips for weddings") + u'\0' + u"Read the guide" + u'\0' + u"https://example.org/w";
};

// The album page as the main window sees it, recording what it is asked.
class CFakeAlbumPage final : public CSAlbumPageBase {
public:
  CFakeAlbumPage(std::u16string_view pageTitle, std::shared_ptr<std::vector<std::string>> sharedLog)
      : CSAlbumPageBase(pageTitle), log(std::move(sharedLog)) {}
  [[nodiscard]] bool InitFolderTree() override { return log->push_back("folder tree"), folderTreeResult; }
  bool IsPreviewOpen() override { return previewOpen; }
  void ClosePreview() override {
    log->push_back("close preview");
    previewOpen = false;
  }
  void ShowNoticeButton(std::u16string_view tip, std::u16string_view message,
                        std::u16string_view link) override {
    log->push_back("notice " + ToUtf8(tip) + "|" + ToUtf8(message) + "|" + ToUtf8(link));
  }
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kSpriteMsgFolderChanged) log->push_back("folder changed");
    return CSAlbumPageBase::OnSpriteMessage(message);
  }

  std::shared_ptr<std::vector<std::string>> log;
  bool folderTreeResult = true;
  bool previewOpen = false;
};

// An edit, mask or group-photo page with a close question that answers as
// told; it records the question and its own end.
class CFakeDocumentPage final : public CSTabPage, public IPageCloseQuestion {
public:
  CFakeDocumentPage(std::u16string_view pageTitle, std::uint32_t pageKind,
                    std::shared_ptr<std::vector<std::string>> sharedLog)
      : CSTabPage(pageTitle), log(std::move(sharedLog)) {
    kind |= pageKind;
  }
  ~CFakeDocumentPage() override { log->push_back("deleted " + Name()); }
  [[nodiscard]] bool ConfirmClose() override {
    log->push_back("asked " + Name());
    return mayClose;
  }
  std::int32_t OnDrop(Point, const CDropFileList& drop) override {
    log->push_back("drop on " + Name() + " " + std::to_string(drop.files.size()));
    return 1;
  }
  std::string Name() const { return ToUtf8(title); }

  std::shared_ptr<std::vector<std::string>> log;
  bool mayClose = true;
};

class MainWindowFixture : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    SetFontFileOverride("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    dataFolder = root / "data";
    std::filesystem::create_directories(dataFolder / "basic" / "Localize");
    for (const auto& entry : std::filesystem::directory_iterator(GetProgramDataFolder() / "basic")) {
      if (entry.is_regular_file())
        std::filesystem::copy_file(entry.path(), dataFolder / "basic" / entry.path().filename());
    }
    // The message box's template and icons.
    for (const char* folder : {"dialogs", "skin"}) {
      std::filesystem::copy(GetProgramDataFolder() / folder, dataFolder / folder,
                            std::filesystem::copy_options::recursive);
    }
    logFile = root / "debug.log";
    WriteBaseTexts({});
    script = std::make_unique<CDialogScript>();
  }

  void TearDown() override {
    CloseWindow();
    EXPECT_TRUE(script->Errors().empty()) << script->Errors().front();
    EXPECT_EQ(script->Pending(), 0u);
    script.reset();
    SetFontFileOverride({});
    AppFixture::TearDown();
  }

  // The shipped base texts with the debug log on, the extra lines added and
  // the keys in without dropped.
  void WriteBaseTexts(const std::vector<std::string>& extra, const std::vector<std::string>& without = {}) {
    std::ifstream in(GetProgramDataFolder() / "basic" / "resource.txt", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      text.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                           (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
    std::string utf8 = ToUtf8(text);
    for (const std::string& key : without) {
      const std::size_t at = utf8.find("\"" + key + "\"=");
      if (at != std::string::npos) utf8.erase(at, utf8.find('\n', at) + 1 - at);
    }
    utf8 += "\"logpath\"=\"" + logFile.string() + "\"\r\n";
    for (const std::string& line : extra) utf8 += line + "\r\n";
    WriteTextTable(dataFolder / "basic" / "resource.txt", utf8);
  }

  // A text table in the shipped form: UTF-16 little-endian with a mark.
  static void WriteTextTable(const std::filesystem::path& path, const std::string& utf8) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.put('\xFF').put('\xFE');
    for (char16_t c : FromUtf8(utf8)) out.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
  }
  void WriteLanguage(const std::string& fileName, const std::vector<std::string>& lines) {
    std::string text = "[StringTab]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    WriteTextTable(dataFolder / "basic" / "Localize" / fileName, text);
  }

  // The next message box records its question as "text icon buttons" and
  // is answered by a click on the button.
  void Answer(std::int32_t button) {
    script->Next(CSMessageDlg::kTemplateId)
        .Call([this](CDialogSprite& dialog) {
          const auto& box = static_cast<const CSMessageDlg&>(dialog);
          questions.push_back(ToUtf8(box.text) + " " + std::to_string(static_cast<int>(box.boxIcon)) + " " +
                              std::to_string(static_cast<int>(box.buttons)));
        })
        .Press(button);
  }

  // The render thread stops before the window's destructors begin: they
  // change the object the thread is still drawing for.
  void CloseWindow() {
    if (window) window->DestroyWindow();
    window.reset();
  }

  // Creates the window; its start-up stages wait for the first timer tick.
  // opened records what the shell was asked to open.
  void Open(MainWindowHooks hooks = {}) {
    hooks.shellOpen = [this](std::u16string_view target) { return opened.push_back(ToUtf8(target)), true; };
    window = std::make_unique<CTestMainWindow>(std::move(hooks), dataFolder, arguments);
    window->exitPause = std::chrono::milliseconds(0);
    window->windowOptions.minimumSize = {0, 0};
    ASSERT_EQ(window->Create(), 1);
    host.Activate(true);
    Run();
    // The render thread measures the window with its first frame.
    WaitForFrame();
  }
  // The first tick of timer 123: the start-up stages.
  void Tick() {
    host.AdvanceClock(CBrightforgeDlg::kStartupTimerPeriodMs);
    Run();
  }
  void Run() { UiQueue().RunUntilIdle(); }
  // Waits (at most 10 s) until the render thread presented a frame after
  // everything marked so far.
  void WaitForFrame() {
    window->InvalidateAll();
    const int before = host.PresentCount();
    for (int i = 0; i < 1000 && host.PresentCount() <= before; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(host.PresentCount(), before);
  }
  // How many different colours the presented screen has in a logical
  // rectangle.
  std::size_t Colours(const Rect& logical) const {
    const Point from = window->PhysicalOffset({logical.left, logical.top});
    const Point to = window->PhysicalOffset({logical.right, logical.bottom});
    std::set<std::uint32_t> colours;
    for (std::int32_t y = from.y; y < to.y; ++y) {
      for (std::int32_t x = from.x; x < to.x; ++x) colours.insert(host.PresentedPixel({x, y}));
    }
    return colours.size();
  }

  // The messages of the debug log, in order, without their time stamps.
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

  CFakeDocumentPage* AddPage(const std::string& name, std::uint32_t kind) {
    auto* page = new CFakeDocumentPage(FromUtf8(name), kind, pageLog);
    EXPECT_GE(window->tabFrame.AddPage(page), 0);
    return page;
  }
  std::vector<std::string> PageTitles() const {
    std::vector<std::string> titles;
    for (const CSTabPage* page : window->tabFrame.pages) titles.push_back(ToUtf8(page->title));
    return titles;
  }
  std::string CurrentTitle() const {
    const std::int32_t current = window->tabFrame.currentPage;
    return current < 0 ? "" : ToUtf8(window->tabFrame.pages[static_cast<std::size_t>(current)]->title);
  }

  CHeadlessHost host{{1280, 800}};
  std::filesystem::path dataFolder;
  std::filesystem::path logFile;
  std::unique_ptr<CTestMainWindow> window;
  std::vector<std::u16string> arguments;  // the command line Open gives the window
  std::unique_ptr<CDialogScript> script;
  std::vector<std::string> questions;
  std::vector<std::string> opened;
  std::shared_ptr<std::vector<std::string>> pageLog = std::make_shared<std::vector<std::string>>();
};
