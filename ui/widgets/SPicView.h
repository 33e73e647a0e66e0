#pragma once
// CSPicView: the zoomable, pannable picture of the interface (the before and
// after views of adjustment dialogs, compare views, album previews). It
// shows one 8-bit or 16-bit image, not owned, inside a frame with a tool bar
// (zoom in, zoom out, real size, best fit), the image's title and a zoom
// label that opens a zoom menu. The user zooms by the buttons, the wheel,
// Ctrl with plus or minus and the menu, pans by dragging and with the arrow
// keys, and jumps through an overview inset shown while less than half of
// the image is visible.
//
// Layout in sprite coordinates: the tool bar at (4, 4), 30 high; the view
// rectangle (4, 35) to (width - 4, height - 4); the scaled visible part of
// the image centred in it (the displayed rectangle). The visible rectangle
// is in image pixels (right and bottom exclusive); its top-left corner is
// the view origin. The zoom is screen pixels per image pixel and always
// positive.
//
// Notifications to the parent, sprite message 98 with the view as sender:
// wparam 0 when zoom or origin changed (only at zooms of 0.1 and above),
// wparam 1 with lparam = image y x 65536 + image x for a click while
// reportClicks is set, wparam 10 when a drag that panned ended (or an
// overview jump while the zoom is fixed).
//
// The owner keeps a shown image alive until it sets another one or null.
// After changing its pixels in place it sets the view's dirty flag; a new
// size is noticed at the next frame, which clamps the origin again and
// asks for another frame instead of drawing.
//
// Threads: Draw and RenderView run on the render thread under the view's
// lock; everything else runs on the UI thread and changes the image, the
// zoom, the rectangles and the flags under the same lock, so a frame never
// sees half a change. The UI thread never holds the lock while it calls the
// render window (capture, the zoom menu).

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "platform/WindowHost.h"
#include "ui/MessageSprite.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/SToolBar.h"

// The picture view's notification to its parent.
inline constexpr std::int32_t kPicViewMsg = 98;
inline constexpr std::uint64_t kPicViewChanged = 0;
inline constexpr std::uint64_t kPicViewClicked = 1;
inline constexpr std::uint64_t kPicViewDragEnded = 10;

class CSPicView : public CMessageSprite {
public:
  // The zoom steps of the buttons, wheel and keys. 0.333333333 and
  // 0.66666666666 are these decimals, not thirds.
  static constexpr std::array<double, 16> kZoomSteps = {
      0.1, 0.25, 0.333333333, 0.5, 0.66666666666, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20};
  // The zoom menu's commands 2 to 10; six-decimal values, not the steps'.
  static constexpr std::array<double, 9> kMenuZooms = {8, 4, 2, 1, 0.666667, 0.5, 0.333333, 0.25, 0.1};
  static constexpr std::int32_t kMenuFit = 1;
  static constexpr std::int32_t kMenuId = 100;
  static constexpr std::int32_t kTitleField = 64;
  static constexpr std::int32_t kMargin = 4;  // the frame around the view rectangle
  static constexpr std::int32_t kViewTop = 35;
  static constexpr std::int32_t kToolBarHeight = 30;
  static constexpr std::int32_t kOverviewSide = 150;
  static constexpr std::int32_t kOverviewMinimumView = 300;
  static constexpr std::int32_t kClickTravel = 5;  // a press and release closer than this is a click
  static constexpr std::int32_t kKeyStep = 50;     // screen pixels per arrow key
  static constexpr double kNotifyZoom = 0.1;       // no notification below this zoom
  // The tool bar's buttons as they reach the view (tool bar id x 65536 +
  // button id).
  static constexpr std::uint64_t kZoomInButton = 65537;
  static constexpr std::uint64_t kZoomOutButton = 65538;
  static constexpr std::uint64_t kRealSizeButton = 65540;
  static constexpr std::uint64_t kFitButton = 65541;

  CSPicView();
  ~CSPicView() override;

  // Virtual operations.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The displayed rectangle in window coordinates; empty without an image.
  Rect GetFocusRect() override;
  // Builds the tool bar and the zoom menu; false when the tool bar's icon
  // strip is missing.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  // Closes the zoom menu and frees the label and title pictures.
  void Destroy(int final) override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  bool ShowsFocusIndicator() override { return false; }
  // Ends a drag.
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;
  // Tool bar buttons (code 1) and zoom menu commands (code 11), then the
  // default handling.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Draws the visible part of the image into the view rectangle and the
  // overview; render thread, lock held.
  virtual void RenderView();

  // Owners. An image with pixels is shown at fit zoom and drops the 16-bit
  // one; null or an image without pixels clears only the 8-bit image. The
  // title is cut to its field.
  void SetImage(const CBgraImage* image, std::u16string_view title);
  void SetImage16(const CBgraImage16* image, std::u16string_view title);
  // The zoom that fits the image into the view, at most 1, with the origin
  // at (0, 0); also while the zoom is fixed. A view or image without area
  // keeps the zoom.
  void ZoomToFit();
  // Moves the visible rectangle's corner to the point, clamped so that the
  // rectangle stays inside the image.
  void SetViewOrigin(Point origin);
  // Keeps the image point at the centre of the displayed rectangle there.
  // Refused while the zoom is fixed (unless 1), and for a zoom that is not
  // a positive number.
  void SetZoom(double newZoom);
  // Sets the zoom (also when equal) with the view centred on the point.
  void ZoomAtPoint(double newZoom, Point imagePoint);
  // One step of kZoomSteps in or out, centred on the image point; nothing
  // while the zoom is fixed.
  void StepZoom(bool zoomIn, Point imagePoint);
  // Takes the other view's zoom and origin without notifying, so that two
  // views that follow each other do not bounce.
  void CopyViewFrom(const CSPicView& other);
  // Only 100 % from now on; the tool bar is hidden.
  void FixAtRealSize();
  void NotifyZoomChanged();
  // The image point under a sprite point; (0, 0) outside the displayed
  // rectangle.
  Point ScreenToImage(Point point) const;
  // Centres the view on the image point under a point of the overview
  // (relative to its corner).
  void NavigatorJump(Point overviewPoint);
  void SetImageCursor(std::optional<CursorShape> cursor);

  // Reading the state (UI thread; each under the lock).
  double Zoom() const;
  Rect ViewRect() const;
  Rect VisibleRect() const;
  Rect DisplayedRect() const;
  Rect OverviewRect() const;
  Rect ZoomLabelRect() const;
  bool IsZoomFixed() const;
  bool IsDragging() const;
  std::u16string Title() const;

  // Clicks on the image are reported to the parent; set by the owner.
  std::atomic<std::int32_t> reportClicks{0};
  CSToolBar toolBar;
  CSMenu zoomMenu;

protected:
  // Render thread, lock held.
  void DrawNavigator();
  void BuildZoomLabel();
  void DrawTitle();

private:
  bool HasImage() const { return image8 != nullptr || image16 != nullptr; }
  bool WholeImageVisible() const;
  // The image point at the centre of the displayed rectangle.
  Point CentreImagePoint() const;
  // trunc(side / zoom) of the view rectangle, 0 for a view without area.
  std::int64_t ViewExtent(std::int32_t side) const;
  void TakeImage(std::uint32_t width, std::uint32_t height, std::u16string_view newTitle);
  void FillZoomMenu();
  void PostToParent(std::uint64_t wparam, std::uint64_t lparam);

  // Everything below is under the lock.
  const CBgraImage* image8 = nullptr;
  const CBgraImage16* image16 = nullptr;
  std::u16string title;
  Rect viewRect;
  Rect displayedRect;
  Rect visibleRect;
  Rect overviewRect;             // empty when none is shown
  Rect labelRect;                // empty when no label is shown
  std::uint32_t imageWidth = 0;  // as last taken or rendered
  std::uint32_t imageHeight = 0;
  double zoom = 1.0;
  std::int32_t zoomFixed = 0;
  std::int32_t labelOutdated = 1;
  CBgraImage labelImage;
  CBgraImage titleImage;
  Point pressPoint;
  std::int32_t pressedOnImage = 0;
  std::optional<CursorShape> imageCursor;
  std::int32_t dragging = 0;
  Point dragAnchor;  // the image point under the pointer when the drag began
};
