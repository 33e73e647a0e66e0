#include "album/SAlbumPreview.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "image/ImageCodec.h"
#include "platform/Clock.h"
#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

constexpr double kZoomSteps[] = {0.1, 0.25, 0.333333333, 0.5, 0.66666666666, 1, 2, 3, 4, 5, 6, 7,
                                 8,   9,    10,          20};
constexpr std::uint32_t kOpeningShade = 0xA0000000u;
constexpr std::uint32_t kViewShade = 0xC0000000u;
constexpr std::uint32_t kOutline = 0xFFE6E6E6u;
constexpr std::uint32_t kFrameMs = 30;

bool Contains(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

CSAlbumPreview::CSAlbumPreview() {
  kind |= kSpriteKindInput | kSpriteKindAnimation;
  visible = 0;
}

CSAlbumPreview::~CSAlbumPreview() { Destroy(1); }

void CSAlbumPreview::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    m_photo.Free();
    m_oldScreen.Free();
    m_newScreen.Free();
  }
  CMessageSprite::Destroy(final);
}

void CSAlbumPreview::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CMessageSprite::SetSpriteRect(x, y, w, h);
  m_viewport = {0, 0, w, h};
}

void CSAlbumPreview::ClearPaths() { m_paths.clear(); }

void CSAlbumPreview::AddPath(const std::filesystem::path& path) {
  std::u16string text = PathToUtf16(path);
  if (text.size() > kMaxPathLength) text = text.substr(0, kMaxPathLength - 1) + u"..";
  m_paths.push_back(PathFromUtf16(text));
}

bool CSAlbumPreview::SetCurrentPath(const std::filesystem::path& path) {
  // Names on Linux differ by case: the comparison is exact.
  const auto found = std::find(m_paths.begin(), m_paths.end(), path);
  if (found == m_paths.end()) return false;
  m_current = static_cast<std::int32_t>(found - m_paths.begin());
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) {
    const Size size = window->LogicalSize();
    const std::int32_t half = size.height / 10;
    window->ShowProgress(
        {size.width / 2 - half, size.height / 2 - half, size.width / 2 + half, size.height / 2 + half});
    SetWindowCursor(CursorShape::Wait);
  }
  const bool loaded = LoadCurrentImage();
  if (!loaded) {
    // Nothing of the photo shown before may stay on screen under this name.
    std::lock_guard guard(lock);
    m_photo.Free();
    m_photoWidth = m_photoHeight = 0;
    dirty = 1;
  }
  if (window) {
    window->HideProgress();
    SetWindowCursor(CursorShape::Arrow);
  }
  return loaded;
}

bool CSAlbumPreview::LoadCurrentImage() {
  if (m_current < 0 || static_cast<std::size_t>(m_current) >= m_paths.size()) return false;
  // Decoded without the lock, so the render thread keeps drawing frames.
  CBgraImage decoded;
  if (LoadImageAsBgra(m_paths[static_cast<std::size_t>(m_current)], decoded) != 1 || decoded.IsEmpty())
    return false;
  std::lock_guard guard(lock);
  m_photo.Swap(decoded);
  m_photoWidth = m_photo.width;
  m_photoHeight = m_photo.height;
  dirty = 1;
  return true;
}

Rect CSAlbumPreview::FitRect(const Rect& area) const {
  const Rect inset{area.left + 1, area.top + 1, area.right - 1, area.bottom - 1};
  if (m_photo.IsEmpty() || m_photoWidth == 0 || m_photoHeight == 0) return inset;
  const std::int64_t w = inset.Width(), h = inset.Height();
  const std::int64_t pw = m_photoWidth, ph = m_photoHeight;
  if (pw < w && ph < h) {
    const std::int32_t left = inset.left + static_cast<std::int32_t>((w - pw) / 2);
    const std::int32_t top = inset.top + static_cast<std::int32_t>((h - ph) / 2);
    return {left, top, left + static_cast<std::int32_t>(pw), top + static_cast<std::int32_t>(ph)};
  }
  if (w * ph < h * pw) {
    const auto height = static_cast<std::int32_t>(w * ph / pw);
    const std::int32_t top = inset.top + (inset.Height() - height) / 2;
    return {inset.left, top, inset.right, top + height};
  }
  const auto width = static_cast<std::int32_t>(h * pw / ph);
  const std::int32_t left = inset.left + (inset.Width() - width) / 2;
  return {left, inset.top, left + width, inset.bottom};
}

void CSAlbumPreview::ZoomOpen(const Rect& start, const Rect& target, const Rect& area) {
  SetSpriteRect(area.left, area.top, area.Width(), area.Height());
  {
    std::lock_guard guard(lock);
    m_state = kPreviewOpening;
    m_animationRect = start;
    m_animationLevel = 0;
  }
  visible = 1;
  InvalidateArea({}, 1);
  for (int i = 0; i <= 8; ++i) {
    const double t = i / 8.0;
    const auto c = static_cast<std::int32_t>(256.0 * t * t * t);
    {
      std::lock_guard guard(lock);
      m_animationRect = {(start.left * (256 - c) + target.left * c) >> 8,
                         (start.top * (256 - c) + target.top * c) >> 8,
                         (start.right * (256 - c) + target.right * c) >> 8,
                         (start.bottom * (256 - c) + target.bottom * c) >> 8};
      m_animationLevel = std::clamp(c, 0, 255);
      dirty = 1;
    }
    // The UI thread waits while the render thread shows the frames.
    SleepMilliseconds(kFrameMs);
  }
  {
    std::lock_guard guard(lock);
    m_state = kPreviewShowing;
    m_visible = {0, 0, static_cast<std::int32_t>(m_photoWidth), static_cast<std::int32_t>(m_photoHeight)};
    m_dragging = 0;
    m_fadeStep = 0;
  }
  FitZoom();
  UIResources().WriteLog("Album preview opened on " + std::to_string(m_current) + " of " +
                         std::to_string(m_paths.size()));
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    window->SetCaptureSprite(this);
    static_cast<void>(window->SetFocusSprite(this, 0));  // the previous focus is not needed back
  }
}

bool CSAlbumPreview::IsOpen() const {
  if (!visible) return false;
  return !parent || parent->IsShown();
}

void CSAlbumPreview::ClosePreview() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) {
    Rect photo;
    {
      std::lock_guard guard(lock);
      photo = m_photoRect;
    }
    // The fade is decoration: without room for it the preview still closes.
    static_cast<void>(window->StartFadeEffect(RectToWindow(photo), {}));
  }
  SleepMilliseconds(kFrameMs);
  visible = 0;
  InvalidateArea({}, 1);
  {
    std::lock_guard guard(lock);
    m_oldScreen.Free();
    m_newScreen.Free();
    m_state = kPreviewShowing;
    m_dragging = 0;
    m_pressed = 0;
    m_zone = kZoneNone;
  }
  FreeSurfaces();
  if (window) window->ReleaseCaptureSprite(this);
  UIResources().WriteLog("Album preview closed");
}

bool CSAlbumPreview::WholePhotoVisible() const {
  return m_visible.left <= 0 && m_visible.top <= 0 &&
         m_visible.right >= static_cast<std::int32_t>(m_photoWidth) &&
         m_visible.bottom >= static_cast<std::int32_t>(m_photoHeight);
}

void CSAlbumPreview::FitZoom() {
  {
    std::lock_guard guard(lock);
    const double vw = m_viewport.Width(), vh = m_viewport.Height();
    const double pw = m_photoWidth, ph = m_photoHeight;
    if (pw > 0 && ph > 0 && vw > 0 && vh > 0)
      m_zoom = std::min(vw * ph >= pw * vh ? vh / ph : vw / pw, 1.0);
    else
      m_zoom = 1.0;
  }
  SetViewOrigin(0, 0);
}

void CSAlbumPreview::SetViewOrigin(std::int32_t x, std::int32_t y) {
  std::lock_guard guard(lock);
  x = std::max(x, 0);
  y = std::max(y, 0);
  const auto pw = static_cast<std::int32_t>(m_photoWidth), ph = static_cast<std::int32_t>(m_photoHeight);
  const auto w = static_cast<std::int32_t>(m_viewport.Width() / m_zoom);
  const auto h = static_cast<std::int32_t>(m_viewport.Height() / m_zoom);
  Rect region{x, y, x + w, y + h};
  if (region.right > pw) {
    region.left = std::max(region.left - (region.right - pw), 0);
    region.right = pw;
  }
  if (region.bottom > ph) {
    region.top = std::max(region.top - (region.bottom - ph), 0);
    region.bottom = ph;
  }
  m_visible = region;
  dirty = 1;
}

void CSAlbumPreview::StepZoom(bool in, Point pixel) {
  double zoom = 0;
  {
    std::lock_guard guard(lock);
    zoom = m_zoom;
  }
  const double old = zoom;
  if (in) {
    if (zoom < kZoomSteps[0]) {
      zoom = kZoomSteps[0];
    } else {
      for (const double step : kZoomSteps)
        if (step > zoom) {
          zoom = step;
          break;
        }
    }
  } else {
    if (WholePhotoVisible()) return;
    if (zoom > 20) {
      zoom = 20;
    } else {
      for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
        if (*it < zoom) {
          zoom = *it;
          break;
        }
    }
  }
  if (zoom == old) return;
  {
    std::lock_guard guard(lock);
    m_zoom = zoom;
  }
  UIResources().WriteLog("Album preview zoom " + std::to_string(zoom));
  SetViewOrigin(static_cast<std::int32_t>(pixel.x - m_viewport.Width() / (2 * zoom)),
                static_cast<std::int32_t>(pixel.y - m_viewport.Height() / (2 * zoom)));
}

Point CSAlbumPreview::ViewToImage(Point point) const {
  std::lock_guard guard(lock);
  if (!Contains(m_photoRect, point) || m_zoom <= 0) return {0, 0};
  const auto x =
      static_cast<std::int32_t>(std::min(m_visible.left + (point.x - m_photoRect.left) / m_zoom + 0.5,
                                         static_cast<double>(m_visible.right - 1)));
  const auto y = static_cast<std::int32_t>(std::min(
      m_visible.top + (point.y - m_photoRect.top) / m_zoom + 0.5, static_cast<double>(m_visible.bottom - 1)));
  return {x, y};
}

void CSAlbumPreview::RenderView(CBgraImage& picture) {
  std::lock_guard guard(lock);
  const Rect whole{0, 0, static_cast<std::int32_t>(picture.width), static_cast<std::int32_t>(picture.height)};
  FillRect(picture, whole, kViewShade);
  m_photoRect = {};
  if (m_photo.IsEmpty() || m_visible.Width() <= 0 || m_visible.Height() <= 0) return;
  std::int32_t w = m_visible.Width(), h = m_visible.Height();
  if (std::abs(m_zoom - 1.0) > 1e-10) {
    w = static_cast<std::int32_t>(w * m_zoom + 0.5);
    h = static_cast<std::int32_t>(h * m_zoom + 0.5);
  }
  w = std::max(w, 1);
  h = std::max(h, 1);
  CBgraImage shown;
  Rect source = m_visible;
  // Smoothing (several samples a pixel) when shrinking, plain when enlarging.
  const std::uint32_t samples = m_zoom < 1.0 ? 3 : 1;
  if (m_photo.ResampleTo(shown, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), samples,
                         source) != 1)
    return;
  const std::int32_t left = (m_viewport.Width() - w) / 2;
  const std::int32_t top = (m_viewport.Height() - h) / 2;
  m_photoRect = {left, top, left + w, top + h};
  BlendImage(picture, shown, left, top, true, {}, 256);
  DrawRectOutline(picture, m_photoRect, kOutline, 128);
}

bool CSAlbumPreview::Draw(std::uint32_t) {
  std::lock_guard guard(lock);
  if (surface.IsEmpty()) return false;
  switch (m_state) {
    case kPreviewShowing:
      RenderView(surface);
      break;
    case kPreviewOpening: {
      FillRect(surface,
               {0, 0, static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)},
               kOpeningShade);
      if (!m_animationRect.IsEmpty() && !m_photo.IsEmpty()) {
        CBgraImage scaled;
        Rect whole{};
        if (m_photo.ResampleTo(scaled, static_cast<std::uint32_t>(m_animationRect.Width()),
                               static_cast<std::uint32_t>(m_animationRect.Height()), 2, whole) == 1)
          BlendImage(surface, scaled, m_animationRect.left, m_animationRect.top, true, {},
                     (2 * m_animationLevel + 230) / 3);
      }
      break;
    }
    case kPreviewFading:
      CrossFadeStep();
      dirty = 1;
      break;
    case kPreviewFadeDone:
      m_state = kPreviewShowing;
      dirty = 1;
      break;
    default:
      break;
  }
  InvalidateArea({}, 1);
  return true;
}

void CSAlbumPreview::CrossFadeStep() {
  if (m_oldScreen.IsEmpty() || m_newScreen.IsEmpty() || m_oldScreen.byteSize != surface.byteSize ||
      m_newScreen.byteSize != surface.byteSize) {
    m_state = kPreviewShowing;
    RenderView(surface);
    return;
  }
  const std::int32_t k = m_fadeStep;
  std::uint8_t* out = surface.pixels;
  const std::uint8_t* a = m_oldScreen.pixels;
  const std::uint8_t* b = m_newScreen.pixels;
  for (std::size_t i = 0; i < surface.byteSize; ++i) {
    if ((i & 3) == 3) continue;  // alpha stays as the surface has it
    out[i] = static_cast<std::uint8_t>((a[i] * (4 - k) + b[i] * k) / 4);
  }
  if (++m_fadeStep >= 4) {
    m_oldScreen.Free();
    m_newScreen.Free();
    m_state = kPreviewFadeDone;
  }
}

void CSAlbumPreview::ShowNeighbour(bool next) {
  const auto n = static_cast<std::int32_t>(m_paths.size());
  if (n == 0) return;
  const std::int32_t c = m_current;
  const std::int32_t target = next ? (c + 1 >= n ? 0 : c + 1) : (c - 1 < 0 ? n - 1 : c - 1);
  if (target == c) return;
  m_current = target;
  {
    std::lock_guard guard(lock);
    if (m_oldScreen.CopyFrom(surface) != 1) m_oldScreen.Free();
  }
  if (!LoadCurrentImage()) {
    m_current = c;
    std::lock_guard guard(lock);
    m_oldScreen.Free();
    return;
  }
  {
    std::lock_guard guard(lock);
    m_state = kPreviewLoading;
  }
  FitZoom();
  std::lock_guard guard(lock);
  if (!m_oldScreen.IsEmpty() && m_newScreen.CopyFrom(m_oldScreen) == 1) {
    RenderView(m_newScreen);
    m_state = kPreviewFading;
    m_fadeStep = 0;
  } else {
    m_oldScreen.Free();
    m_state = kPreviewShowing;
  }
  dirty = 1;
  UIResources().WriteLog("Album preview shows " + std::to_string(m_current));
}

std::int32_t CSAlbumPreview::ZoneAt(Point point) const {
  std::lock_guard guard(lock);
  if (!Contains(m_viewport, point)) return kZoneOutside;
  const std::int32_t band = std::max((m_viewport.Width() - m_photoRect.Width()) / 2, m_viewport.Width() / 5);
  if (m_paths.size() >= 2) {
    if (point.x < m_viewport.left + band) return kZonePrevious;
    if (point.x >= m_viewport.right - band) return kZoneNext;
  }
  return WholePhotoVisible() ? kZoneWhole : kZoneZoomed;
}

void CSAlbumPreview::OnMouseWheel(Point point, std::int32_t delta) {
  bool over = false;
  {
    std::lock_guard guard(lock);
    over = Contains(m_photoRect, point);
  }
  if (!over || m_dragging || delta == 0) return;
  StepZoom(delta > 0, ViewToImage(point));
  // The pointer now rests over a zoomed photo (or a whole one): the zone
  // and the cursor follow without waiting for a move.
  if (m_state == kPreviewShowing) {
    m_zone = ZoneAt(point);
    UpdateCursor();
  }
}

void CSAlbumPreview::OnMouseMove(Point point, std::uint32_t flags) {
  static_cast<void>(flags);
  if (m_dragging) {
    double zoom = 1;
    Rect photo;
    {
      std::lock_guard guard(lock);
      zoom = m_zoom;
      photo = m_photoRect;
    }
    SetViewOrigin(m_dragAnchor.x - static_cast<std::int32_t>(std::lround((point.x - photo.left) / zoom)),
                  m_dragAnchor.y - static_cast<std::int32_t>(std::lround((point.y - photo.top) / zoom)));
    return;
  }
  if (m_state != kPreviewShowing) return;
  m_zone = ZoneAt(point);
  UpdateCursor();
}

void CSAlbumPreview::UpdateCursor() {
  switch (m_zone) {
    case kZonePrevious:
      SetWindowCursor(CursorShape::PreviousPhoto);
      break;
    case kZoneNext:
      SetWindowCursor(CursorShape::NextPhoto);
      break;
    case kZoneZoomed:
      SetWindowCursor(UIResources().handCursor);
      break;
    default:
      SetWindowCursor(CursorShape::Arrow);
      break;
  }
}

bool CSAlbumPreview::OnSetCursor(Point point) {
  static_cast<void>(point);
  UpdateCursor();
  return true;
}

void CSAlbumPreview::OnLButtonDown(Point point, std::uint32_t flags) {
  static_cast<void>(flags);
  if (!HasPhoto()) return;
  CRenderWindow* window = RenderWindowOf(*this);
  switch (m_zone) {
    case kZoneOutside:
      ClosePreview();
      return;
    case kZoneNone:
      return;
    case kZoneZoomed:
      if (!WholePhotoVisible()) {
        if (window) window->SetCaptureSprite(this);
        m_dragAnchor = ViewToImage(point);
        m_dragging = 1;
        return;
      }
      [[fallthrough]];
    default:
      m_pressed = 1;
      m_pressPoint = point;
      if (window) window->SetCaptureSprite(this);
      return;
  }
}

void CSAlbumPreview::OnLButtonUp(Point point, std::uint32_t flags) {
  static_cast<void>(flags);
  if (m_pressed) {
    const std::int32_t travel = point.x - m_pressPoint.x;
    if (std::abs(travel) < kClickTravel) {
      if (m_zone == kZonePrevious) {
        ShowNeighbour(false);
      } else if (m_zone == kZoneNext) {
        ShowNeighbour(true);
      } else if (m_zone == kZoneWhole) {
        EndPress();
        ClosePreview();
        return;
      }
    } else if (std::abs(travel) > kSwipeTravel) {
      ShowNeighbour(travel < 0);
    }
  }
  EndPress();
}

void CSAlbumPreview::EndPress() {
  if (m_dragging) {
    const Rect region = VisibleRegion();
    UIResources().WriteLog("Album preview panned to " + std::to_string(region.left) + " " +
                           std::to_string(region.top));
  }
  const bool pressed = m_dragging || m_pressed;
  m_dragging = 0;
  m_pressed = 0;
  // The capture taken at the opening stays until a press of the preview's
  // own ends: the release of the double click that opened it is no press.
  if (!pressed) return;
  if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
}

void CSAlbumPreview::OnRButtonDown(Point point, std::uint32_t flags) {
  static_cast<void>(point);
  static_cast<void>(flags);
  ClosePreview();
}

void CSAlbumPreview::OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) {
  static_cast<void>(repeat);
  static_cast<void>(flags);
  if (key == VK_ESCAPE) {
    ClosePreview();
  } else if (key == VK_LEFT) {
    ShowNeighbour(false);
  } else if (key == VK_RIGHT) {
    ShowNeighbour(true);
  }
}

void CSAlbumPreview::OnCaptureReleased() {
  m_dragging = 0;
  m_pressed = 0;
}
