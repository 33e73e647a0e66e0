#pragma once
// CSVerticalFrames: an accordion column of pages, each under a 20-pixel
// title bar (the edit page's and the mask pages' side columns). Clicking a
// bar opens or closes its frame; the column keeps the open frames within its
// height by closing frames of lower priority first, and a frame that does
// not fit stays closed. Frames with priority 1000 or more are never closed
// by the layout.
//
// The pages are children but not owned: their owner marks them owned or
// frees them after the column.
//
// Threads: frames are added and laid out on the UI thread under the
// column's lock; the render thread draws the title bars under it.

#include <atomic>
#include <cstdint>
#include <vector>

#include "ui/MessageSprite.h"
#include "ui/widgets/STabPage.h"
#include "ui/widgets/VerticalFrameEntry.h"

class CSVerticalFrames : public CMessageSprite {
public:
  static constexpr std::int32_t kTitleBarHeight = 20;
  static constexpr std::int32_t kMargin = 8;
  static constexpr std::int32_t kNeverClosed = 1000;
  // hoveredTitle: the pointer is inside over no title bar.
  static constexpr std::int32_t kOverNoTitle = 1000;
  // LayoutFrames requests besides a frame's index.
  static constexpr std::int32_t kLayoutByPriority = -1;
  static constexpr std::int32_t kLayoutKeepOpen = -2;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  bool Draw(std::uint32_t now) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;

  // Creates the page as a hidden child (id = frames + 1) and adds it closed,
  // then lays out by priority. The frame's index (the first one for a page
  // already added), or -1 when the page cannot be created.
  [[nodiscard]] std::int32_t AddFrame(CSTabPage* page, std::int32_t priority, std::int32_t height);
  std::int32_t FindFrame(const CSTabPage* page) const;
  // request >= 0 opens that frame when it fits with at least a pixel to
  // spare, closing frames of lower priority as needed (when it cannot fit,
  // nothing changes); kLayoutByPriority opens frames by descending priority
  // as they fit and closes those that do not; kLayoutKeepOpen places the
  // frames as they are.
  void LayoutFrames(std::int32_t request);

  std::vector<VerticalFrameEntry> frames;      // under lock
  std::atomic<std::int32_t> hoveredTitle{-1};  // an index, kOverNoTitle or -1 (outside)
  std::atomic<std::int32_t> pressedTitle{-1};

private:
  void DrawTitleBar(std::size_t index);
  // The title bar under a point, or kOverNoTitle.
  std::int32_t TitleAt(Point point) const;
  static void HidePage(CSprite& page);
};
