#pragma once
// CSScrollBar: the scroll bar of trees, lists, menus and views. Horizontal
// when wider than 20 pixels, else vertical; a 15-pixel arrow area at each
// end and the track between them (length - 30 pixels). It tells its parent,
// when that is an input sprite, by sprite messages: 6 a line toward the
// start, 7 a line toward the end (repeated every 200 ms while an arrow is
// held), 8 the position changed; the parent then reads position and decides
// how far a line goes. The position stays within [minimum, maximum - page]
// (minimum when the page is larger than the range).
//
// Threads: the owner sets the range, page and position on the UI thread,
// where the bar also handles the mouse; the render thread draws it. The
// values are atomics: a frame drawn between two of the owner's changes
// shows at most one stale thumb.

#include <atomic>
#include <cstdint>

#include "ui/widgets/MoveOverSprite.h"

enum ScrollBarMessageCode : std::int32_t {
  kScrollMsgLineUp = 6,
  kScrollMsgLineDown = 7,
  kScrollMsgPositionChanged = 8,
};

class CSScrollBar : public CMoveOverSprite {
public:
  static constexpr std::int32_t kArrowLength = 15;
  static constexpr std::int32_t kThumbInset = 2;
  static constexpr std::uint8_t kThumbGrey = 235;
  static constexpr std::uint32_t kRepeatMs = 200;
  // Parts.
  static constexpr std::int32_t kPartNone = -1;  // also the track
  static constexpr std::int32_t kPartStartArrow = 1;
  static constexpr std::int32_t kPartEndArrow = 2;

  CSScrollBar();

  bool Draw(std::uint32_t now) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  // The hand over an arrow, the arrow cursor elsewhere on the bar.
  bool OnSetCursor(Point point) override;

  bool IsHorizontal() const { return rect.Width() > 20; }
  // Along the bar, and the track between the arrow areas (0 or less for a
  // bar of 30 pixels or shorter, which has no thumb).
  std::int32_t Length() const { return IsHorizontal() ? rect.Width() : rect.Height(); }
  std::int32_t TrackLength() const { return Length() - 2 * kArrowLength; }
  // The part under a point: an arrow, or kPartNone on the track (trackSide
  // then says 1 before the thumb, 2 after it, 0 on it).
  std::int32_t HitTestPart(Point point);
  // The value under a point of the track, minimum to maximum.
  std::int64_t PositionFromPoint(Point point) const;

  std::atomic<std::int32_t> minimum{0};
  std::atomic<std::int32_t> maximum{0};
  std::atomic<std::int32_t> page{0};
  std::atomic<std::int32_t> position{0};
  std::atomic<std::int32_t> hoveredPart{kPartNone};
  std::atomic<std::int32_t> pressedPart{kPartNone};
  std::atomic<std::int32_t> thumbStart{0};  // written by the render thread
  std::atomic<std::int32_t> thumbEnd{0};
  std::int32_t trackSide = -1;  // UI thread
  std::int32_t draggingThumb = 0;
  std::int64_t dragValue = 0;
  std::int32_t dragPosition = 0;

private:
  // The position clamped to [minimum, max(minimum, maximum - page)].
  std::int32_t Clamped(std::int64_t value) const;
  void SetPosition(std::int64_t value);
  void Notify(std::int32_t code);
  // Ends a drag and releases a pressed arrow.
  void Release();
  void DrawThumb();
  void ShadePressedArrow(std::int32_t part);
};
