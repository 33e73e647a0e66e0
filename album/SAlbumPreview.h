#pragma once
// CSAlbumPreview: one photo of the album over the whole album page. The
// wheel zooms about the pointed pixel, a zoomed photo is dragged, the arrow
// keys, the side bands and horizontal swipes step through the list's photos
// with a short cross-fade, and Esc, the right button or a click outside the
// photo leave.
//
// The render thread draws the sprite while the UI thread changes it: the
// photo is decoded aside and swapped in under the sprite's lock, and the
// zoom, the visible region and the state change only under that lock.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "image/BgraImage.h"
#include "ui/MessageSprite.h"

enum PreviewState : std::int32_t {
  kPreviewShowing = 0,
  kPreviewOpening = 1,
  kPreviewFading = 2,
  kPreviewFadeDone = 98,
  kPreviewLoading = 99,
};

enum PreviewZone : std::int32_t {
  kZoneOutside = -1,
  kZonePrevious = 0,
  kZoneNext = 1,
  kZoneZoomed = 10,
  kZoneWhole = 11,
  kZoneNone = 99,
};

class CSAlbumPreview final : public CMessageSprite {
public:
  static constexpr std::int32_t kSpriteId = 109;
  static constexpr std::int32_t kLayer = 4;
  static constexpr std::size_t kMaxPathLength = 1022;
  static constexpr std::int32_t kClickTravel = 5;
  static constexpr std::int32_t kSwipeTravel = 80;

  CSAlbumPreview();
  ~CSAlbumPreview() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnRButtonDown(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;
  bool CanTakeFocus() override { return true; }

  void ClearPaths();
  // A path longer than 1022 characters is kept as its first 1021 and "..".
  void AddPath(const std::filesystem::path& path);
  // The entry equal to the path becomes current and is loaded under the
  // window's progress indicator. A photo that cannot be loaded leaves the
  // preview empty (never the previous photo). False when the path is not
  // listed or the load failed.
  [[nodiscard]] bool SetCurrentPath(const std::filesystem::path& path);
  // Decodes the current path aside and swaps it in; on failure nothing
  // changes.
  [[nodiscard]] bool LoadCurrentImage();
  // Where the photo sits fitted inside rect inset by 1 pixel.
  Rect FitRect(const Rect& area) const;
  // The opening animation from start to target over area (the page).
  void ZoomOpen(const Rect& start, const Rect& target, const Rect& area);
  void ClosePreview();
  // Shown (and its parent, when it has one).
  bool IsOpen() const;

  void FitZoom();
  void SetViewOrigin(std::int32_t x, std::int32_t y);
  void StepZoom(bool in, Point pixel);
  Point ViewToImage(Point point) const;
  void ShowNeighbour(bool next);
  // Renders the current view into picture (sprite-sized).
  void RenderView(CBgraImage& picture);

  // Read by tests and by the album page.
  std::int32_t State() const { return m_state; }
  std::int32_t CurrentIndex() const { return m_current; }
  std::size_t PathCount() const { return m_paths.size(); }
  const std::filesystem::path& PathAt(std::size_t i) const { return m_paths[i]; }
  double Zoom() const { return m_zoom; }
  Rect VisibleRegion() const { return m_visible; }
  Rect PhotoRect() const { return m_photoRect; }
  std::int32_t Zone() const { return m_zone; }
  bool Dragging() const { return m_dragging != 0; }
  std::uint32_t PhotoWidth() const { return m_photoWidth; }
  std::uint32_t PhotoHeight() const { return m_photoHeight; }
  bool HasPhoto() const { return !m_photo.IsEmpty(); }

private:
  void CrossFadeStep();
  void UpdateCursor();
  std::int32_t ZoneAt(Point point) const;
  bool WholePhotoVisible() const;
  void EndPress();

  std::int32_t m_state = kPreviewShowing;
  std::vector<std::filesystem::path> m_paths;
  std::int32_t m_current = -1;
  CBgraImage m_photo;
  CBgraImage m_oldScreen;
  CBgraImage m_newScreen;
  std::int32_t m_fadeStep = 0;
  Rect m_visible;
  Rect m_animationRect;
  std::int32_t m_animationLevel = 0;
  std::uint32_t m_photoWidth = 0;
  std::uint32_t m_photoHeight = 0;
  double m_zoom = 1.0;
  Rect m_viewport;
  Rect m_photoRect;
  std::int32_t m_dragging = 0;
  Point m_dragAnchor;
  std::int32_t m_zone = kZoneNone;
  std::int32_t m_pressed = 0;
  Point m_pressPoint;
};
