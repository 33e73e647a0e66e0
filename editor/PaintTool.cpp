#include "editor/PaintTool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "editor/SToolPage.h"
#include "platform/SettingsStore.h"
#include "platform/WindowHost.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

constexpr std::size_t kSettingNameLength = 63;  // of the 64-character name field
constexpr std::int32_t kPanelLayer = 5;
constexpr Rect kBrushItemRect{0, 2, 120, 38};
constexpr std::uint8_t kItemKind = 1;
constexpr Point kDialogAnchor{38, 38};
// A tool without a registry name paints with these.
constexpr std::int32_t kUnnamedSize = 6;
constexpr std::int32_t kUnnamedSoftness = 40;

std::u16string SettingName(std::u16string_view prefix, std::u16string_view registry) {
  std::u16string name(prefix);
  name += registry;
  if (name.size() > kSettingNameLength) name.resize(kSettingNameLength);
  return name;
}

bool InDocument(const CBFDoc& document, Point p) {
  return p.x >= 0 && p.y >= 0 && static_cast<std::uint32_t>(p.x) < document.m_width &&
         static_cast<std::uint32_t>(p.y) < document.m_height;
}

Rect Union(const Rect& a, const Rect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

}  // namespace

std::int32_t CPaintTool::BrushLimit(std::uint32_t width, std::uint32_t height) {
  const auto w = static_cast<std::int64_t>(width), h = static_cast<std::int64_t>(height);
  return static_cast<std::int32_t>(std::max(std::min(w, h) / 8, std::max(w, h) / 20));
}

std::u16string_view CPaintTool::Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

CBFDoc* CPaintTool::Document() const { return hostView ? hostView->document : nullptr; }

CBFLayer* CPaintTool::TargetLayer() const {
  CBFDoc* document = Document();
  if (!document || !target) return nullptr;
  return document->GetLayer(document->FindLayerByImage(target));
}

void CPaintTool::Redraw() {
  if (hostView) hostView->overlay.dirty = 1;
}

// Init, activation, settings ---------------------------------------------------

std::int32_t CPaintTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!CTool::Init(id, picture, text)) return 0;
  panel.drawBackground = 0;
  if (!panel.Create(nullptr, g_RenderWindow.load(), id + kOptionPanelIdBase, {0, 0, kPanelWidth, 40},
                    kPanelLayer))
    return 0;
  if (!brush.BuildPreview(kPreviewSide)) return 0;
  if (!panel.AddItem(kBrushItem, kBrushItemRect, kItemKind, Text(u"setbrushshort"), Text(u"setbrush"),
                     &brush.preview))
    return 0;
  optionPanel = &panel;
  return 1;
}

void CPaintTool::ReadSettings() {
  CBFDoc* document = Document();
  const std::int32_t limit = document ? BrushLimit(document->m_width, document->m_height) : 1;
  if (registryName.empty()) {
    brush.size = std::min(kUnnamedSize, std::max(limit, 1));
    brush.softness = kUnnamedSoftness;
    brush.opacity = 100;
    return;
  }
  CSettingsStore settings;
  auto read = [&](std::u16string_view prefix, std::uint32_t fallback) {
    std::uint32_t value = fallback;
    if (!settings.GetDword(CSettingsStore::Scope::CurrentUser, kSettingsSection,
                           SettingName(prefix, registryName), value))
      value = fallback;
    return value;
  };
  brush.size = static_cast<std::int32_t>(std::min<std::uint32_t>(
      read(u"PaintSize_", kDefaultSize), static_cast<std::uint32_t>(std::max(limit, 1))));
  brush.opacity =
      static_cast<std::int32_t>(std::min<std::uint32_t>(read(u"PaintOpacity_", kDefaultOpacity), 100));
  brush.softness =
      static_cast<std::int32_t>(std::min<std::uint32_t>(read(u"PaintSoft_", kDefaultSoftness), 100));
}

void CPaintTool::WriteSettings() const {
  if (registryName.empty()) return;
  CSettingsStore settings;
  const std::pair<std::u16string_view, std::int32_t> values[] = {
      {u"PaintSize_", brush.size}, {u"PaintOpacity_", brush.opacity}, {u"PaintSoft_", brush.softness}};
  for (const auto& [prefix, value] : values) {
    if (!settings.SetDword(kSettingsSection, SettingName(prefix, registryName),
                           static_cast<std::uint32_t>(value)))
      UIResources().WriteLog("Brush settings not kept");  // the next start uses the defaults
  }
}

bool CPaintTool::RebuildBrush() {
  bool built = false;
  {
    auto guard = LockOverlay();
    built = brush.BuildStamp() != 0;
    cursorImage.Free();
    cursorZoom = -1.0;
  }
  if (!brush.BuildPreview(kPreviewSide)) built = false;
  panel.SetItemImage(kBrushItem, &brush.preview);
  return built;
}

std::int32_t CPaintTool::Activate() {
  CBFDoc* document = Document();
  if (!document) return 0;
  CBFLayer* layer = document->GetCurrentLayer();
  if (layer && !layer->m_visible) {
    (void)ShowMessageBox(Text(u"paintinvisible"), MessageBoxIcon::Error,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return 0;
  }
  ReadSettings();
  if (!RebuildBrush()) UIResources().WriteLog("Brush stamp not built");  // strokes then paint nothing
  target = layer ? &layer->m_image : nullptr;
  if (!strokePlane.Create(document->m_width, document->m_height)) return 0;
  stepAtActivation = hostView->page.history.CurrentStep();
  layerAtActivation = document->m_currentLayer;
  largeBrush = 0;
  m_ownSteps.clear();
  activated = 1;
  return 1;
}

void CPaintTool::Deactivate() {
  {
    auto guard = LockOverlay();
    cursorImage.Free();
    cursorZoom = -1.0;
    lastPointer = kNoPointer;
  }
  if (capture) {
    capture = 0;
    if (CRenderWindow* window = hostView ? RenderWindowOf(*hostView) : nullptr)
      window->ReleaseCaptureSprite(hostView);
  }
  // A refused activation leaves the settings, the history and the layers alone.
  if (!activated) return;
  if (strokeActive) {
    {
      auto guard = LockOverlay();
      strokeActive = 0;
    }
    CommitStroke();
  }
  activated = 0;
  WriteSettings();
  CBFDoc* document = Document();
  CBFLayer* layer = TargetLayer();
  if (!largeBrush || !document || !layer || !OnlyOwnStepsSinceActivation()) return;
  // The strokes of a large brush become one step of the whole layer.
  {
    std::lock_guard guard(layer->m_lock);
    if (!backup.CopyFrom(layer->m_image)) return;
  }
  if (!hostView->page.history.GoToStep(stepAtActivation, true)) {
    UIResources().WriteLog("Brush strokes not folded");
    return;
  }
  if (CBFLayer* original = document->GetLayer(layerAtActivation)) {
    bool copied = false;
    {
      std::lock_guard guard(original->m_lock);
      copied = original->m_image.CopyFrom(backup) != 0;
    }
    if (!copied || !RecordToolStep()) UIResources().WriteLog("Brush step not recorded");
  }
  document->m_modified = 1;
}

bool CPaintTool::OnlyOwnStepsSinceActivation() const {
  const CDocHistory& history = hostView->page.history;
  const auto own = static_cast<std::int32_t>(m_ownSteps.size());
  if (history.CurrentStep() != stepAtActivation + own || history.StepCount() != history.CurrentStep() + 1)
    return false;
  for (std::int32_t i = 0; i < own; ++i) {
    const HistoryStep& step = history.Steps()[static_cast<std::size_t>(stepAtActivation + 1 + i)];
    const OwnStep& mine = m_ownSteps[static_cast<std::size_t>(i)];
    if (step.offset != mine.offset || step.size != mine.size || step.Name() != mine.name) return false;
  }
  return true;
}

void CPaintTool::NoteOwnStep() {
  const CDocHistory& history = hostView->page.history;
  if (history.CurrentStep() < 0) return;
  const HistoryStep& step = history.Steps()[static_cast<std::size_t>(history.CurrentStep())];
  m_ownSteps.push_back({step.offset, step.size, step.Name()});
}

bool CPaintTool::RecordStrokeStep(const CBFLayer& layer, const Rect& rectangle, std::u16string_view key) {
  CBFDoc* document = Document();
  if (!document) return false;
  const std::int32_t index = document->FindLayerByImage(&layer.m_image);
  const auto bytes = HistoryStep::EncodeRectangle(rectangle);
  if (!hostView->page.history.AddStep(kStepRegion, index, Text(key), StepBlock::None,
                                      static_cast<std::uint16_t>(toolId), bytes))
    return false;
  NoteOwnStep();
  return true;
}

bool CPaintTool::RecordLayerStep(std::u16string_view key) {
  return hostView && hostView->page.history.AddStep(kStepLayer, layerAtActivation, Text(key), StepBlock::None,
                                                    static_cast<std::uint16_t>(toolId), {});
}

// Input ---------------------------------------------------------------------

void CPaintTool::OnMessage(const SpriteMessage& message) {
  if (message.code == kPanelMsgItemClicked && message.wparam == kBrushItem) EditBrush();
}

std::int32_t CPaintTool::OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t) {
  if (isVirtual) return 0;
  if (key == '+' || key == '=' || key == 'A' || key == 'a') ResizeBrush(+1);
  if (key == '-' || key == 'Z' || key == 'z') ResizeBrush(-1);
  return 0;
}

std::int32_t CPaintTool::OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t) {
  if (button != kLeftButton || strokeActive || !hostView) return 1;
  BeginStroke();
  if (!strokeActive) return 1;
  const Point p = hostView->Mapping().ToDocument(point);
  StrokeSegment(p, p);
  return 1;
}

std::int32_t CPaintTool::OnButtonUp(std::int32_t, CanvasPoint, std::uint32_t) {
  if (strokeActive) {
    {
      auto guard = LockOverlay();
      strokeActive = 0;
    }
    CommitStroke();
  }
  return 1;
}

void CPaintTool::OnCaptureLost() {
  if (strokeActive) {
    {
      auto guard = LockOverlay();
      strokeActive = 0;
    }
    CommitStroke();
  }
  capture = 0;
  {
    auto guard = LockOverlay();
    lastPointer = kNoPointer;
  }
  Redraw();
}

std::int32_t CPaintTool::OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) {
  CBFDoc* document = Document();
  if (!hostView || !document) return 0;
  const CanvasMapping m = hostView->Mapping();
  const Point q = m.ToDocument(point);
  if (!leftDown && point == previous) return 0;
  const Point onCanvas{point.x + m.content.left, point.y + m.content.top};
  bool inside = false;
  Point r;
  if (!InDocument(*document, q) || point.y < 0 || point.y >= m.content.Height() || point.x < 0 ||
      point.x >= m.content.Width() || hostView->IsOverScrollBar(onCanvas)) {
    // Between strokes the canvas's children (toolbar, option panel, scroll
    // bars) get the pointer back; during one the capture stays.
    if (!strokeActive && capture) {
      capture = 0;
      if (CRenderWindow* window = RenderWindowOf(*hostView)) window->ReleaseCaptureSprite(hostView);
    }
    {
      auto guard = LockOverlay();
      lastPointer = strokeActive ? point : kNoPointer;
    }
    Redraw();
  } else {
    SetWindowCursor(CursorShape::Crosshair);
    if (lastPointer == kNoPointer) {
      capture = 1;
      if (CRenderWindow* window = RenderWindowOf(*hostView)) window->SetCaptureSprite(hostView);
    }
    r = m.ToDocument(previous);
    inside = InDocument(*document, r);
    {
      auto guard = LockOverlay();
      lastPointer = point;
    }
    Redraw();
  }
  if (!strokeActive || !inside) return 1;
  if (leftDown) {
    StrokeSegment(r, q);
  } else {
    {
      auto guard = LockOverlay();
      strokeActive = 0;
    }
    CommitStroke();
  }
  return 1;
}

// Brush -----------------------------------------------------------------------

void CPaintTool::ResizeBrush(std::int32_t direction) {
  CBFDoc* document = Document();
  const std::int32_t limit =
      std::min(document ? BrushLimit(document->m_width, document->m_height) : PaintBrush::kDialogLargest,
               PaintBrush::kDialogLargest);
  if (direction > 0)
    brush.size = std::min(limit, (brush.size * 4 + 2) / 3);
  else
    brush.size = brush.size * 2 / 3;
  brush.size = std::max(brush.size, 1);
  if (!RebuildBrush()) UIResources().WriteLog("Brush stamp not built");
  BuildCursorImage(false);
  Redraw();
}

void CPaintTool::EditBrush() {
  CBFDoc* document = Document();
  const std::int32_t limit = document ? BrushLimit(document->m_width, document->m_height) : 1;
  // The dialog works on a copy: the overlay may read the brush meanwhile.
  PaintBrush edited;
  edited.size = brush.size;
  edited.softness = brush.softness;
  edited.opacity = brush.opacity;
  if (!edited.EditWithDialog(limit, panel.PointToWindow(kDialogAnchor), 0)) return;
  {
    auto guard = LockOverlay();
    brush.size = edited.size;
    brush.softness = edited.softness;
    brush.opacity = edited.opacity;
  }
  if (!RebuildBrush()) UIResources().WriteLog("Brush stamp not built");
  BuildCursorImage(false);
  Redraw();
}

void CPaintTool::BuildCursorImage(bool locked) {
  std::unique_lock<std::recursive_mutex> guard;
  if (!locked) guard = LockOverlay();
  const double zoom = hostView ? hostView->view.zoom : 1.0;
  cursorZoom = zoom;
  const CPlane8& stamp = brush.stamp;
  CBgraImage picture;
  if (stamp.IsEmpty() || !picture.Create(stamp.width, stamp.height)) {
    cursorImage.Free();
    return;
  }
  for (std::uint32_t i = 0; i < stamp.byteSize; ++i) {
    std::uint8_t* p = picture.pixels + 4 * std::size_t{i};
    p[0] = p[1] = p[2] = 255;
    p[3] = stamp.pixels[i];
  }
  if (zoom == 1.0) {
    cursorImage = std::move(picture);
    return;
  }
  const auto side = static_cast<std::uint32_t>(std::max(1.0, std::trunc(stamp.width * zoom)));
  Rect whole;
  CBgraImage scaled;
  if (!picture.ResampleTo(scaled, side, side, 2, whole)) {
    cursorImage.Free();
    return;
  }
  cursorImage = std::move(scaled);
}

void CPaintTool::DrawOverlay(CBgraImage& overlay, std::uint32_t) {
  if (!hostView) return;
  if (hostView->view.zoom != cursorZoom) BuildCursorImage(true);
  if (cursorImage.IsEmpty() || lastPointer.x < 1) return;
  const std::int32_t strength = strokeActive ? 32 : 64;
  const auto w = static_cast<std::int32_t>(cursorImage.width),
             h = static_cast<std::int32_t>(cursorImage.height);
  const std::int32_t left = lastPointer.x - w / 2, top = lastPointer.y - h / 2;
  for (std::int32_t y = std::max(0, -top); y < h; ++y) {
    const std::int32_t oy = top + y;
    if (oy >= static_cast<std::int32_t>(overlay.height)) break;
    for (std::int32_t x = std::max(0, -left); x < w; ++x) {
      const std::int32_t ox = left + x;
      if (ox >= static_cast<std::int32_t>(overlay.width)) break;
      std::uint8_t* to = overlay.At(static_cast<std::uint32_t>(ox), static_cast<std::uint32_t>(oy));
      const std::uint8_t alpha =
          cursorImage.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3];
      to[0] = to[1] = to[2] = 255;
      to[3] = static_cast<std::uint8_t>(strength * alpha / 256);
    }
  }
}

// Strokes ---------------------------------------------------------------------

void CPaintTool::BeginStroke() {
  CBFLayer* layer = TargetLayer();
  if (!layer) {
    // The layer painted on is gone (an undo removed it): no tool.
    if (hostView) CSToolPage::SwitchTool(hostView->page, nullptr);
    return;
  }
  {
    std::lock_guard guard(layer->m_lock);
    if (!backup.CopyFrom(layer->m_image)) return;
  }
  if (strokePlane.IsEmpty()) return;
  std::memset(strokePlane.pixels, 0, strokePlane.byteSize);
  dabRect = {};
  strokeRect = {};
  auto guard = LockOverlay();
  strokeActive = 1;
}

Rect CPaintTool::ApplyArea() const {
  const std::int32_t grow = static_cast<std::int32_t>(brush.stamp.width) / 2;
  return {std::max(0, dabRect.left - grow), std::max(0, dabRect.top - grow),
          std::min(static_cast<std::int32_t>(strokePlane.width), dabRect.right + grow),
          std::min(static_cast<std::int32_t>(strokePlane.height), dabRect.bottom + grow)};
}

Rect CPaintTool::LayerStrokeRect(const CBFLayer& layer) const {
  Rect r{strokeRect.left - layer.m_x, strokeRect.top - layer.m_y, strokeRect.right - layer.m_x,
         strokeRect.bottom - layer.m_y};
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::max(std::min(r.right, static_cast<std::int32_t>(layer.m_image.width)), r.left);
  r.bottom = std::max(std::min(r.bottom, static_cast<std::int32_t>(layer.m_image.height)), r.top);
  return r;
}

void CPaintTool::StrokeSegment(Point a, Point b) {
  const CPlane8& stamp = brush.stamp;
  if (stamp.IsEmpty() || strokePlane.IsEmpty()) return;
  const auto side = static_cast<std::int32_t>(stamp.width);
  const std::int32_t opacity = brush.opacity;
  const auto planeW = static_cast<std::int32_t>(strokePlane.width);
  const auto planeH = static_cast<std::int32_t>(strokePlane.height);
  if (side < kLargeStamp) {
    const std::int32_t h = side / 2, c = side - h;
    dabRect = {std::max(0, std::min(a.x, b.x) - h), std::max(0, std::min(a.y, b.y) - h),
               std::min(planeW, std::max(a.x, b.x) + 1 + c), std::min(planeH, std::max(a.y, b.y) + 1 + c)};
    if (dabRect.IsEmpty()) {
      dabRect = {};
    } else {
      strokeRect = strokeRect.IsEmpty() ? dabRect : Union(strokeRect, dabRect);
    }
    // The radial profile: the stamp's middle row from its centre outward,
    // index = distance in pixels.
    std::array<double, kProfileLength + 1> profile{};
    const std::uint8_t* middle = stamp.Row(static_cast<std::uint32_t>(side / 2));
    for (std::int32_t i = 0; i < c; ++i) profile[static_cast<std::size_t>(i)] = middle[h + i];
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double d2 = dx * dx + dy * dy;
    const double d = std::sqrt(d2);
    for (std::int32_t y = dabRect.top; y < dabRect.bottom; ++y) {
      std::uint8_t* row = strokePlane.Row(static_cast<std::uint32_t>(y));
      for (std::int32_t x = dabRect.left; x < dabRect.right; ++x) {
        std::uint8_t& p = row[x];
        if (p == 255) continue;
        const double ax = x - a.x, ay = y - a.y, bx = x - b.x, by = y - b.y;
        const double da = ax * ax + ay * ay, db = bx * bx + by * by;
        const double v = d2 + da - db;
        double dist2 = 0;
        if (v > 0 && d2 + db - da > 0) {
          const double along = v / (2 * d);
          dist2 = std::max(0.0, da - along * along);
        } else if (v < 0) {
          dist2 = da;
        } else {
          dist2 = db;
        }
        const double w = std::sqrt(dist2);
        const auto k = std::max<std::int32_t>(0, static_cast<std::int32_t>(w));
        if (k > c) continue;
        const double f = w - k;
        const auto level = static_cast<std::int32_t>(profile[static_cast<std::size_t>(k)] * (1 - f) +
                                                     profile[static_cast<std::size_t>(k) + 1] * f + 0.5);
        const std::int32_t value = level * opacity / 100;
        if (value > p) p = static_cast<std::uint8_t>(value);
      }
    }
  } else {
    if (dabRect.IsEmpty())
      dabRect = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
    largeBrush = 1;
    const std::int32_t n = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
    for (std::int32_t i = 0; i <= n; ++i) {
      const Point centre = n == 0 ? a : Point{a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n};
      if (centre.x < 0 || centre.y < 0 || centre.x >= planeW || centre.y >= planeH) continue;
      const std::int32_t left = centre.x - side / 2, top = centre.y - side / 2;
      for (std::int32_t sy = std::max(0, -top); sy < side && top + sy < planeH; ++sy) {
        const std::uint8_t* stampRow = stamp.Row(static_cast<std::uint32_t>(sy));
        std::uint8_t* row = strokePlane.Row(static_cast<std::uint32_t>(top + sy));
        for (std::int32_t sx = std::max(0, -left); sx < side && left + sx < planeW; ++sx) {
          std::uint8_t& p = row[left + sx];
          if (p == 255) continue;
          const std::int32_t u = stampRow[sx] * opacity / 100;
          if (p < u) {
            p = static_cast<std::uint8_t>(u);
            dabRect = Union(dabRect, {left + sx, top + sy, left + sx + 1, top + sy + 1});
          }
        }
      }
    }
  }
  ApplyStroke();
}
