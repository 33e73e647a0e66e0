// The program itself with a test driver, for the end-to-end test of the
// edit page: Tessera's main window with the parts main() plugs in, which
// opens the photo given on its command line into an edit page once its
// start-up stages have run, and writes to a log what the test needs.
//
// Keys (none of them is an editor key): F8 writes, 300 ms later, the state of the current
// edit page (zoom, source rectangle, the image rectangle in window pixels,
// the current history step and the centres of the album's and the photo's
// tab titles) and the canvas's display picture to DUMP as raw RGB (and
// the selection's ants and panel to DUMP.outline); F9 makes
// an undoable edit (the base layer's colours inverted, one history step); F7
// writes, 300 ms later, the layer count, the current layer and step, and the
// window centres of the history panel's rows, and the current layer's
// dithered picture to DUMP.layer as raw RGBA.
// F6 writes, 300 ms later, the crop tool's state: the window centres of
// its button on the tool page and of its OK button (-1 -1 while none is
// drawn), the document's size, the current step and whether the crop tool
// is current. PHOTO "-" opens nothing (photos are dropped by the test).
// F4 writes, 300 ms later, a "strip" line with the tools' state: the current tool's id (0 for
// none), whether it is busy (a warp running or waiting), the current step,
// the layer count, the current layer's box in window pixels, then "buttons" with the id and window centre of
// every tool button (99999 the no-tool button) and "options" with those of the current tool's option panel
// items. F12 writes, 300 ms later, the text tool's state: its button's window centre, the current tool, the
// edited layer's text as UTF-8 and the confirm mark's window centre.
// F11 writes the window centres of the free paint and lasso buttons, the image
// rectangle in window pixels, the current tool, the step, the selected
// pixels and a checksum of the current layer.
// The probe ends by the window's close (its questions answered by the
// test), after 150 s at the latest.
//
//   edit_page_probe LOG DUMP PHOTO

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/BrightforgeDlg.h"
#include "app/Globals.h"
#include "dialogs/AdjustDialogs.h"
#include "dialogs/DialogHost.h"
#include "document/BFDoc.h"
#include "document/TextLayer.h"
#include "editor/CropTool.h"
#include "editor/SEditPage.h"
#include "editor/ShapeChangeTool.h"
#include "editor/TextTool.h"
#include "editor/Tool.h"
#include "editor/ToolId.h"
#include "image/BgraImage.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/common/MainWindowProbe.h"
#include "tests/common/ProbeLog.h"

namespace {

constexpr std::uint32_t kTimeLimitTimer = 7001;
// The state is written once the queue is idle and a few frames have
// passed, so that the canvas has caught up with the document.
constexpr std::uint32_t kStateTimer = 7002;
constexpr std::uint32_t kStateDelayMs = 300;
constexpr std::uint32_t kLayerTimer = 7003;
constexpr std::uint32_t kCropTimer = 7004;
constexpr std::uint32_t kTextTimer = 7005;
constexpr std::uint32_t kToolsTimer = 7006;
constexpr std::uint32_t kF4 = VK_F1 + 3;
constexpr std::uint32_t kF6 = VK_F1 + 5;
constexpr std::uint32_t kF7 = VK_F1 + 6;
constexpr std::uint32_t kF8 = VK_F1 + 7;
constexpr std::uint32_t kF9 = VK_F1 + 8;
constexpr std::uint32_t kF11 = VK_F1 + 10;
constexpr std::uint32_t kF12 = VK_F1 + 11;

using probe::Write;

class CProbeWindow final : public CBrightforgeDlg {
public:
  CProbeWindow(MainWindowHooks hooks, const char* dumpPath, std::filesystem::path photoPath)
      : CBrightforgeDlg(std::move(hooks)), m_dumpPath(dumpPath), m_photo(std::move(photoPath)) {}

  void OnTimer(std::uint32_t id) override {
    if (id == kTimeLimitTimer) {
      Write("time limit");
      EndDialog(3);
      return;
    }
    if (id == kStateTimer) {
      UiQueue().KillTimer(kStateTimer);
      WriteState();
      return;
    }
    if (id == kCropTimer) {
      UiQueue().KillTimer(kCropTimer);
      WriteCrop();
      return;
    }
    if (id == kLayerTimer) {
      UiQueue().KillTimer(kLayerTimer);
      WriteLayers();
      return;
    }
    if (id == kTextTimer) {
      UiQueue().KillTimer(kTextTimer);
      WriteText();
      return;
    }
    if (id == kToolsTimer) {
      UiQueue().KillTimer(kToolsTimer);
      WriteStrip();
      return;
    }
    CBrightforgeDlg::OnTimer(id);
    if (id == kStartupTimerId && ++m_ticks == 1) {
      UiQueue().SetTimer(kTimeLimitTimer, 150000);
      if (m_photo == "-") {
        Write("ready");
        return;
      }
      OpenDocumentPage(m_photo, false, nullptr, 0);
      CSEditPage* page = CurrentEditPage();
      Write(page ? "opened %d x %d" : "not opened %d %d", page ? static_cast<int>(page->document.m_width) : 0,
            page ? static_cast<int>(page->document.m_height) : 0);
    }
  }

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_ACTIVATE) Write("activate %u", static_cast<unsigned>(message.wparam & 0xFFFF));
    if (message.message == WM_KEYDOWN && message.wparam == kF8)
      UiQueue().SetTimer(kStateTimer, kStateDelayMs);
    if (message.message == WM_KEYDOWN && message.wparam == kF9) Edit();
    if (message.message == WM_KEYDOWN && message.wparam == kF11) WriteTools();
    if (message.message == WM_KEYDOWN && message.wparam == kF6) UiQueue().SetTimer(kCropTimer, kStateDelayMs);
    if (message.message == WM_KEYDOWN && message.wparam == kF7)
      UiQueue().SetTimer(kLayerTimer, kStateDelayMs);
    if (message.message == WM_KEYDOWN && message.wparam == kF12)
      UiQueue().SetTimer(kTextTimer, kStateDelayMs);
    if (message.message == WM_KEYDOWN && message.wparam == kF4)
      UiQueue().SetTimer(kToolsTimer, kStateDelayMs);
    CBrightforgeDlg::OnUiMessage(message);
  }

  void OnClose() override {
    Write("close asked");
    CBrightforgeDlg::OnClose();
  }

private:
  void WriteState() {
    CSEditPage* page = nullptr;
    for (CSTabPage* tab : tabFrame.pages) {
      if (auto* edit = dynamic_cast<CSEditPage*>(tab)) page = edit;
    }
    if (!page) {
      Write("state none");
      return;
    }
    const CanvasMapping m = page->canvas.Mapping();
    const Rect image = page->canvas.RectToWindow(m.image);
    CBgraImage picture;
    bool dumped = page->canvas.CopyDisplayPicture(picture);
    if (dumped) {
      std::FILE* file = std::fopen(m_dumpPath, "wb");
      dumped = file != nullptr;
      for (std::uint32_t y = 0; dumped && y < picture.height; ++y) {
        for (std::uint32_t x = 0; x < picture.width; ++x) {
          const std::uint8_t* p = picture.At(x, y);
          const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
          dumped = std::fwrite(rgb, 1, 3, file) == 3 && dumped;
        }
      }
      if (file) dumped = std::fclose(file) == 0 && dumped;
    }
    WriteOutline(*page, dumped);
    Point titles[2];
    for (std::int32_t i = 0; i < 2; ++i) {
      std::int32_t left = 0, right = 0;
      tabFrame.GetTabExtent(i, left, right);
      titles[i] = tabFrame.PointToWindow(
          {(left + right) / 2 + tabFrame.stripLeft - tabFrame.scrollOffset, CSTabFrame::kStripHeight / 2});
    }
    Write("state %s zoom %.6f source %d %d %d %d image %d %d %d %d step %d current %d titles %d %d %d %d",
          dumped ? "dumped" : "nodump", m.zoom, m.source.left, m.source.top, m.source.right, m.source.bottom,
          image.left, image.top, image.Width(), image.Height(), page->history.CurrentStep(),
          CurrentEditPage() == page ? 1 : 0, titles[0].x, titles[0].y, titles[1].x, titles[1].y);
  }

  // The marks over the display picture, one byte a pixel (non-zero where
  // the selection's ants or the selection panel cover it), to DUMP.outline;
  // no file while there are none.
  void WriteOutline(CSEditPage& page, bool dumped) {
    const std::string path = std::string(m_dumpPath) + ".outline";
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // a missing file is what is wanted
    if (!dumped) return;
    CSEditView& canvas = page.canvas;
    const Rect image = canvas.Mapping().image;
    const Rect panel = canvas.selectionPanel.rect;
    const bool panelShown = canvas.selectionPanel.visible != 0;
    if (image.Width() <= 0 || image.Height() <= 0) return;
    const auto w = static_cast<std::size_t>(image.Width());
    std::vector<std::uint8_t> marks(w * static_cast<std::size_t>(image.Height()), 0);
    bool any = false;
    {
      std::lock_guard guard(canvas.lock);
      const CPlane8& outline = canvas.outline;
      if (canvas.showOutline && outline.width == w &&
          outline.height == static_cast<std::uint32_t>(image.Height())) {
        for (std::uint32_t y = 0; y < outline.height; ++y)
          std::copy_n(outline.Row(y), w, marks.begin() + static_cast<std::ptrdiff_t>(y * w));
        any = true;
      }
    }
    if (panelShown) {
      for (std::int32_t y = std::max(panel.top, image.top); y < std::min(panel.bottom, image.bottom); ++y) {
        for (std::int32_t x = std::max(panel.left, image.left); x < std::min(panel.right, image.right); ++x)
          marks[static_cast<std::size_t>(y - image.top) * w + static_cast<std::size_t>(x - image.left)] = 255;
      }
      any = true;
    }
    if (!any) return;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    const bool written = std::fwrite(marks.data(), 1, marks.size(), file) == marks.size();
    if (std::fclose(file) != 0 || !written) std::filesystem::remove(path, ignored);
  }

  void WriteLayers() {
    CSEditPage* page = CurrentEditPage();
    if (!page) {
      Write("layers none");
      return;
    }
    CBgraImage picture;
    const CBFLayer* layer = page->document.GetCurrentLayer();
    bool dumped = layer && layer->m_image.ToBgraImageDithered(picture);
    if (dumped) {
      std::FILE* file = std::fopen((std::string(m_dumpPath) + ".layer").c_str(), "wb");
      dumped = file != nullptr;
      for (std::uint32_t y = 0; dumped && y < picture.height; ++y) {
        for (std::uint32_t x = 0; x < picture.width; ++x) {
          const std::uint8_t* p = picture.At(x, y);
          const std::uint8_t rgba[4] = {p[2], p[1], p[0], p[3]};
          dumped = std::fwrite(rgba, 1, 4, file) == 4 && dumped;
        }
      }
      if (file) dumped = std::fclose(file) == 0 && dumped;
    }
    std::string rows;
    const CSHistoryList& list = page->historyPanel.list;
    for (std::int32_t i = 0; i < list.RowCount(); ++i) {
      const Point centre = list.PointToWindow(
          {list.rect.Width() / 2, i * list.rowHeight + list.rowHeight / 2 - list.scrollOffset});
      rows += " " + std::to_string(centre.x) + " " + std::to_string(centre.y);
    }
    Write("layers %d current %d step %d size %u %u %s rows%s", page->document.LayerCount(),
          page->document.m_currentLayer, page->history.CurrentStep(), dumped ? picture.width : 0,
          dumped ? picture.height : 0, dumped ? "dumped" : "nodump", rows.c_str());
  }

  void WriteTools() {
    CSEditPage* page = CurrentEditPage();
    if (!page) {
      Write("tools none");
      return;
    }
    auto centre = [&](std::int32_t id) {
      const PanelItem* item = page->toolPanel.strip.FindItem(static_cast<std::uint32_t>(id));
      if (!item) return Point{-1, -1};
      return page->toolPanel.strip.PointToWindow(
          {(item->rect.left + item->rect.right) / 2, (item->rect.top + item->rect.bottom) / 2});
    };
    const Point paint = centre(kToolFreePaint), lasso = centre(kToolFreeSel);
    const Rect image = page->canvas.RectToWindow(page->canvas.Mapping().image);
    std::uint64_t selected = 0, sum = 0;
    const CPlane8& selection = page->document.m_selection;
    for (std::uint32_t i = 0; !selection.IsEmpty() && i < selection.byteSize; ++i)
      selected += selection.pixels[i] > 0;
    if (const CBFLayer* layer = page->document.GetCurrentLayer()) {
      std::lock_guard guard(layer->m_lock);
      for (const std::uint16_t v : layer->m_image.Samples()) sum += v;
    }
    const CTool* tool = page->canvas.currentTool;
    Write("tools paint %d %d lasso %d %d image %d %d %d %d tool %d step %d selected %llu sum %llu", paint.x,
          paint.y, lasso.x, lasso.y, image.left, image.top, image.Width(), image.Height(),
          tool ? tool->toolId : 0, page->history.CurrentStep(), static_cast<unsigned long long>(selected),
          static_cast<unsigned long long>(sum));
  }

  void WriteCrop() {
    CSEditPage* page = CurrentEditPage();
    if (!page) {
      Write("crop none");
      return;
    }
    Point button{-1, -1};
    if (const PanelItem* item = page->toolPanel.strip.FindItem(kToolCrop)) {
      button = page->toolPanel.strip.PointToWindow(
          {(item->rect.left + item->rect.right) / 2, (item->rect.top + item->rect.bottom) / 2});
    }
    CCropTool& crop = g_ToolSet.crop;
    Point ok{-1, -1};
    {
      std::lock_guard guard(page->canvas.lock);
      const Rect r = crop.okRect;
      if (r.left != -1 && crop.rectExists) {
        const Rect content = page->canvas.view.content;
        ok = page->canvas.PointToWindow({content.left + r.left + 12, content.top + r.top + 12});
      }
    }
    Write("crop button %d %d ok %d %d size %u %u step %d tool %d", button.x, button.y, ok.x, ok.y,
          page->document.m_width, page->document.m_height, page->history.CurrentStep(),
          page->canvas.currentTool == &crop ? 1 : 0);
  }

  void WriteText() {
    CSEditPage* page = CurrentEditPage();
    if (!page) {
      Write("text none");
      return;
    }
    const PanelItem* button = page->toolPanel.strip.FindItem(kToolText);
    const Point centre =
        button ? page->toolPanel.strip.PointToWindow({(button->rect.left + button->rect.right) / 2,
                                                      (button->rect.top + button->rect.bottom) / 2})
               : Point{};
    CTool* tool = page->canvas.currentTool;
    const CTextTool& text = g_ToolSet.text;
    const CanvasMapping m = page->canvas.Mapping();
    const Rect mark = text.confirmMark;
    const Point markCentre = page->canvas.PointToWindow(
        {(mark.left + mark.right) / 2 + m.content.left, (mark.top + mark.bottom) / 2 + m.content.top});
    const auto* layer = dynamic_cast<const CTextLayer*>(page->document.GetCurrentLayer());
    Write("text button %d %d tool %d mark %d %d layers %d text [%s]", centre.x, centre.y,
          tool ? tool->toolId : 0, markCentre.x, markCentre.y, page->document.LayerCount(),
          layer ? ToUtf8(layer->Text()).c_str() : "");
  }

  void WriteStrip() {
    CSEditPage* page = CurrentEditPage();
    if (!page) {
      Write("strip none");
      return;
    }
    const auto centres = [](const CPanelSprite& panel) {
      std::string list;
      for (const auto& item : panel.items) {
        const Point c = panel.PointToWindow(
            {(item->rect.left + item->rect.right) / 2, (item->rect.top + item->rect.bottom) / 2});
        list += " " + std::to_string(item->id) + " " + std::to_string(c.x) + " " + std::to_string(c.y);
      }
      return list;
    };
    CTool* tool = page->canvas.currentTool;
    const bool busy = tool == &g_ToolSet.shapeChange &&
                      (g_ToolSet.shapeChange.WarpRunning() || g_ToolSet.shapeChange.WarpPending());
    const std::string options = tool && tool->optionPanel ? centres(*tool->optionPanel) : std::string();
    // The current layer's box in window pixels.
    Rect box{-1, -1, -1, -1};
    if (const CBFLayer* layer = page->document.GetCurrentLayer()) {
      const CanvasMapping m = page->canvas.Mapping();
      const CanvasPoint a = m.ToCanvasPoint({layer->m_x, layer->m_y});
      const CanvasPoint b = m.ToCanvasPoint({layer->m_x + static_cast<std::int32_t>(layer->m_image.width),
                                             layer->m_y + static_cast<std::int32_t>(layer->m_image.height)});
      const Point wa = page->canvas.PointToWindow({a.x + m.content.left, a.y + m.content.top});
      const Point wb = page->canvas.PointToWindow({b.x + m.content.left, b.y + m.content.top});
      box = {wa.x, wa.y, wb.x, wb.y};
    }
    Write("strip current %d busy %d step %d layers %d box %d %d %d %d buttons%s options%s",
          tool ? tool->toolId : 0, busy ? 1 : 0, page->history.CurrentStep(), page->document.LayerCount(),
          box.left, box.top, box.right, box.bottom, centres(page->toolPanel.strip).c_str(), options.c_str());
  }

  void Edit() {
    CSEditPage* page = CurrentEditPage();
    if (!page) return;
    CBFLayer* base = page->document.GetLayer(0);
    {
      std::lock_guard guard(base->m_lock);
      for (std::uint32_t i = 0; i < base->m_image.pixelCount; ++i) {
        std::uint16_t* p = base->m_image.pixels + 4 * std::size_t{i};
        for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint16_t>(65535 - p[c]);
      }
    }
    const bool recorded = page->history.AddStep(kStepLayer, 0, u"Invert", StepBlock::None, 0, {});
    page->document.m_modified = 1;
    Write(recorded ? "edited" : "edit not recorded");
  }

  const char* m_dumpPath;
  std::filesystem::path m_photo;
  int m_ticks = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: edit_page_probe LOG DUMP PHOTO\n");
    return 2;
  }
  const char* dumpPath = argv[2];
  const std::filesystem::path photo = argv[3];
  // The progress runner (the free transform's final run) and the
  // adjustment dialogs, as the program installs them.
  static CShellDialogHost dialogHost([] { return dynamic_cast<IEditorShell*>(g_RenderWindow.load()); });
  InstallAdjustDialogs(&dialogHost);
  return RunMainWindowProbe(argv[1], [&](MainWindowHooks hooks) {
    CProbeWindow window(hooks, dumpPath, photo);
    return window.RunModal();
  });
}
