#pragma once
// CSTree: a hierarchy of CTreeNode objects shown as rows, each expanded
// node's children after it, indented 12 pixels a level, with an expander
// glyph, an optional icon and the node's text. A selection bar slides to the
// selected row when animations are on; the row under the pointer is
// underlined, and a text cut at the right edge shows whole as an opaque
// tooltip. A press drags the rows (drag-to-scroll); a release within 5
// pixels is a click. The owner builds the hierarchy and is told by sprite
// messages to its parent (when that is an input sprite): 2 an expander was
// flipped (the owner fills or drops the children and rebuilds the rows), 3
// the selection changed, 4 Backspace, 99 a double click. Before a press
// starts a drag the tree asks its parent OnChildNotify(881, row, offset
// within the row x 65536 + x); a parent that answers true takes the press.
//
// Threads: the owner changes the hierarchy on the UI thread inside an
// EditGuard, which holds the tree's lock and rebuilds the rows when it
// ends; the render thread draws under the same lock, reading the rows and
// the nodes they point at. Every change of the rows, the selection, the
// scroll and the hover state happens under the lock too. The lock is never
// held while the tree calls its parent or the window. Lock order: the
// tree's lock, then the skin set's (text rendering).

#include <cstdint>
#include <mutex>
#include <vector>

#include "ui/widgets/MoveOverSprite.h"
#include "ui/widgets/SScrollBar.h"
#include "ui/widgets/TreeNode.h"
#include "ui/widgets/TreeRow.h"

enum TreeMessageCode : std::int32_t {
  kTreeMsgExpandToggled = 2,     // wparam row, lparam node
  kTreeMsgSelectionChanged = 3,  // wparam row (-1 none), lparam node or 0
  kTreeMsgBackspace = 4,         // no sender
  kTreeMsgDoubleClicked = 99,    // wparam row, lparam node
  kTreeAskPress = 881,           // OnChildNotify: true takes the press over
};

class CSTree : public CMoveOverSprite {
public:
  static constexpr std::int32_t kIndent = 12;
  static constexpr std::int32_t kScrollBarId = 9;
  static constexpr std::int32_t kScrollBarWidth = 17;
  static constexpr std::int32_t kScrollBarIdleAlpha = 100;
  static constexpr std::int32_t kMinScrollHeight = 33;
  static constexpr std::int32_t kClickSlop = 5;
  static constexpr std::int32_t kNoBar = -100;

  // Holds the tree's lock while the owner changes the hierarchy it shows;
  // the rows are rebuilt, still under the lock, when the guard ends, so the
  // render thread never meets a row whose node is gone.
  class EditGuard {
  public:
    explicit EditGuard(CSTree& tree) : m_tree(tree), m_guard(tree.lock) {}
    ~EditGuard() { m_tree.RebuildRows(); }
    EditGuard(const EditGuard&) = delete;
    EditGuard& operator=(const EditGuard&) = delete;

  private:
    CSTree& m_tree;
    std::lock_guard<std::recursive_mutex> m_guard;
  };

  CSTree();
  ~CSTree() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // Creates the scroll bar (hidden) and takes the expander glyphs from the
  // skin set's icons.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool CanTakeFocus() override { return true; }
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // Extra content after a row (subclasses); rowY is the row's top in the
  // surface. Render thread, lock held.
  virtual void DrawRowExtra(std::int32_t row, std::int32_t rowY);
  // Draws one row; true once the row lies below the surface (the walk
  // ends). Render thread, lock held.
  virtual bool DrawRow(std::int32_t row);

  // Shows a hierarchy (not owned; the root has no row) and drops the
  // selection.
  void SetRoot(CTreeNode* node);
  // The rows again from the root; the scroll bar follows.
  void RebuildRows();
  void SelectRow(std::int32_t row, bool scrollIntoView, bool animate);
  void SelectNode(const CTreeNode* node, bool scrollIntoView);
  // Null without a selection; a selection beyond the rows is cleared.
  CTreeNode* GetSelectedNode();
  void ToggleExpand(std::int32_t row);
  void ScrollRowIntoView(std::int32_t row);
  // The row under a point, -1 outside the rows or left of the row's
  // expander zone.
  std::int32_t RowAtPoint(Point point);
  void UpdateScrollBar();
  // A bar of the accent colour at content y; strength 256 opaque.
  void DrawSelectionBar(std::int32_t y, std::int32_t strength, std::int32_t height);
  std::int32_t RowCount() const;

  // Fields; under lock.
  CTreeNode* root = nullptr;
  std::vector<TreeRow> rows;
  const CBgraImage* expandedGlyph = nullptr;
  const CBgraImage* collapsedGlyph = nullptr;
  std::int32_t clickWave = 1;  // a click on a row shows a click wave
  std::int32_t scrollOffset = 0;
  std::int32_t rowHeight = 20;
  std::int32_t selectedRow = -1;
  std::int32_t barY = kNoBar;  // content y of the selection bar
  std::int32_t hoveredRow = -1;
  std::int32_t hoveredExpander = -1;
  std::int32_t barStartY = kNoBar;
  std::int32_t drawSelectionBar = 1;
  std::int32_t clearOnEmptyClick = 0;
  CSScrollBar scrollBar;
  std::int32_t dragStartScroll = 0;
  Point pressPoint;
  std::int32_t dragging = 0;

protected:
  // Posts to the parent when it is an input sprite.
  void Notify(std::int32_t code, std::int64_t wparam, const void* lparam);
  bool OverScrollBar(Point point) const;

private:
  void AppendRows(CTreeNode* node, std::int32_t depth);
  void HideScrollBar();
  // The row count times the row height less the height, at least 0.
  std::int32_t MaxScroll() const;
};
