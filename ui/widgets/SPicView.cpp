#include "ui/widgets/SPicView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/ResampleBlend.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

// Sides and positions stay far inside 32 bits; a double out of every
// sensible range (a zoom of 1e300, NaN) must still convert without
// undefined behaviour.
constexpr double kFar = 1073741824.0;

std::int64_t Trunc(double value) {
  if (!(value == value)) return 0;
  return static_cast<std::int64_t>(std::clamp(value, -kFar, kFar));
}

std::int32_t Narrow(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, -(std::int64_t{1} << 30), std::int64_t{1} << 30));
}

bool UsableZoom(double value) { return std::isfinite(value) && value > 0; }

// Theme colour 5 is the view's background, 1 the title's, 0 the label text's.
constexpr std::size_t kBackgroundColour = 5;
constexpr std::size_t kTitleColour = 1;
constexpr std::size_t kLabelColour = 0;
constexpr std::int32_t kLabelHeight = 24;
constexpr std::int32_t kLabelPadding = 10;
constexpr std::int32_t kTitleSize = 14;

std::u16string LookupOrEmpty(std::u16string_view key) {
  const char16_t* text = UIResources().texts.LookupText(key);
  return text ? std::u16string(text) : std::u16string();
}

}  // namespace

CSPicView::CSPicView() = default;

CSPicView::~CSPicView() {
  // A view deleted without Destroy still takes its open menu off the screen.
  if (zoomMenu.visible) zoomMenu.CloseMenu(false);
}

// Owners ---------------------------------------------------------------------

void CSPicView::TakeImage(std::uint32_t width, std::uint32_t height, std::u16string_view newTitle) {
  imageWidth = width;
  imageHeight = height;
  ZoomToFit();
  title = TruncatedText(newTitle, kTitleField);
  titleImage.Free();
}

void CSPicView::SetImage(const CBgraImage* image, std::u16string_view newTitle) {
  std::lock_guard guard(lock);
  if (image && !image->IsEmpty()) {
    image8 = image;
    image16 = nullptr;
    TakeImage(image->width, image->height, newTitle);
  } else {
    image8 = nullptr;
    title = TruncatedText(newTitle, kTitleField);
    titleImage.Free();
  }
  labelOutdated = 1;
  dirty = 1;
}

void CSPicView::SetImage16(const CBgraImage16* image, std::u16string_view newTitle) {
  std::lock_guard guard(lock);
  if (image && !image->IsEmpty()) {
    image16 = image;
    image8 = nullptr;
    TakeImage(image->width, image->height, newTitle);
  } else {
    image16 = nullptr;
    title = TruncatedText(newTitle, kTitleField);
    titleImage.Free();
  }
  labelOutdated = 1;
  dirty = 1;
}

void CSPicView::SetImageCursor(std::optional<CursorShape> cursor) {
  std::lock_guard guard(lock);
  imageCursor = cursor;
}

std::int64_t CSPicView::ViewExtent(std::int32_t side) const {
  if (side <= 0) return 0;
  return std::max<std::int64_t>(Trunc(side / zoom), 0);
}

void CSPicView::ZoomToFit() {
  std::lock_guard guard(lock);
  const std::int32_t vw = viewRect.Width(), vh = viewRect.Height();
  // A view or image without area has no fit: the zoom stays as it is.
  if (vw > 0 && vh > 0 && imageWidth > 0 && imageHeight > 0) {
    zoom = std::min({static_cast<double>(vw) / imageWidth, static_cast<double>(vh) / imageHeight, 1.0});
  }
  SetViewOrigin({0, 0});
  labelOutdated = 1;
  NotifyZoomChanged();
}

void CSPicView::SetViewOrigin(Point origin) {
  std::lock_guard guard(lock);
  auto clamp = [](std::int64_t start, std::int64_t extent, std::int64_t size, std::int32_t& low,
                  std::int32_t& high) {
    std::int64_t a = std::max<std::int64_t>(start, 0);
    std::int64_t b = a + extent;
    if (b > size) {
      a = std::max<std::int64_t>(a - (b - size), 0);
      b = size;
    }
    low = Narrow(a);
    high = Narrow(b);
  };
  clamp(origin.x, ViewExtent(viewRect.Width()), imageWidth, visibleRect.left, visibleRect.right);
  clamp(origin.y, ViewExtent(viewRect.Height()), imageHeight, visibleRect.top, visibleRect.bottom);
  dirty = 1;
}

void CSPicView::SetZoom(double newZoom) {
  std::lock_guard guard(lock);
  if (!UsableZoom(newZoom) || (zoomFixed && newZoom != 1.0) || newZoom == zoom) return;
  ZoomAtPoint(newZoom, CentreImagePoint());
}

void CSPicView::ZoomAtPoint(double newZoom, Point imagePoint) {
  std::lock_guard guard(lock);
  if (!UsableZoom(newZoom) || (zoomFixed && newZoom != 1.0)) return;
  zoom = newZoom;
  NotifyZoomChanged();
  SetViewOrigin({Narrow(imagePoint.x - ViewExtent(viewRect.Width()) / 2),
                 Narrow(imagePoint.y - ViewExtent(viewRect.Height()) / 2)});
  labelOutdated = 1;
}

void CSPicView::StepZoom(bool zoomIn, Point imagePoint) {
  std::lock_guard guard(lock);
  if (zoomFixed) return;
  double next = zoom;
  if (zoomIn) {
    if (zoom < kZoomSteps.front()) {
      next = kZoomSteps.front();
    } else {
      const auto it =
          std::find_if(kZoomSteps.begin(), kZoomSteps.end(), [&](double step) { return step > zoom; });
      if (it == kZoomSteps.end()) return;
      next = *it;
    }
  } else {
    if (zoom > kZoomSteps.back()) {
      next = kZoomSteps.back();
    } else {
      const auto it =
          std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(), [&](double step) { return step < zoom; });
      if (it == kZoomSteps.rend()) return;
      next = *it;
    }
  }
  zoom = next;
  NotifyZoomChanged();
  const std::int32_t vw = std::max(viewRect.Width(), 0), vh = std::max(viewRect.Height(), 0);
  SetViewOrigin(
      {Narrow(imagePoint.x - Trunc(vw / (2 * zoom))), Narrow(imagePoint.y - Trunc(vh / (2 * zoom)))});
  labelOutdated = 1;
}

void CSPicView::CopyViewFrom(const CSPicView& other) {
  if (&other == this) return;
  double otherZoom = 0;
  Rect otherVisible;
  {
    std::lock_guard guard(other.lock);
    otherZoom = other.zoom;
    otherVisible = other.visibleRect;
  }
  if (!UsableZoom(otherZoom)) return;
  std::lock_guard guard(lock);
  zoom = otherZoom;
  SetViewOrigin({otherVisible.left, otherVisible.top});
  labelOutdated = 1;
}

void CSPicView::FixAtRealSize() {
  std::lock_guard guard(lock);
  zoomFixed = 1;
  SetZoom(1.0);
  if (toolBar.visible.exchange(0) != 0 && toolBar.tileColumns > 0) InvalidateArea(toolBar.rect, 1);
  dirty = 1;
}

void CSPicView::PostToParent(std::uint64_t wparam, std::uint64_t lparam) {
  // Refused only for a parent gone or a queue shut down: no one to tell.
  if (parent && parent->IsInputSprite())
    static_cast<void>(PostSpriteMessage(parent, kPicViewMsg, wparam, lparam, this));
}

void CSPicView::NotifyZoomChanged() {
  std::lock_guard guard(lock);
  if (zoom >= kNotifyZoom) PostToParent(kPicViewChanged, 0);
}

Point CSPicView::ScreenToImage(Point point) const {
  std::lock_guard guard(lock);
  if (!displayedRect.Contains(point)) return {0, 0};
  const std::int64_t x = Trunc((point.x - displayedRect.left) / zoom + 0.5) + visibleRect.left;
  const std::int64_t y = Trunc((point.y - displayedRect.top) / zoom + 0.5) + visibleRect.top;
  return {Narrow(std::min<std::int64_t>(x, visibleRect.right - 1)),
          Narrow(std::min<std::int64_t>(y, visibleRect.bottom - 1))};
}

Point CSPicView::CentreImagePoint() const {
  return ScreenToImage(
      {displayedRect.left + displayedRect.Width() / 2, displayedRect.top + displayedRect.Height() / 2});
}

bool CSPicView::WholeImageVisible() const {
  return visibleRect ==
         Rect{0, 0, static_cast<std::int32_t>(imageWidth), static_cast<std::int32_t>(imageHeight)};
}

void CSPicView::NavigatorJump(Point overviewPoint) {
  std::lock_guard guard(lock);
  const std::int64_t ow = overviewRect.Width(), oh = overviewRect.Height();
  if (ow <= 0 || oh <= 0) return;
  const std::int64_t x = (overviewPoint.x * std::int64_t{imageWidth} + ow / 2) / ow;
  const std::int64_t y = (overviewPoint.y * std::int64_t{imageHeight} + oh / 2) / oh;
  const std::int32_t vw = std::max(viewRect.Width(), 0), vh = std::max(viewRect.Height(), 0);
  const Point origin{Narrow(x - Trunc(vw / zoom + 0.5) / 2), Narrow(y - Trunc(vh / zoom + 0.5) / 2)};
  NotifyZoomChanged();
  SetViewOrigin(origin);
  if (zoomFixed) PostToParent(kPicViewDragEnded, 0);
}

// State ------------------------------------------------------------------------

double CSPicView::Zoom() const {
  std::lock_guard guard(lock);
  return zoom;
}

Rect CSPicView::ViewRect() const {
  std::lock_guard guard(lock);
  return viewRect;
}

Rect CSPicView::VisibleRect() const {
  std::lock_guard guard(lock);
  return visibleRect;
}

Rect CSPicView::DisplayedRect() const {
  std::lock_guard guard(lock);
  return displayedRect;
}

Rect CSPicView::OverviewRect() const {
  std::lock_guard guard(lock);
  return overviewRect;
}

Rect CSPicView::ZoomLabelRect() const {
  std::lock_guard guard(lock);
  return labelRect;
}

bool CSPicView::IsZoomFixed() const {
  std::lock_guard guard(lock);
  return zoomFixed != 0;
}

bool CSPicView::IsDragging() const {
  std::lock_guard guard(lock);
  return dragging != 0;
}

std::u16string CSPicView::Title() const {
  std::lock_guard guard(lock);
  return title;
}

// Sprite operations -------------------------------------------------------------

bool CSPicView::OnSpriteCreate() {
  if (toolBar.items.empty()) {
    toolBar.AddButton(0, LookupOrEmpty(u"zoomin"), false);
    toolBar.AddButton(1, LookupOrEmpty(u"zoomout"), false);
    toolBar.AddButton(3, LookupOrEmpty(u"realsize"), true);
    toolBar.AddButton(4, LookupOrEmpty(u"bestfit"), false);
  }
  const std::int32_t length = toolBar.GetPreferredLength();
  if (!toolBar.Create(this, {kMargin, kMargin, kMargin + length, kMargin + kToolBarHeight})) return false;
  AppendChild(&toolBar);
  if (!zoomMenu.Create(nullptr, renderWindow, kMenuId, {0, 0, 100, 100}, kPopupMenuLayer)) return false;
  std::lock_guard guard(lock);
  viewRect = {kMargin, kViewTop, rect.Width() - kMargin, rect.Height() - kMargin};
  return true;
}

void CSPicView::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CMessageSprite::SetSpriteRect(x, y, w, h);
  toolBar.SetSpriteRect(kMargin, kMargin, toolBar.GetPreferredLength(), kToolBarHeight);
  viewRect = {kMargin, kViewTop, w - kMargin, h - kMargin};
  SetViewOrigin({visibleRect.left, visibleRect.top});
  titleImage.Free();
}

Rect CSPicView::GetFocusRect() {
  std::lock_guard guard(lock);
  if (!HasImage()) return {};
  return RectToWindow(displayedRect);
}

void CSPicView::Destroy(int final) {
  if (zoomMenu.visible) zoomMenu.CloseMenu(false);
  {
    std::lock_guard guard(lock);
    labelImage.Free();
    titleImage.Free();
    dragging = 0;
  }
  CMessageSprite::Destroy(final);
}

// Drawing (render thread, lock held) -------------------------------------------

bool CSPicView::Draw(std::uint32_t) {
  bool redraw = dirty;
  if (labelOutdated) {
    labelOutdated = 0;
    BuildZoomLabel();
    redraw = true;
  }
  if (!redraw || surface.IsEmpty()) return false;
  const auto& colours = UIResources().theme.colors;
  FillRect(surface,
           {0, 0, static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)},
           colours[kBackgroundColour]);
  DrawTitle();
  labelRect = {};
  if (HasImage() && !labelImage.IsEmpty()) {
    const auto lw = static_cast<std::int32_t>(labelImage.width),
               lh = static_cast<std::int32_t>(labelImage.height);
    const std::int32_t x = static_cast<std::int32_t>(surface.width) - lw - kMargin;
    const std::int32_t y = (kViewTop + 1 - lh) / 2;
    BlendImage(surface, labelImage, x, y, true, {}, 256);
    labelRect = {x, y, x + lw, y + lh};
  }
  RenderView();
  InvalidateArea({}, 1);
  return true;
}

void CSPicView::RenderView() {
  if (!HasImage()) {
    displayedRect = {};
    overviewRect = {};
    return;
  }
  const std::uint32_t width = image8 ? image8->width : image16->width;
  const std::uint32_t height = image8 ? image8->height : image16->height;
  if (width != imageWidth || height != imageHeight) {
    // Resized in place: the next frame draws with the origin clamped anew.
    imageWidth = width;
    imageHeight = height;
    SetViewOrigin({visibleRect.left, visibleRect.top});
    // Refused only once the queue has shut down, when nothing is drawn.
    static_cast<void>(PostSpriteMessage(this, kSpriteMsgRefresh, 0, 0, this));
    return;
  }
  const std::int64_t visibleWidth = visibleRect.Width(), visibleHeight = visibleRect.Height();
  if (visibleWidth <= 0 || visibleHeight <= 0 || viewRect.IsEmpty()) {
    // Nothing fits (a view too small for its frame): nothing is drawn.
    displayedRect = {};
    overviewRect = {};
    return;
  }
  std::int64_t w = visibleWidth, h = visibleHeight;
  if (std::abs(zoom - 1.0) > 1e-10) {
    w = Trunc(static_cast<double>(visibleWidth) * zoom + 0.5);
    h = Trunc(static_cast<double>(visibleHeight) * zoom + 0.5);
  }
  w = std::max<std::int64_t>(w, 1);
  h = std::max<std::int64_t>(h, 1);
  const std::uint32_t samples = zoom < 1.0 ? 2 : 1;
  const Rect place{Narrow(viewRect.left + (viewRect.Width() - w) / 2),
                   Narrow(viewRect.top + (viewRect.Height() - h) / 2), 0, 0};
  const Rect displayed{place.left, place.top, Narrow(place.left + w), Narrow(place.top + h)};
  const int drawn = image8 ? DrawResampled(*image8, visibleRect, samples, surface, displayed, 256)
                           : DrawResampled(*image16, visibleRect, samples, surface, displayed, 256);
  if (!drawn) return;  // the frame goes without the image
  displayedRect = displayed;
  if (2 * visibleWidth * visibleHeight < std::int64_t{imageWidth} * imageHeight) {
    DrawNavigator();
  } else {
    overviewRect = {};
  }
}

void CSPicView::DrawNavigator() {
  overviewRect = {};
  if (!HasImage() || viewRect.Width() < kOverviewMinimumView || viewRect.Height() < kOverviewMinimumView ||
      imageWidth == 0 || imageHeight == 0) {
    return;
  }
  const std::int64_t iw = imageWidth, ih = imageHeight;
  const std::int64_t ow = iw >= ih ? kOverviewSide : kOverviewSide * iw / ih;
  const std::int64_t oh = iw >= ih ? kOverviewSide * ih / iw : kOverviewSide;
  const Rect box{Narrow(viewRect.right - ow - 1), Narrow(viewRect.top + 1), Narrow(viewRect.right - 1),
                 Narrow(viewRect.top + 1 + oh)};
  overviewRect = box;
  const Rect marker{
      Narrow(box.left + ow * visibleRect.left / iw), Narrow(box.top + oh * visibleRect.top / ih),
      Narrow(box.left + ow * visibleRect.right / iw), Narrow(box.top + oh * visibleRect.bottom / ih)};
  // The thumbnail is (ow - 2) x (oh - 2), a zero side counting as 1; an
  // overview too thin for it is not drawn.
  if (ow < 2 || oh < 2) return;
  const Rect thumbnail{box.left + 1, box.top + 1, Narrow(box.left + 1 + std::max<std::int64_t>(ow - 2, 1)),
                       Narrow(box.top + 1 + std::max<std::int64_t>(oh - 2, 1))};

  // Shade the box: a light border, the marked part lighter, the rest darker.
  const std::int32_t sw = static_cast<std::int32_t>(surface.width),
                     sh = static_cast<std::int32_t>(surface.height);
  for (std::int32_t y = std::max(box.top, 0); y < std::min(box.bottom, sh); ++y) {
    for (std::int32_t x = std::max(box.left, 0); x < std::min(box.right, sw); ++x) {
      std::uint8_t* p = surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      const bool border = x == box.left || x == box.right - 1 || y == box.top || y == box.bottom - 1;
      const bool marked = marker.Contains(x, y);
      for (int c = 0; c < 3; ++c) {
        p[c] = static_cast<std::uint8_t>(border ? (p[c] + 512) / 3 : marked ? (p[c] + 255) / 2 : p[c] / 2);
      }
    }
  }
  const Rect whole{0, 0, static_cast<std::int32_t>(imageWidth), static_cast<std::int32_t>(imageHeight)};
  const int drawn = image8 ? DrawResampled(*image8, whole, 2, surface, thumbnail, 128)
                           : DrawResampled(*image16, whole, 2, surface, thumbnail, 128);
  if (!drawn) return;
  const std::int32_t cx = (marker.left + marker.right) / 2, cy = (marker.top + marker.bottom) / 2;
  if (cx >= 0 && cy >= 0 && cx < sw && cy < sh) {
    const std::uint32_t black = 0xFF000000u;
    std::memcpy(surface.At(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy)), &black, 4);
  }
}

void CSPicView::BuildZoomLabel() {
  if (!HasImage()) {
    labelImage.Free();
    return;
  }
  char digits[32];
  std::snprintf(digits, sizeof digits, "%lld%%", static_cast<long long>(Trunc(zoom * 100 + 0.5)));
  std::u16string text;
  for (const char* c = digits; *c; ++c) text.push_back(static_cast<char16_t>(*c));
  CBgraImage textImage;
  if (!UIResources().skins.RenderTextLocked(text, textImage)) return;
  CBgraImage plate;
  if (!plate.Create(textImage.width + 2 * kLabelPadding, kLabelHeight) ||
      !StretchSkinFrame(plate, UIResources().skins.roundFrameImage, 0, 0)) {
    return;
  }
  BlendColorMask(plate, textImage, kLabelPadding,
                 (kLabelHeight - static_cast<std::int32_t>(textImage.height)) / 2,
                 UIResources().theme.colors[kLabelColour], {});
  labelImage = std::move(plate);
}

void CSPicView::DrawTitle() {
  if (title.empty() || !HasImage()) return;
  const std::int32_t barWidth = toolBar.rect.Width();
  const std::int32_t available = static_cast<std::int32_t>(surface.width) - barWidth - 70;
  if (available <= 0) return;
  if (titleImage.IsEmpty() || static_cast<std::int32_t>(titleImage.width) > available) {
    if (!UIResources().skins.RenderTextLocked(title, titleImage, {}, kTitleSize, available)) {
      titleImage.Free();
      return;
    }
  }
  const std::int32_t x = barWidth + 8 + (available - static_cast<std::int32_t>(titleImage.width)) / 2;
  const std::int32_t y = (kViewTop - static_cast<std::int32_t>(titleImage.height)) / 2;
  BlendColorMask(surface, titleImage, x, y, UIResources().theme.colors[kTitleColour], {});
}

// Input (UI thread) -------------------------------------------------------------

void CSPicView::OnMouseWheel(Point point, std::int32_t delta) {
  std::lock_guard guard(lock);
  if (!HasImage() || !displayedRect.Contains(point) || dragging || delta == 0) return;
  StepZoom(delta > 0, ScreenToImage(point));
}

void CSPicView::OnLButtonDown(Point point, std::uint32_t flags) {
  enum class Then { Nothing, Capture, OpenMenu, PassOn } then = Then::PassOn;
  Point menuCorner;
  {
    std::lock_guard guard(lock);
    if (HasImage() && displayedRect.Contains(point) && !dragging) {
      then = Then::Nothing;
      if (overviewRect.Contains(point)) {
        NavigatorJump({point.x - overviewRect.left, point.y - overviewRect.top});
      } else {
        pressPoint = point;
        pressedOnImage = 1;
        if (!WholeImageVisible()) {
          dragging = 1;
          dragAnchor = ScreenToImage(point);
          then = Then::Capture;
        }
      }
    } else if (labelRect.Contains(point)) {
      then = Then::OpenMenu;
      menuCorner = PointToWindow({labelRect.right, labelRect.bottom});
    }
  }
  CRenderWindow* window = RenderWindowOf(*this);
  switch (then) {
    case Then::Capture:
      if (window) window->SetCaptureSprite(this);
      break;
    case Then::OpenMenu:
      FillZoomMenu();
      // Downward, its right edge at the label's corner where there is room.
      if (window) window->ShowPopupMenu(&zoomMenu, menuCorner, true, false, this);
      break;
    case Then::PassOn:
      CMessageSprite::OnLButtonDown(point, flags);  // never a captured press
      break;
    case Then::Nothing:
      break;
  }
}

void CSPicView::FillZoomMenu() {
  zoomMenu.Destroy(0);
  zoomMenu.AddItem(u"F", kMenuFit, LookupOrEmpty(u"bestfit"), nullptr);
  zoomMenu.AddItem(u"", 0, u"", nullptr);
  static constexpr std::array<std::u16string_view, 9> kCaptions = {u"800%", u"400%", u"200%", u"100%", u"67%",
                                                                   u"50%",  u"33%",  u"25%",  u"10%"};
  for (std::size_t i = 0; i < kCaptions.size(); ++i)
    zoomMenu.AddItem(u"", static_cast<std::int32_t>(i) + 2, kCaptions[i], nullptr);
}

void CSPicView::OnMouseMove(Point point, std::uint32_t flags) {
  {
    std::lock_guard guard(lock);
    if (dragging) {
      const Point origin{Narrow(dragAnchor.x - Trunc((point.x - displayedRect.left) / zoom + 0.5)),
                         Narrow(dragAnchor.y - Trunc((point.y - displayedRect.top) / zoom + 0.5))};
      NotifyZoomChanged();
      SetViewOrigin(origin);
      return;
    }
  }
  OnSetCursor(point);
  CMessageSprite::OnMouseMove(point, flags);
}

void CSPicView::OnLButtonUp(Point point, std::uint32_t flags) {
  bool release = false;
  {
    std::lock_guard guard(lock);
    if (pressedOnImage) {
      pressedOnImage = 0;
      if (std::abs(point.x - pressPoint.x) < kClickTravel &&
          std::abs(point.y - pressPoint.y) < kClickTravel) {
        if (reportClicks) {
          // A release just off the picture reports the pressed pixel.
          const Point at = ScreenToImage(displayedRect.Contains(point) ? point : pressPoint);
          PostToParent(kPicViewClicked,
                       (static_cast<std::uint64_t>(at.y) << 16) + static_cast<std::uint64_t>(at.x));
        }
      } else if (dragging) {
        PostToParent(kPicViewDragEnded, 0);
      }
    }
    if (dragging) {
      dragging = 0;
      release = true;
    }
  }
  if (release) {
    if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
  } else {
    CMessageSprite::OnLButtonUp(point, flags);
  }
}

void CSPicView::OnCaptureReleased() {
  std::lock_guard guard(lock);
  dragging = 0;
  pressedOnImage = 0;
}

bool CSPicView::OnSetCursor(Point point) {
  std::optional<CursorShape> shape;
  {
    std::lock_guard guard(lock);
    if (displayedRect.Contains(point)) {
      if (overviewRect.Contains(point)) {
        shape = CursorShape::Crosshair;
      } else if (imageCursor) {
        shape = imageCursor;
      } else if (WholeImageVisible()) {
        shape = CursorShape::Arrow;
      } else {
        shape = UIResources().handCursor;
      }
    } else if (labelRect.Contains(point)) {
      shape = CursorShape::Hand;
    }
  }
  if (!shape) return CMessageSprite::OnSetCursor(point);
  SetWindowCursor(*shape);
  return true;
}

void CSPicView::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  std::lock_guard guard(lock);
  if (!HasImage()) return;
  const std::int64_t step = Trunc(kKeyStep / zoom);
  Point origin{visibleRect.left, visibleRect.top};
  switch (key) {
    case VK_LEFT:
      origin.x = Narrow(origin.x - step);
      break;
    case VK_RIGHT:
      origin.x = Narrow(origin.x + step);
      break;
    case VK_UP:
      origin.y = Narrow(origin.y - step);
      break;
    case VK_DOWN:
      origin.y = Narrow(origin.y + step);
      break;
    case VK_ADD:
    case VK_OEM_PLUS:
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
      if (UiQueue().GetKeyState(VK_CONTROL) < 0)
        StepZoom(key == VK_ADD || key == VK_OEM_PLUS, CentreImagePoint());
      return;
    default:
      return;
  }
  NotifyZoomChanged();
  SetViewOrigin(origin);
}

bool CSPicView::OnSpriteMessage(const SpriteMessage& message) {
  bool handled = false;
  if (message.code == kSpriteMsgButtonClicked) {
    std::lock_guard guard(lock);
    handled = true;
    switch (message.wparam) {
      case kZoomInButton:
        StepZoom(true, CentreImagePoint());
        break;
      case kZoomOutButton:
        StepZoom(false, CentreImagePoint());
        break;
      case kRealSizeButton:
        zoom = 1.0;
        NotifyZoomChanged();
        SetViewOrigin({0, 0});
        labelOutdated = 1;
        break;
      case kFitButton:
        ZoomToFit();
        break;
      default:
        handled = false;
        break;
    }
  } else if (message.code == kMenuMsgCommand) {
    handled = true;
    if (message.wparam == kMenuFit) {
      ZoomToFit();
    } else if (message.wparam >= 2 && message.wparam < 2 + kMenuZooms.size()) {
      SetZoom(kMenuZooms[message.wparam - 2]);
    } else {
      handled = false;
    }
  }
  return CMessageSprite::OnSpriteMessage(message) || handled;
}
