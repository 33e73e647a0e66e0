#include "editor/SEditView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "document/BFDoc.h"
#include "editor/DisplayPicture.h"
#include "editor/EditorShell.h"
#include "editor/SEditPage.h"
#include "editor/SelectionOutline.h"
#include "editor/Tool.h"
#include "editor/ToolSet.h"
#include "platform/Clock.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

std::int32_t Truncate(double value) {
  return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

}  // namespace

CSEditView::CSEditView(CSEditPage& ownerPage) : page(ownerPage) {}

CSEditView::~CSEditView() = default;

void CSEditView::HideSprite(CSprite& sprite) {
  if (!sprite.visible) return;
  sprite.visible = 0;
  if (sprite.tileColumns > 0) sprite.InvalidateArea({}, 1);
  sprite.FreeSurfaces();
}

// Creation and layout ------------------------------------------------------------

bool CSEditView::OnSpriteCreate() {
  if (!toolbar.Create(this, renderWindow, kToolbarId, {0, 0, 100, 30}, kToolbarLayer)) return false;
  if (!selectionPanel.Create(this, renderWindow, kSelectionPanelId, {0, 0, 40, 40}, kSelectionPanelLayer))
    return false;
  selectionPanel.visible = 0;
  selectionPanel.FreeSurfaces();
  if (!CreateToolbars()) return false;
  AppendChild(&toolbar);
  AppendChild(&selectionPanel);
  if (!zoomMenu.Create(nullptr, renderWindow, kZoomMenuId, {0, 0, 100, 100}, kMenuLayer) ||
      !selectionMenu.Create(nullptr, renderWindow, kSelectionMenuId, {0, 0, 100, 100}, kMenuLayer) ||
      !selectionSubMenu.Create(nullptr, renderWindow, kSelectionSubMenuId, {0, 0, 100, 100}, kSubMenuLayer)) {
    return false;
  }
  if (!verticalBar.Create(this, renderWindow, kVerticalBarId, {0, 0, kScrollBarSize, 100}, kScrollBarLayer))
    return false;
  verticalBar.visible = 0;
  AppendChild(&verticalBar);
  if (!horizontalBar.Create(this, renderWindow, kHorizontalBarId, {0, 0, 100, kScrollBarSize},
                            kScrollBarLayer)) {
    return false;
  }
  horizontalBar.visible = 0;
  AppendChild(&horizontalBar);
  if (!overlay.Create(this, renderWindow, kOverlayId, {0, 0, 100, 100}, kOverlayLayer)) return false;
  overlay.xorBlend = 1;
  overlay.visible = 0;
  AppendChild(&overlay);
  if (!cursor.Create(this, renderWindow, kCursorId, {0, 0, 32, 32}, kCursorLayer)) return false;
  cursor.visible = 0;
  AppendChild(&cursor);
  return true;
}

void CSEditView::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  Point origin;
  {
    std::lock_guard guard(lock);
    rect = {x, y, x + w, y + h};
    dirty = 1;
    view.content = {0, kToolbarHeight, w - kContentMargin, h - kContentMargin};
    origin = {view.source.left, view.source.top};
  }
  toolbar.SetSpriteRect(0, 0, w, kToolbarHeight);
  {
    std::lock_guard guard(toolbar.lock);
    if (PanelItem* item = toolbar.FindItem(kItemZoomText)) item->rect = {w - 79, 1, w - 1, 39};
    if (PanelItem* item = toolbar.FindItem(kItemHistogram)) item->rect = {w - 210, 1, w - 80, 39};
  }
  toolbar.dirty = 1;
  (void)SetOrigin(origin.x, origin.y);  // 0 only without an image, which shows nothing
  overlay.SetSpriteRect(0, kToolbarHeight, w - kContentMargin, h - kToolbarHeight - kContentMargin);
  horizontalBar.SetSpriteRect(0, h - kScrollBarSize, w - kScrollBarSize, kScrollBarSize);
  verticalBar.SetSpriteRect(w - kScrollBarSize, kToolbarHeight, kScrollBarSize,
                            h - kToolbarHeight - kScrollBarSize);
}

void CSEditView::Destroy(int final) {
  if (optionPanel) {
    (void)RemoveChild(optionPanel);  // the tool owns it; it must outlive this canvas
    optionPanel = nullptr;
  }
  if (currentTool && currentTool->hostView == this) currentTool->hostView = nullptr;
  {
    std::lock_guard guard(lock);
    display.Free();
    outline.Free();
  }
  zoomMenu.Destroy(final);
  selectionMenu.Destroy(final);
  selectionSubMenu.Destroy(final);
  CMessageSprite::Destroy(final);
}

// The view -------------------------------------------------------------------

bool CSEditView::UpdateImageSize() {
  imageWidth = 0;
  imageHeight = 0;
  if (!document) return false;
  std::lock_guard guard(document->m_lock);
  const CBFLayer* base = document->GetLayer(0);
  if (!base) return false;
  std::lock_guard layerGuard(base->m_lock);
  if (base->m_image.IsEmpty()) return false;
  imageWidth = static_cast<std::int32_t>(base->m_image.width);
  imageHeight = static_cast<std::int32_t>(base->m_image.height);
  return true;
}

CanvasMapping CSEditView::Mapping() const {
  std::lock_guard guard(lock);
  return view;
}

double CSEditView::Zoom() const {
  std::lock_guard guard(lock);
  return view.zoom;
}

Point CSEditView::ViewToImage(Point point, bool clamp) const { return Mapping().ViewToImage(point, clamp); }

bool CSEditView::CopyDisplayPicture(CBgraImage& picture) const {
  std::lock_guard guard(lock);
  if (display.IsEmpty()) return false;
  return picture.CopyFrom(display) != 0;
}

std::int32_t CSEditView::SetOrigin(std::int32_t x, std::int32_t y) {
  if (!UpdateImageSize()) return 0;
  x = std::max(x, 0);
  y = std::max(y, 0);
  double zoom = 1.0;
  {
    std::lock_guard guard(lock);
    zoom = view.zoom;
    Rect& s = view.source;
    s = {x, y, x + Truncate(view.content.Width() / zoom), y + Truncate(view.content.Height() / zoom)};
    if (s.right > imageWidth) {
      s.left = std::max(x - (s.right - imageWidth), 0);
      s.right = imageWidth;
    }
    if (s.bottom > imageHeight) {
      s.top = std::max(y - (s.bottom - imageHeight), 0);
      s.bottom = imageHeight;
    }
  }
  char label[16];
  std::snprintf(label, sizeof label, "%d%%", Truncate(zoom * 100 + 0.5));
  const std::u16string text(label, label + std::char_traits<char>::length(label));
  CBgraImage picture;
  if (UIResources().skins.RenderTextLocked(text, picture)) {
    std::lock_guard guard(toolbar.lock);
    if (PanelItem* item = toolbar.FindItem(kItemZoomText)) {
      item->text = text;
      item->textImage = std::move(picture);
    }
  }
  toolbar.dirty = 1;
  RebuildDisplay();
  UpdateScrollBars();
  PlaceSelectionPanel();
  return 1;
}

void CSEditView::FitToView() {
  if (!UpdateImageSize()) return;
  {
    std::lock_guard guard(lock);
    const std::int64_t cw = view.content.Width() - 10;
    const std::int64_t ch = view.content.Height() - 10;
    // A content area this small has no zoom that fits; the view keeps its own.
    if (cw > 0 && ch > 0) {
      double zoom = imageHeight * cw >= imageWidth * ch ? static_cast<double>(ch) / imageHeight
                                                        : static_cast<double>(cw) / imageWidth;
      view.zoom = std::min(zoom, 1.0);
    }
  }
  (void)SetOrigin(0, 0);  // the image exists: it cannot fail
}

void CSEditView::ZoomStep(bool zoomIn, Point anchor) {
  double zoom = Zoom();
  const double before = zoom;
  if (zoomIn) {
    if (zoom < kZoomSteps.front()) {
      zoom = kZoomSteps.front();
    } else {
      const auto next = std::upper_bound(kZoomSteps.begin(), kZoomSteps.end(), zoom);
      if (next != kZoomSteps.end()) zoom = *next;
    }
  } else {
    if (zoom > kZoomSteps.back()) {
      zoom = kZoomSteps.back();
    } else {
      const auto next = std::lower_bound(kZoomSteps.begin(), kZoomSteps.end(), zoom);
      if (next != kZoomSteps.begin()) zoom = *(next - 1);
    }
  }
  if (zoom == before) return;
  Rect content;
  {
    std::lock_guard guard(lock);
    view.zoom = zoom;
    content = view.content;
  }
  (void)SetOrigin(anchor.x - Truncate(content.Width() / (2 * zoom)),
                  anchor.y - Truncate(content.Height() / (2 * zoom)));  // 0 only without an image
}

void CSEditView::SetZoom(double zoom) {
  CanvasMapping before = Mapping();
  if (zoom == before.zoom || !(zoom > 0)) return;
  const std::int32_t cx = (before.image.left + before.image.right) / 2;
  const std::int32_t cy = (before.image.top + before.image.bottom) / 2;
  {
    std::lock_guard guard(lock);
    view.zoom = zoom;
  }
  (void)SetOrigin(cx - Truncate(Truncate((cx - before.source.left) * before.zoom) / zoom),
                  cy - Truncate(Truncate((cy - before.source.top) * before.zoom) / zoom));  // see ZoomStep
}

void CSEditView::RebuildDisplay() {
  if (!UpdateImageSize()) {
    FreeDisplay();
    return;
  }
  const std::uint32_t documentWidth = document->m_width;
  const std::uint32_t documentHeight = document->m_height;
  if (lastDocumentWidth != 0 &&
      (lastDocumentWidth != documentWidth || lastDocumentHeight != documentHeight)) {
    lastDocumentWidth = documentWidth;
    lastDocumentHeight = documentHeight;
    (void)SetOrigin(0, 0);  // rebuilds with the new size; the image exists
    return;
  }
  lastDocumentWidth = documentWidth;
  lastDocumentHeight = documentHeight;

  // The UI thread is the only writer of the mapping: it reads it unlocked.
  std::int32_t dw = view.source.Width();
  std::int32_t dh = view.source.Height();
  if (dw <= 0 || dh <= 0) return;
  if (std::fabs(view.zoom - 1.0) > 1e-10) {
    dw = std::max(Truncate(dw * view.zoom + 0.5), 1);
    dh = std::max(Truncate(dh * view.zoom + 0.5), 1);
  }
  if (!ComposeDisplayPicture(*document, view.source, view.zoom, static_cast<std::uint32_t>(dw),
                             static_cast<std::uint32_t>(dh), m_work, m_spare)) {
    return;
  }
  {
    // The picture and its place change together: the image rectangle always
    // has the display picture's size.
    std::lock_guard guard(lock);
    const Rect& c = view.content;
    view.image.left = c.left + (c.Width() - dw) / 2;
    view.image.top = c.top + (c.Height() - dh) / 2;
    view.image.right = view.image.left + dw;
    view.image.bottom = view.image.top + dh;
    display.Swap(m_spare);
  }
  BuildSelectionOutline();
  DrawHistogram();
  dirty = 1;
  PlaceSelectionPanel();
  overlay.dirty = 1;
}

void CSEditView::FreeDisplay() {
  {
    std::lock_guard guard(lock);
    display.Free();
  }
  m_spare.Free();
  m_work.Free();
}

void CSEditView::BuildSelectionOutline() {
  CPlane8 built;
  std::uint32_t largest = 0;
  bool selected = false;
  {
    std::lock_guard guard(document->m_lock);
    selected = !document->m_selection.IsEmpty();
    if (selected) {
      largest = ::BuildSelectionOutline(document->m_selection, view.source, view.zoom,
                                        static_cast<std::uint32_t>(view.image.Width()),
                                        static_cast<std::uint32_t>(view.image.Height()), built);
    }
  }
  std::lock_guard guard(lock);
  showOutline = selected ? 1 : 0;
  if (!selected) return;
  outline = std::move(built);
  outlineAlpha = largest;
}

void CSEditView::PostDocumentChanged() {
  if (m_rebuildPosted.exchange(1) == 0 &&
      !PostSpriteMessage(this, kEditViewMsgDocumentChanged, 0, 0, nullptr))
    m_rebuildPosted = 0;
}

void CSEditView::DrawPicture(bool withOutline) {
  DrawDisplayPicture(surface, display, view.image.left, view.image.top);
  if (withOutline && showOutline) DrawSelectionOutline(surface, outline, outlineAlpha, view.image);
}

bool CSEditView::Draw(std::uint32_t now) {
  if (display.IsEmpty()) {
    PostDocumentChanged();
    return false;
  }
  if (document && document->m_modified.exchange(0) != 0) PostDocumentChanged();
  const std::uint32_t second = now / 1000;
  const bool newSecond = second != lastSecond;
  lastSecond = second;
  if (surface.IsEmpty()) return false;
  if (dirty) {
    const std::int32_t w = static_cast<std::int32_t>(surface.width);
    const std::int32_t h = static_cast<std::int32_t>(surface.height);
    FillRect(surface, {0, 0, w, h}, UIResources().theme.colors[5]);
    DrawPicture(true);
    InvalidateArea({}, 1);
    return true;
  }
  if (newSecond && showOutline) {
    DrawPicture(true);
    InvalidateArea(view.image, 1);
    return true;
  }
  return false;
}

void CSEditView::UpdateScrollBars() {
  const Rect source = Mapping().source;
  if (source.Width() < imageWidth) {
    horizontalBar.minimum = 0;
    horizontalBar.maximum = imageWidth;
    horizontalBar.page = source.Width();
    horizontalBar.position = source.left;
    horizontalBar.visible = 1;
    horizontalBar.dirty = 1;
  } else {
    HideSprite(horizontalBar);
  }
  if (source.Height() < imageHeight) {
    verticalBar.minimum = 0;
    verticalBar.maximum = imageHeight;
    verticalBar.page = source.Height();
    verticalBar.position = source.top;
    verticalBar.visible = 1;
    verticalBar.dirty = 1;
  } else {
    HideSprite(verticalBar);
  }
}

void CSEditView::SetTool(CTool* tool) {
  if (tool) {
    // The overlay may draw the tool from the next frame on: its view first.
    std::lock_guard guard(lock);
    tool->hostView = this;
  }
  currentTool = tool;
  hasTool = tool ? 1 : 0;
  overlay.SetContent(nullptr, tool);
  if (optionPanel) {
    CSprite* panel = optionPanel;
    optionPanel = nullptr;
    if (panel->tileColumns > 0) panel->InvalidateArea({}, 1);
    (void)RemoveChild(panel);  // it was appended by this function
    toolbar.dirty = 1;
  }
  if (tool) {
    overlay.visible = 1;
    overlay.dirty = 1;
    cursor.visible = 1;
    cursor.dirty = 1;
    if (page.shell.Tools().Contains(tool) && tool->optionPanel) {
      CSprite* panel = tool->optionPanel;
      AppendChild(panel);
      optionPanel = panel;
      panel->SetSpriteRect(kOptionPanelRect.left, kOptionPanelRect.top, kOptionPanelRect.Width(),
                           kOptionPanelRect.Height());
      panel->visible = 1;
      panel->dirty = 1;
    }
  } else {
    HideSprite(overlay);
    HideSprite(cursor);
  }
  UpdateScrollBars();
  dirty = 1;
}

void CSEditView::PlaceSelectionPanel() {
  if (!document || document->m_selection.IsEmpty()) {
    HideSprite(selectionPanel);
    return;
  }
  const CPlane8& selection = document->m_selection;
  std::uint32_t bx = document->m_width;
  std::uint32_t by = document->m_height;
  for (std::uint32_t y = 0; y < selection.height; ++y) {
    const std::uint8_t* row = selection.Row(y);
    for (std::uint32_t x = 0; x < std::min(bx, selection.width); ++x) {
      if (row[x] == 0) continue;
      bx = x;
      by = std::min(by, y);
      break;
    }
  }
  const CanvasMapping m = Mapping();
  const std::int32_t x = Truncate((static_cast<double>(bx) - m.source.left) * m.zoom + m.image.left);
  const std::int32_t y = Truncate((static_cast<double>(by) - m.source.top) * m.zoom + m.image.top);
  Point place;
  if (m.content.Contains(x, y - 20)) {
    place = {x, y - 20};
  } else if (m.content.Contains(x, y)) {
    place = {x, y};
  } else {
    HideSprite(selectionPanel);
    return;
  }
  if (currentTool && currentTool->GetKind() != kToolKindSelection) {
    HideSprite(selectionPanel);
    return;
  }
  selectionPanel.alpha = kSelectionPanelAlpha;
  selectionPanel.SetSpriteRect(place.x, place.y, 80, 20);
  selectionPanel.visible = 1;
  selectionPanel.dirty = 1;
}

void CSEditView::AutoScroll(Point point) {
  const CanvasMapping m = Mapping();
  if (m.source.Width() >= imageWidth && m.source.Height() >= imageHeight) return;
  if (m.source.Width() < imageWidth) {
    const std::int32_t step = Truncate(((m.image.right - m.image.left) / 6) / m.zoom);
    if (point.x < m.content.left + kAutoScrollEdge && m.source.left > 0) {
      (void)SetOrigin(m.source.left - step, m.source.top);  // the image exists
      SleepMilliseconds(kAutoScrollPauseMs);
    } else if (point.x > m.content.right - kAutoScrollEdge && m.source.right < imageWidth) {
      (void)SetOrigin(m.source.left + step, m.source.top);
      SleepMilliseconds(kAutoScrollPauseMs);
    }
  }
  const CanvasMapping n = Mapping();
  if (n.source.Height() < imageHeight) {
    const std::int32_t step = Truncate(((n.image.bottom - n.image.top) / 6) / n.zoom);
    if (point.y < n.content.top + kAutoScrollEdge && n.source.top > 0) {
      (void)SetOrigin(n.source.left, n.source.top - step);
      SleepMilliseconds(kAutoScrollPauseMs);
    } else if (point.y > n.content.bottom - kAutoScrollEdge && n.source.bottom < imageHeight) {
      (void)SetOrigin(n.source.left, n.source.top + step);
      SleepMilliseconds(kAutoScrollPauseMs);
    }
  }
}

void CSEditView::DropSelection() {
  if (!document || document->m_selection.IsEmpty()) return;
  page.KeepLastArea();
  {
    std::lock_guard guard(document->m_lock);
    document->m_selection.Free();
  }
  document->m_modified = 1;
}

bool CSEditView::IsOverScrollBar(Point point) {
  for (CSScrollBar* bar : {&horizontalBar, &verticalBar}) {
    if (bar->visible && IsShown() && bar->rect.Contains(point)) return true;
  }
  return false;
}
