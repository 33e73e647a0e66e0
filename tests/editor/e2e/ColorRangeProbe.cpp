// A small program for the end-to-end test of the colour range dialog, the
// brush dialog and the about box. The key R runs the colour range dialog on
// a document of one layer that sweeps the hue circle left to right and
// lightness top to bottom; B the brush dialog on a brush of size 20; A the
// about box. Each logs its result when it ends. While a dialog runs, the
// log tells the test where its parts are (physical client pixels), the
// selector's handles and marker after every change, whether the selector
// takes input, the preview style, and the rows of the preset menu.
//
// Escape (while nothing runs) ends the probe, also after 90 s.
//
//   color_range_probe LOG

#include <cstdio>
#include <memory>
#include <string>

#include "document/BFDoc.h"
#include "editor/SelColorDlg.h"
#include "image/ColorModel.h"
#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbePage.h"
#include "tests/common/ProbeWindow.h"
#include "ui/PaintBrush.h"
#include "ui/dialogs/AboutSprite.h"
#include "ui/dialogs/BrushDlg.h"
#include "ui/widgets/SCheckBox.h"
#include "ui/widgets/SliderSprite.h"

namespace {

constexpr std::uint32_t kPollTimer = 2;
constexpr std::uint32_t kDocWidth = 360;
constexpr std::uint32_t kDocHeight = 240;

using probe::Write;

class CPage final : public CProbePage {};

// Hue across, lightness down, full saturation: every band finds pixels.
bool FillDocument(CBFDoc& document) {
  CBgraImage16 image;
  if (!image.Create(kDocWidth, kDocHeight)) return false;
  for (std::uint32_t y = 0; y < kDocHeight; ++y) {
    for (std::uint32_t x = 0; x < kDocWidth; ++x) {
      std::uint16_t* p = image.At(x, y);
      p[0] = static_cast<std::uint16_t>(8000 + y * 200);  // L
      p[1] = 65535;                                       // S
      p[2] = static_cast<std::uint16_t>(x * 65535 / kDocWidth);
      p[3] = 65535;
    }
    HslToRgb16(image.Row(y), kDocWidth);
  }
  return document.InsertLayer(image, u"Sweep", -1) != 0;
}

class CRangeProbeWindow final : public CProbeWindow {
public:
  CRangeProbeWindow() : CProbeWindow(u"Tessera range probe", {900, 620}) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && !TopPopup()) {
      switch (message.wparam) {
        case 'R':
          RunRange();
          return;
        case 'B':
          RunBrush();
          return;
        case 'A':
          RunAbout();
          return;
        case VK_ESCAPE:
          EndDialog(0);
          return;
        default:
          break;
      }
    }
    CProbeWindow::OnUiMessage(message);
    LogDialogs();
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kPollTimer) LogDialogs();
    CProbeWindow::OnTimer(id);
  }

  [[nodiscard]] bool Build() override {
    const Size client = WindowHost()->GetClientSize();
    m_page = new CPage;
    if (!m_page->Create(nullptr, this, 1, {0, 0, Logical(client.width), Logical(client.height)}, 2))
      return false;
    AddTopLevelSprite(m_page, true);
    UiQueue().SetTimer(kPollTimer, 100);
    return FillDocument(m_document);
  }

private:
  std::int32_t Logical(std::int32_t physical) const { return static_cast<std::int32_t>(physical / scale); }
  void LogPoint(const char* name, const CSprite& sprite, Point local) {
    const Point at = PhysicalOffset(sprite.PointToWindow(local));
    Write("%s %d %d", name, at.x, at.y);
  }
  void LogCentre(const char* name, const CSprite* control) {
    if (control) LogPoint(name, *control, {control->rect.Width() / 2, control->rect.Height() / 2});
  }

  void RunRange() {
    Write("range");
    CSelColorDlg dialog;
    dialog.document = &m_document;
    std::int32_t code = 0;
    if (dialog.Create(CSelColorDlg::kTemplateId)) code = dialog.RunModal();
    std::uint64_t selected = 0;
    const CPlane8& selection = m_document.m_selection;
    for (std::uint32_t i = 0; !selection.IsEmpty() && i < selection.byteSize; ++i)
      selected += selection.pixels[i] > 127 ? 1 : 0;
    Write("range result %d selected %llu", code, static_cast<unsigned long long>(selected));
  }

  void RunBrush() {
    Write("brush");
    PaintBrush brush;
    brush.size = 20;
    const bool ok = brush.EditWithDialog(300, {-1, -1}, 0);
    Write("brush result %d %d %d %d", ok ? 1 : 0, brush.size, brush.softness, brush.opacity);
  }

  void RunAbout() {
    Write("about");
    auto about = std::make_unique<CAboutSprite>();
    if (!about->Create(nullptr, this, CAboutSprite::kSpriteId, {}, CAboutSprite::kLayer)) {
      Write("about failed");
      return;
    }
    AddTopLevelSprite(about.get());
    Write("about shown");
    Write("about closed %d", about->RunModal() ? 1 : 0);
  }

  void LogDialogs() {
    CPopupSprite* top = TopPopup();
    if (!top || !top->visible) return;
    const bool first = top->key != m_loggedKey;
    m_loggedKey = top->key;
    if (auto* range = dynamic_cast<CSelColorDlg*>(top)) {
      CRangeSelector& selector = range->selector;
      if (first) {
        LogPoint("hue box", *range->FindControl(CSelColorDlg::kHueCheck), {10, 10});
        LogCentre("presets", range->FindControl(CSelColorDlg::kPresetButton));
        LogPoint("mask style", *range->FindControl(CSelColorDlg::kStyleMask), {10, 10});
        LogCentre("ok", range->FindControl(kIdOk));
        Write("range shown");
        m_loggedHandles.clear();
      }
      std::string handles;
      {
        std::lock_guard guard(selector.lock);
        for (std::size_t i = 0; i < 4; ++i) handles += std::to_string(selector.handles[i]) + " ";
        handles += "marker " + std::to_string(selector.marker);
      }
      if (handles != m_loggedHandles) {
        m_loggedHandles = handles;
        Write("handles %s", handles.c_str());
        for (std::size_t i = 0; i < 4; ++i) {
          const Rect r = selector.HandleRect(i);
          LogPoint(("handle " + std::to_string(i)).c_str(), selector, {r.left + 6, r.top + 8});
        }
      }
      const int enabled = selector.IsEnabled() ? 1 : 0;
      if (first || enabled != m_loggedEnabled) Write("selector enabled %d", m_loggedEnabled = enabled);
      if (first || range->previewStyle != m_loggedStyle || range->previewPicture.width != m_loggedPreview) {
        m_loggedStyle = range->previewStyle;
        m_loggedPreview = range->previewPicture.width;
        Write("preview style %d width %u", m_loggedStyle, m_loggedPreview);
      }
    } else if (auto* brush = dynamic_cast<CBrushDlg*>(top)) {
      if (first) {
        const CSliderSprite* size = brush->sizeSlider;
        LogPoint("size track", *size, {size->TrackRect().left + 3, 10});
        LogCentre("ok", brush->FindControl(kIdOk));
        Write("brush shown");
        m_loggedSize = -1;
      }
      if (brush->brush.size != m_loggedSize) {
        m_loggedSize = brush->brush.size;
        Write("brush size %d preview %u", m_loggedSize, brush->brush.preview.width);
      }
    } else if (auto* menu = dynamic_cast<CSMenu*>(top)) {
      if (first) {
        for (std::size_t i = 0; i < menu->items.size(); ++i) {
          const MenuItem& item = *menu->items[i];
          const Point at = PhysicalOffset(
              menu->PointToWindow({menu->iconColumnWidth + 10, item.rowTop + item.rowHeight / 2}));
          Write("row %zu %d %d %s", i, at.x, at.y, item.separator ? "-" : ToUtf8(item.caption).c_str());
        }
        Write("menu shown");
      }
    }
  }

  CPage* m_page = nullptr;
  CBFDoc m_document;
  std::int32_t m_loggedKey = 0;
  std::string m_loggedHandles;
  int m_loggedEnabled = -1;
  std::int32_t m_loggedStyle = 0;
  std::uint32_t m_loggedPreview = 0;
  std::int32_t m_loggedSize = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: color_range_probe LOG\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.readyWithSize = false, .loadResources = true},
                          [&] { return std::make_unique<CRangeProbeWindow>(); });
  });
}
