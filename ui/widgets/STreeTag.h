#pragma once
// CSTreeTag: a breadcrumb bar over a tree of CTreeNode objects. It shows the
// current node and its ancestors as labelled segments, the top ancestor at
// the left and the current node at the right, with a chevron after every
// ancestor. A click on an ancestor's segment, or a choice from the list of a
// node's siblings that opens once the pointer rests on its segment (about
// 10 frames), tells the parent (when it is an input sprite) where to go:
// sprite message 91 with the node in lparam.
//
// Segments: label width + 10 pixels each; as many as fit from the current
// node up are shown. When fewer than three fit, three are shown and the
// widest of them gives up 4 pixels at a time until they fit, never below 18
// pixels; a shortened label ends in two dots. Pixels beyond the bar are
// clipped.
//
// The owner builds the tree and calls RebuildSegments whenever it changes
// currentNode or the nodes on the path (a folder watch rebuilding its tree).
// The bar keeps node pointers between messages, so it drops its own message
// 92 and a sibling choice whose node is no longer on the path, and the
// rebuild closes an open sibling list. A 91 still waiting in the queue when
// the owner rebuilds names a node of the old tree: owners check it against
// their tree before they use it.
//
// Threads: the UI thread builds the segments aside and swaps them in under
// the bar's lock, which the render thread holds while it draws; the mouse
// fields change under the same lock.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "ui/MessageSprite.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/TreeNode.h"

enum TreeTagMessageCode : std::int32_t {
  kTreeTagMsgNavigate = 91,      // to the parent: lparam the node to go to
  kTreeTagMsgOpenSiblings = 92,  // to itself: wparam the segment, lparam its node
};

struct PathSegment {
  CTreeNode* node = nullptr;    // not owned
  CBgraImage label;             // coverage picture of the node's label
  std::int32_t width = 0;       // label width + 10, possibly shortened
  std::int32_t x = 0;           // left edge in the bar, set when drawn
  std::int32_t hoverLevel = 0;  // 0 to 100, 160 while pressed
};

class CSTreeTag : public CMessageSprite {
public:
  static constexpr std::int32_t kMenuId = 100;
  static constexpr std::int32_t kLabelPadding = 10;
  static constexpr std::int32_t kMinSegmentWidth = 18;  // label padding, dots and chevron
  static constexpr std::int32_t kShortenStep = 4;
  static constexpr std::size_t kMinShown = 3;
  static constexpr std::int32_t kLabelBand = 14;  // labels sit this high, centred
  static constexpr std::int32_t kHoverStep = 10;
  static constexpr std::int32_t kHoverFull = 100;
  static constexpr std::int32_t kPressedLevel = 160;
  static constexpr std::int32_t kDecorationBase = 128;

  CSTreeTag() = default;
  ~CSTreeTag() override;

  // Stores the rectangle and rebuilds the segments for the new width.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // Makes the sibling list, a popup of the window (hidden, id 100, layer 201).
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  // Frees the segments; a final one also takes the sibling list out of the
  // window and destroys it.
  void Destroy(int final) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  // 92: opens the sibling list; 11 from the sibling list: the choice.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // A segment's label: the node's text, or one blank when it has none.
  virtual std::u16string GetNodeLabel(const CTreeNode& node);

  // The segments again from currentNode up to its top ancestor (a node
  // whose label cannot be rendered is left out), laid out for the bar's
  // width; the hover and press are dropped and an open sibling list closes.
  void RebuildSegments();
  // The visible segment with x < point x < x + width, -1 for none or a
  // point outside the bar.
  std::int32_t SegmentAtPoint(Point point) const;

  // Fields: UI thread, the segments and mouse fields under lock.
  CTreeNode* currentNode = nullptr;  // set by the owner; null: an empty bar
  // The children of the node whose list is open; null when none.
  const std::vector<std::unique_ptr<CTreeNode>>* siblingList = nullptr;
  CSMenu siblingMenu;
  std::vector<PathSegment> segments;  // index 0: the current node
  std::int32_t visibleCount = 0;
  std::int32_t hoveredSegment = -1;
  std::int32_t pressedSegment = -1;

private:
  // Widths and visibleCount for the bar's width. Caller holds the lock.
  void LayoutSegments();
  // Steps the hover levels one frame; true when one changed. Render thread.
  bool UpdateHoverLevels();
  void ShowSiblings(std::int32_t index, const CTreeNode* node);
  void ChooseSibling(std::int32_t position);
};
