#include "editor/ShapeChangeTool.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "algorithms/AlgorithmThread.h"
#include "document/BFDoc.h"
#include "editor/SEditPage.h"
#include "editor/SEditView.h"
#include "platform/WindowHost.h"
#include "ui/AlgorithmSpriteSink.h"
#include "ui/RenderWindow.h"
#include "ui/SpriteWindow.h"
#include "ui/UIResources.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

constexpr std::int32_t kPanelLayer = 5;
constexpr std::int32_t kItemKindButton = 1;
constexpr std::int32_t kHoverAlpha = 64;
constexpr std::int32_t kDragAlpha = 32;
// Commands of warp jobs cycle below the progress range's completion base.
constexpr std::int32_t kLastCommand = 999;

// Reads pixels of a picture the size of a layer at (x, y) on the document.
bool Inside(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
  return x >= 0 && y >= 0 && x < w && y < h;
}

}  // namespace

CShapeChangeTool::~CShapeChangeTool() {
  // The program's last tool use has ended long before; a job still running
  // here would write into freed pictures.
  if (m_running) SettleWarp(true, false);
}

std::int32_t CShapeChangeTool::StartSize(std::int32_t w, std::int32_t h) {
  return std::max(std::min(w, h) / 3, std::max(w, h) / 10);
}

std::int32_t CShapeChangeTool::GrownSize(std::int32_t size, std::int32_t w, std::int32_t h) {
  const std::int32_t limit = std::max(std::min(w, h) / 2, std::max(w, h) / 5);
  return std::min({limit, kKeyLimit, (size * 4 + 2) / 3});
}

std::int32_t CShapeChangeTool::ShrunkSize(std::int32_t size) { return std::max(1, size * 2 / 3); }

CBFDoc* CShapeChangeTool::Document() const { return hostView ? hostView->document : nullptr; }

std::int32_t CShapeChangeTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!CTool::Init(id, picture, text)) return 0;
  if (!m_panel.Create(nullptr, LiveSpriteWindow(), id + kOptionPanelIdBase, {0, 0, kPanelWidth, 40},
                      kPanelLayer))
    return 0;
  if (!m_icons.LoadStrip(UIResources().skins.SkinFilePath(u"undoreset.png"), 24) || m_icons.Count() < 2)
    return 0;
  if (!m_brush.BuildPreview(kPreviewSize)) return 0;
  if (!m_panel.AddItem(kItemBrush, {0, 5, 120, 35}, kItemKindButton, Text(u"setbrushshort"),
                       Text(u"setbrush"), &m_brush.preview) ||
      !m_panel.AddItem(kItemUndoRedo, {120, 5, 155, 35}, kItemKindButton, {}, Text(u"undoredo"),
                       m_icons.At(0)) ||
      !m_panel.AddItem(kItemReset, {155, 5, 185, 35}, kItemKindButton, {}, Text(u"resetorg"), m_icons.At(1)))
    return 0;
  optionPanel = &m_panel;
  return 1;
}

// Brush, grid and cursor ------------------------------------------------------

bool CShapeChangeTool::ResetBrush() {
  const CBFDoc* document = Document();
  if (!document) return false;
  m_brush.softness = 50;
  m_brush.opacity = 100;
  m_brush.size = std::max(1, StartSize(static_cast<std::int32_t>(document->m_width),
                                       static_cast<std::int32_t>(document->m_height)));
  return RebuildBrush();
}

bool CShapeChangeTool::RebuildBrush() {
  if (!m_brush.BuildStamp() || !m_brush.BuildPreview(kPreviewSize)) return false;
  m_halfSize = m_brush.size / 2;
  m_panel.SetItemImage(kItemBrush, &m_brush.preview);
  const double zoom = hostView ? hostView->Zoom() : 1.0;
  auto guard = LockOverlay();
  BuildCursorPicture(zoom);
  return true;
}

bool CShapeChangeTool::RebuildGrid() {
  m_cell = std::max(m_brush.size / 4, 4);
  const auto w = static_cast<std::int64_t>(m_work.width);
  const auto h = static_cast<std::int64_t>(m_work.height);
  m_columns = static_cast<std::int32_t>((w + m_cell - 1) / m_cell + 1);
  m_rows = static_cast<std::int32_t>((h + m_cell - 1) / m_cell + 1);
  try {
    m_grid.assign(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), MeshNode{});
  } catch (const std::bad_alloc&) {
    m_grid.clear();
    return false;
  }
  return true;
}

void CShapeChangeTool::BuildCursorPicture(double zoom) {
  m_cursorZoom = zoom;
  const CPlane8& stamp = m_brush.stamp;
  if (stamp.IsEmpty()) {
    m_cursor.Free();
    return;
  }
  CPlane8 scaled;
  const CPlane8* shape = &stamp;
  if (zoom != 1.0) {
    const auto side = static_cast<std::uint32_t>(std::max(1, static_cast<std::int32_t>(stamp.width * zoom)));
    if (!stamp.ResizeTo(scaled, side, side)) {
      m_cursor.Free();
      return;
    }
    shape = &scaled;
  }
  if (!m_cursor.Create(shape->width, shape->height)) return;
  for (std::uint32_t y = 0; y < shape->height; ++y) {
    for (std::uint32_t x = 0; x < shape->width; ++x) {
      std::uint8_t* p = m_cursor.At(x, y);
      p[0] = p[1] = p[2] = 255;
      p[3] = shape->At(x, y)[0];
    }
  }
}

void CShapeChangeTool::DrawOverlay(CBgraImage& target, std::uint32_t) {
  if (!hostView) return;
  const double zoom = hostView->view.zoom;  // the canvas lock is held
  if (zoom != m_cursorZoom) BuildCursorPicture(zoom);
  if (m_cursor.IsEmpty() || m_last.x < 1) return;
  const std::int32_t strength = m_dragging ? kDragAlpha : kHoverAlpha;
  const auto cw = static_cast<std::int32_t>(m_cursor.width);
  const auto ch = static_cast<std::int32_t>(m_cursor.height);
  const std::int32_t left = m_last.x - cw / 2;
  const std::int32_t top = m_last.y - ch / 2;
  for (std::int32_t y = std::max(0, -top); y < ch; ++y) {
    const std::int32_t ty = top + y;
    if (ty >= static_cast<std::int32_t>(target.height)) break;
    for (std::int32_t x = std::max(0, -left); x < cw; ++x) {
      const std::int32_t tx = left + x;
      if (tx >= static_cast<std::int32_t>(target.width)) break;
      const std::uint8_t alpha = m_cursor.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3];
      if (alpha == 0) continue;
      std::uint8_t* p = target.At(static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty));
      p[0] = p[1] = p[2] = 255;
      p[3] = static_cast<std::uint8_t>(alpha * strength / 256);
    }
  }
}

// Activation ------------------------------------------------------------------

bool CShapeChangeTool::BindTarget() {
  CBFDoc* document = Document();
  if (!document) return false;
  CBFLayer* current = document->GetCurrentLayer();
  m_floating = current && current->m_floating;
  m_layer = m_floating ? current : document->GetLayer(0);
  if (!m_layer) return false;
  m_backup.Free();
  std::lock_guard guard(m_layer->m_lock);
  if (!m_floating) return m_work.CopyFrom(m_layer->m_image) != 0;
  // The floating layer spread over the document, transparent elsewhere.
  if (!m_work.Create(document->m_width, document->m_height)) return false;
  std::fill(m_work.Samples().begin(), m_work.Samples().end(), std::uint16_t{0});
  const CBgraImage16& image = m_layer->m_image;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::int64_t dy = std::int64_t{m_layer->m_y} + y;
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::int64_t dx = std::int64_t{m_layer->m_x} + x;
      if (!Inside(dx, dy, m_work.width, m_work.height)) continue;
      std::copy_n(image.At(x, y), 4,
                  m_work.At(static_cast<std::uint32_t>(dx), static_cast<std::uint32_t>(dy)));
    }
  }
  return true;
}

std::int32_t CShapeChangeTool::Activate() {
  if (!Document() || !ResetBrush()) return 0;
  if (!BindTarget()) {
    m_work.Free();
    return 0;
  }
  {
    auto guard = LockOverlay();
    m_last = {-1, -1};
    m_dragging = 0;
  }
  m_changed = false;
  m_pending = false;
  if (!RebuildGrid()) {
    // No grid, no warp: refusing leaves the page without a tool.
    m_work.Free();
    return 0;
  }
  return 1;
}

void CShapeChangeTool::Deactivate() {
  SettleWarp(true, true);
  m_grid.clear();
  m_grid.shrink_to_fit();
  {
    auto guard = LockOverlay();
    m_cursor.Free();
    m_last = {-1, -1};
    m_dragging = 0;
  }
  m_backup.Free();
  m_work.Free();
  if (m_changed && hostView) {
    CSEditPage& page = hostView->page;
    if (!page.history.AddStep(kStepLayer, page.document.m_currentLayer, Text(u"hisShape"), StepBlock::None, 0,
                              {}))
      UIResources().WriteLog("Warp step not recorded");
  }
  m_changed = false;
  m_layer = nullptr;
}

// Input -----------------------------------------------------------------------

std::int32_t CShapeChangeTool::OnButtonDown(std::int32_t, CanvasPoint, std::uint32_t) {
  if (m_work.IsEmpty()) return 1;
  // The work image must be complete and no job may read the backup.
  SettleWarp(false, true);
  {
    auto guard = LockOverlay();
    m_dragging = 1;
  }
  if (!m_backup.CopyFrom(m_work)) m_backup.Free();
  std::fill(m_grid.begin(), m_grid.end(), MeshNode{});
  return 1;
}

std::int32_t CShapeChangeTool::OnButtonUp(std::int32_t, CanvasPoint, std::uint32_t) {
  auto guard = LockOverlay();
  m_dragging = 0;
  return 1;
}

void CShapeChangeTool::OnCaptureLost() {
  auto guard = LockOverlay();
  m_dragging = 0;
  m_last = {-1, -1};
}

std::int32_t CShapeChangeTool::OnMouseMove(std::int32_t, CanvasPoint previous, CanvasPoint point) {
  if (!hostView || !Document()) return 0;
  CSEditView& view = *hostView;
  const CanvasMapping m = view.Mapping();
  const Point d = m.ToDocument(point);
  const CBFDoc& document = *Document();
  const Point onCanvas{point.x + m.content.left, point.y + m.content.top};
  const bool off = d.x < 0 || d.y < 0 || d.x >= static_cast<std::int32_t>(document.m_width) ||
                   d.y >= static_cast<std::int32_t>(document.m_height) || point.y < 0 ||
                   point.y >= m.content.Height() || view.HitTestChild(onCanvas) != nullptr;
  CRenderWindow* window = RenderWindowOf(view);
  if (off) {
    SetWindowCursor(CursorShape::Arrow);
    {
      auto guard = LockOverlay();
      m_last = {-1, -1};
    }
    if (capture) {
      capture = 0;
      if (window) window->ReleaseCaptureSprite(&view);
    }
  } else {
    SetWindowCursor(CursorShape::Crosshair);
    bool take = false;
    {
      auto guard = LockOverlay();
      take = m_last.x == -1 && m_last.y == -1;
      m_last = point;
    }
    if (take) {
      capture = 1;
      if (window) window->SetCaptureSprite(&view);
    }
  }
  view.overlay.dirty = 1;
  if (m_dragging) Push(previous, point);
  return 1;
}

void CShapeChangeTool::Push(CanvasPoint from, CanvasPoint to) {
  if (from == to || m_grid.empty() || m_brush.stamp.IsEmpty() || !hostView) return;
  const CanvasMapping m = hostView->Mapping();
  const double zoom = m_cursorZoom > 0 ? m_cursorZoom : 1.0;
  const double ax = from.x, ay = from.y;
  const double bx = to.x, by = to.y;
  const double length = std::hypot(bx - ax, by - ay);
  const CPlane8& stamp = m_brush.stamp;
  const auto sw = static_cast<std::int64_t>(stamp.width);
  const auto sh = static_cast<std::int64_t>(stamp.height);
  for (double g = 0; g < length; g += 1.0) {
    const CanvasPoint at{static_cast<std::int32_t>(std::floor(ax + (bx - ax) * g / length + 0.5)),
                         static_cast<std::int32_t>(std::floor(ay + (by - ay) * g / length + 0.5))};
    const Point centre = m.ToDocument(at);
    const double u = std::min(length, g + 1) - g;
    const double mx = u * (bx - ax) / length / zoom;
    const double my = u * (by - ay) / length / zoom;
    // Nodes whose stamp column j c + sw / 2 - cx lies in [0, sw), likewise rows.
    const std::int64_t offX = sw / 2 - centre.x;
    const std::int64_t offY = sh / 2 - centre.y;
    const std::int64_t j0 = std::max<std::int64_t>(0, (-offX + m_cell - 1) / m_cell);
    const std::int64_t j1 = std::min<std::int64_t>(m_columns - 1, (sw - 1 - offX) / m_cell);
    const std::int64_t i0 = std::max<std::int64_t>(0, (-offY + m_cell - 1) / m_cell);
    const std::int64_t i1 = std::min<std::int64_t>(m_rows - 1, (sh - 1 - offY) / m_cell);
    for (std::int64_t i = i0; i <= i1; ++i) {
      const std::int64_t row = i * m_cell + offY;
      if (row < 0 || row >= sh) continue;
      for (std::int64_t j = j0; j <= j1; ++j) {
        const std::int64_t column = j * m_cell + offX;
        if (column < 0 || column >= sw) continue;
        const std::int32_t v =
            stamp.At(static_cast<std::uint32_t>(column), static_cast<std::uint32_t>(row))[0];
        if (v <= 1) continue;
        MeshNode& node = m_grid[static_cast<std::size_t>(i * m_columns + j)];
        node.dx -= (v >> 1) * mx / 256;
        node.dy -= (v >> 1) * my / 256;
      }
    }
  }
  RunWarp();
}

std::int32_t CShapeChangeTool::OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t) {
  if (isVirtual || !Document()) return 0;
  const auto w = static_cast<std::int32_t>(Document()->m_width);
  const auto h = static_cast<std::int32_t>(Document()->m_height);
  switch (key) {
    case '+':
    case '=':
    case 'A':
    case 'a':
      m_brush.size = GrownSize(m_brush.size, w, h);
      break;
    case '-':
    case 'Z':
    case 'z':
      m_brush.size = ShrunkSize(m_brush.size);
      break;
    default:
      return 0;
  }
  // The grid keeps its cell size.
  if (!RebuildBrush()) UIResources().WriteLog("Warp brush not rebuilt");
  if (hostView) hostView->overlay.dirty = 1;
  return 1;
}

// The warp job ----------------------------------------------------------------

void CShapeChangeTool::RunWarp() {
  if (m_backup.IsEmpty() || m_work.IsEmpty()) return;
  if (m_running) {
    m_pending = true;
    return;
  }
  if (!StartJob()) WarpNow();
}

bool CShapeChangeTool::StartJob() {
  if (!hostView || !m_mesh.SetMesh(m_grid, m_cell, m_columns, m_rows)) return false;
  m_command = m_command >= kLastCommand ? 1 : m_command + 1;
  if (!theAlgorithmThread.StartAlgorithmAsync(&m_mesh, &m_backup, &m_work, nullptr, m_command,
                                              AlgorithmListenerFor(*hostView)))
    return false;
  m_running = true;
  return true;
}

void CShapeChangeTool::WarpNow() {
  if (!m_mesh.SetMesh(m_grid, m_cell, m_columns, m_rows)) return;
  m_mesh.m_source = &m_backup;
  m_mesh.m_target = &m_work;
  m_mesh.m_params = nullptr;
  if (!m_mesh.Process()) return;
  m_changed = true;
  WriteBack();
  MarkModified();
}

void CShapeChangeTool::SettleWarp(bool cancel, bool runPending) {
  if (m_running) {
    if (cancel) theAlgorithmThread.Cancel();
    theAlgorithmThread.WaitWhileBusy();
    m_running = false;
    if (cancel) {
      // A cancelled job leaves the work image partly warped: the warp of the
      // whole grid is done here when it is still wanted.
      m_pending = true;
    } else {
      m_changed = true;
      WriteBack();
      MarkModified();
    }
  }
  const bool pending = m_pending;
  m_pending = false;
  if (pending && runPending && !m_backup.IsEmpty() && !m_work.IsEmpty()) WarpNow();
}

void CShapeChangeTool::WriteBack() {
  if (!m_layer || m_work.IsEmpty()) return;
  std::lock_guard guard(m_layer->m_lock);
  if (!m_floating) {
    if (!m_layer->m_image.CopyFrom(m_work)) UIResources().WriteLog("Warp result not copied");
    return;
  }
  // The union of the layer's rectangle and the work image's opaque part;
  // the layer's pixels off the document stay as they were.
  std::int64_t left = m_work.width, top = m_work.height, right = -1, bottom = -1;
  for (std::uint32_t y = 0; y < m_work.height; ++y) {
    for (std::uint32_t x = 0; x < m_work.width; ++x) {
      if (m_work.At(x, y)[3] == 0) continue;
      left = std::min<std::int64_t>(left, x);
      right = std::max<std::int64_t>(right, x);
      top = std::min<std::int64_t>(top, y);
      bottom = std::max<std::int64_t>(bottom, y);
    }
  }
  const CBgraImage16& old = m_layer->m_image;
  std::int64_t x0 = m_layer->m_x, y0 = m_layer->m_y;
  std::int64_t x1 = x0 + old.width, y1 = y0 + old.height;
  if (right >= 0) {
    x0 = std::min(x0, left);
    y0 = std::min(y0, top);
    x1 = std::max(x1, right + 1);
    y1 = std::max(y1, bottom + 1);
  }
  CBgraImage16 merged;
  if (x1 <= x0 || y1 <= y0 ||
      !merged.Create(static_cast<std::uint32_t>(x1 - x0), static_cast<std::uint32_t>(y1 - y0))) {
    UIResources().WriteLog("Warp result not copied");
    return;
  }
  for (std::uint32_t y = 0; y < merged.height; ++y) {
    const std::int64_t dy = y0 + y;
    for (std::uint32_t x = 0; x < merged.width; ++x) {
      const std::int64_t dx = x0 + x;
      std::uint16_t* out = merged.At(x, y);
      if (Inside(dx, dy, m_work.width, m_work.height)) {
        std::copy_n(m_work.At(static_cast<std::uint32_t>(dx), static_cast<std::uint32_t>(dy)), 4, out);
      } else if (Inside(dx - m_layer->m_x, dy - m_layer->m_y, old.width, old.height)) {
        std::copy_n(old.At(static_cast<std::uint32_t>(dx - m_layer->m_x),
                           static_cast<std::uint32_t>(dy - m_layer->m_y)),
                    4, out);
      } else {
        std::fill_n(out, 4, std::uint16_t{0});
      }
    }
  }
  m_layer->m_image = std::move(merged);
  m_layer->m_x = static_cast<std::int32_t>(x0);
  m_layer->m_y = static_cast<std::int32_t>(y0);
}

void CShapeChangeTool::MarkModified() {
  if (CBFDoc* document = Document()) document->m_modified = 1;
}

void CShapeChangeTool::OnMessage(const SpriteMessage& message) {
  if (message.code == WM_ALGORITHM) {
    // Progress and the completions of jobs settled earlier are not ours.
    if (!m_running || message.wparam != kAlgorithmCompletionBase + static_cast<std::uint64_t>(m_command))
      return;
    m_running = false;
    const bool finished = static_cast<std::int32_t>(message.lparam) != 0;
    if (finished) {
      m_changed = true;
      WriteBack();
      MarkModified();
    }
    if (m_pending) {
      m_pending = false;
      RunWarp();
    }
    return;
  }
  if (message.code != kPanelMsgItemClicked || !hostView) return;
  switch (static_cast<std::int32_t>(message.wparam)) {
    case kItemBrush: {
      SettleWarp(false, true);
      const CBFDoc* document = Document();
      if (!document) return;
      const auto w = static_cast<std::int32_t>(document->m_width);
      const auto h = static_cast<std::int32_t>(document->m_height);
      const PanelItem* item = m_panel.FindItem(kItemBrush);
      const Point anchor = item ? m_panel.PointToWindow({item->rect.left, item->rect.bottom}) : Point{-1, 0};
      if (!m_brush.EditWithDialog(std::max(std::min(w, h) / 2, std::max(w, h) / 5), anchor, 0)) return;
      if (!RebuildBrush() || !RebuildGrid()) UIResources().WriteLog("Warp brush not rebuilt");
      hostView->overlay.dirty = 1;
      break;
    }
    case kItemUndoRedo:
      SettleWarp(false, true);
      if (m_backup.IsEmpty()) return;
      m_backup.Swap(m_work);
      WriteBack();
      MarkModified();
      break;
    case kItemReset: {
      SettleWarp(true, false);
      CSEditPage& page = hostView->page;
      if (!page.history.GoToStep(page.history.CurrentStep(), false)) return;
      // The layers were rebuilt: the tool works on the current layer again,
      // which shows no warp any more.
      if (!BindTarget()) m_work.Free();
      std::fill(m_grid.begin(), m_grid.end(), MeshNode{});
      m_changed = false;
      break;
    }
    default:
      break;
  }
}
