#include "ui/widgets/STree.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/AnimationSwitch.h"

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

bool HasPixels(const CBgraImage* image) { return image && !image->IsEmpty(); }

}  // namespace

CSTree::CSTree() { scrollBar.idleAlpha = kScrollBarIdleAlpha; }

CSTree::~CSTree() {
  std::lock_guard guard(lock);
  rows.clear();
}

bool CSTree::OnSpriteCreate() {
  if (!scrollBar.Create(this, nullptr, kScrollBarId, {0, 0, kScrollBarWidth, 100}, 2)) return false;
  scrollBar.visible = 0;
  // At the right edge already, for owners that never set the rectangle again.
  scrollBar.SetSpriteRect(rect.Width() - kScrollBarWidth, 0, kScrollBarWidth, rect.Height());
  AppendChild(&scrollBar);
  const CSkinSet& skins = UIResources().skins;
  std::lock_guard guard(lock);
  expandedGlyph = skins.icons.At(kIconTreeExpanded);
  collapsedGlyph = skins.icons.At(kIconTreeCollapsed);
  return true;
}

void CSTree::Destroy(int final) {
  CMoveOverSprite::Destroy(final);
  std::lock_guard guard(lock);
  rows.clear();
}

void CSTree::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CMoveOverSprite::SetSpriteRect(x, y, w, h);
  scrollBar.SetSpriteRect(w - kScrollBarWidth, 0, kScrollBarWidth, h);
  UpdateScrollBar();
}

void CSTree::Notify(std::int32_t code, std::int64_t wparam, const void* lparam) {
  if (parent && parent->IsInputSprite()) {
    // An owner already gone, or a queue shut down, takes no notice.
    static_cast<void>(PostSpriteMessage(parent, code, static_cast<std::uint64_t>(wparam),
                                        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(lparam)),
                                        this));
  }
}

bool CSTree::OverScrollBar(Point point) const { return scrollBar.visible && scrollBar.rect.Contains(point); }

std::int32_t CSTree::RowCount() const {
  std::lock_guard guard(lock);
  return static_cast<std::int32_t>(rows.size());
}

std::int32_t CSTree::MaxScroll() const {
  // The lower bound comes last: content shorter than the view scrolls to 0.
  return std::max(static_cast<std::int32_t>(rows.size()) * rowHeight - rect.Height(), 0);
}

// Rows ---------------------------------------------------------------------------

void CSTree::SetRoot(CTreeNode* node) {
  std::lock_guard guard(lock);
  root = node;
  RebuildRows();
  if (selectedRow != -1) {
    selectedRow = -1;
    barY = barStartY = kNoBar;
    Notify(kTreeMsgSelectionChanged, -1, nullptr);
  } else if (!drawSelectionBar) {
    barY = barStartY = -rowHeight;
    Notify(kTreeMsgSelectionChanged, -1, nullptr);
    scrollOffset = 0;
    UpdateScrollBar();
  }
  dirty = 1;
}

void CSTree::RebuildRows() {
  std::lock_guard guard(lock);
  rows.clear();
  if (root) AppendRows(root, 0);
  // A hover beyond the new rows names no row; the next move finds one.
  const auto count = static_cast<std::int32_t>(rows.size());
  if (hoveredRow >= count) hoveredRow = -1;
  if (hoveredExpander >= count) hoveredExpander = -1;
  dirty = 1;
  UpdateScrollBar();
}

void CSTree::AppendRows(CTreeNode* node, std::int32_t depth) {
  if (node != root && !node->expanded) {
    // Hidden nodes keep no pictures.
    for (const auto& child : node->children) child->ReleaseTextImages();
    return;
  }
  CSkinSet& skins = UIResources().skins;
  for (const auto& entry : node->children) {
    CTreeNode* child = entry.get();
    if (child->textImage.IsEmpty() && !skins.RenderTextLocked(child->text, child->textImage)) continue;
    TreeRow row;
    row.node = child;
    row.depth = depth;
    rows.push_back(row);
    AppendRows(child, depth + 1);
  }
}

// Selection ----------------------------------------------------------------------

void CSTree::SelectRow(std::int32_t row, bool scrollIntoView, bool animate) {
  std::lock_guard guard(lock);
  if (row < -1) row = -1;
  if (row != -1 || row == selectedRow) {
    if (row == selectedRow && drawSelectionBar) return;
    barY = barStartY = (animate ? selectedRow : row) * rowHeight;
    selectedRow = row;
    const CTreeNode* node = row >= 0 && row < static_cast<std::int32_t>(rows.size())
                                ? rows[static_cast<std::size_t>(row)].node
                                : nullptr;
    Notify(kTreeMsgSelectionChanged, row, node);
    dirty = 1;
    if (scrollIntoView) ScrollRowIntoView(row);
    return;
  }
  selectedRow = -1;
  barY = barStartY = kNoBar;
  Notify(kTreeMsgSelectionChanged, -1, nullptr);
  dirty = 1;
}

void CSTree::SelectNode(const CTreeNode* node, bool scrollIntoView) {
  std::lock_guard guard(lock);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].node == node) {
      SelectRow(static_cast<std::int32_t>(i), scrollIntoView, true);
      return;
    }
  }
  if (selectedRow == -1 && drawSelectionBar) return;
  SelectRow(-1, scrollIntoView, true);
}

CTreeNode* CSTree::GetSelectedNode() {
  std::lock_guard guard(lock);
  if (selectedRow < 0) return nullptr;
  if (selectedRow >= static_cast<std::int32_t>(rows.size())) {
    SelectRow(-1, false, false);
    return nullptr;
  }
  return rows[static_cast<std::size_t>(selectedRow)].node;
}

void CSTree::ToggleExpand(std::int32_t row) {
  std::lock_guard guard(lock);
  if (row < 0 || row >= static_cast<std::int32_t>(rows.size())) return;
  CTreeNode* node = rows[static_cast<std::size_t>(row)].node;
  node->expanded = node->expanded ? 0 : 1;
  Notify(kTreeMsgExpandToggled, row, node);
  dirty = 1;
}

// Scrolling ----------------------------------------------------------------------

void CSTree::ScrollRowIntoView(std::int32_t row) {
  std::lock_guard guard(lock);
  const std::int32_t height = rect.Height();
  const std::int32_t y = row * rowHeight - scrollOffset;
  if (y >= 0 && y <= height - rowHeight / 2) return;
  scrollOffset = std::max(std::min(scrollOffset + y - height / 2, MaxScroll()), 0);
  dirty = 1;
  UpdateScrollBar();
}

std::int32_t CSTree::RowAtPoint(Point point) {
  std::lock_guard guard(lock);
  const std::int32_t y = point.y + scrollOffset;
  if (y < 0 || rowHeight <= 0) return -1;
  const std::int32_t r = y / rowHeight;
  if (r >= static_cast<std::int32_t>(rows.size())) return -1;
  if (point.x < rows[static_cast<std::size_t>(r)].expanderLeft) return -1;
  return r;
}

void CSTree::HideScrollBar() {
  if (!scrollBar.visible) return;
  scrollBar.visible = 0;
  if (scrollBar.tileColumns > 0) scrollBar.InvalidateArea({}, 1);
  scrollBar.FreeSurfaces();
}

void CSTree::UpdateScrollBar() {
  std::lock_guard guard(lock);
  const std::int32_t height = rect.Height();
  if (height < kMinScrollHeight) {
    HideScrollBar();
    return;
  }
  const std::int32_t content = static_cast<std::int32_t>(rows.size()) * rowHeight;
  if (height < content) {
    if (!scrollBar.visible) {
      scrollBar.visible = 1;
      scrollBar.dirty = 1;
    }
  } else {
    HideScrollBar();
  }
  scrollOffset = std::max(std::min(scrollOffset, content - height), 0);
  scrollBar.minimum = 0;
  scrollBar.maximum = content;
  scrollBar.page = height;
  scrollBar.position = scrollOffset;
  scrollBar.dirty = 1;
}

// Drawing ------------------------------------------------------------------------

bool CSTree::Draw(std::uint32_t now) {
  const bool eased = CMoveOverSprite::Draw(now);
  const std::int32_t target = selectedRow * rowHeight;
  std::int32_t trail = 0;
  if (barY != target && selectedRow != -1) {
    const std::int32_t distance = std::abs(barY - target);
    const std::int32_t span = std::abs(barStartY - target);
    if (g_AnimationEnabled && distance > 1) {
      barY = (barY + target) / 2;
      trail = span > 0 ? 256 - distance * 256 / span : 0;
    } else {
      barY = target;
    }
    dirty = 1;
  } else if (selectedRow == -1) {
    barY = target;
  }
  if (!dirty || surface.IsEmpty()) return eased;
  std::fill(surface.pixels, surface.pixels + surface.byteSize, std::uint8_t{0});
  InvalidateArea({}, 1);
  if (drawSelectionBar) {
    DrawSelectionBar(barY, 256, rowHeight);
    if (trail > 0) {
      const std::int32_t h = rowHeight + trail * rowHeight / 256;
      DrawSelectionBar(target - trail / 3, 128, h);
      DrawSelectionBar(target + trail / 3, 128, h);
    }
  }
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(rows.size()); ++i) {
    if (DrawRow(i)) break;
  }
  return true;
}

void CSTree::DrawSelectionBar(std::int32_t y, std::int32_t strength, std::int32_t height) {
  y -= scrollOffset;
  const auto surfaceHeight = static_cast<std::int32_t>(surface.height);
  const auto surfaceWidth = static_cast<std::int32_t>(surface.width);
  if (surface.IsEmpty() || y + height < 1 || y >= surfaceHeight) return;
  if (height > rowHeight && rowHeight > 0) {
    const std::int32_t q = (height - rowHeight) * 256 / rowHeight;
    strength = strength * (256 - std::min(q, 256)) / 128;
  }
  const std::uint32_t accent = UIResources().theme.colors[kThemeAccent];
  const auto a = static_cast<std::uint8_t>(strength >= 256 ? 255 : std::clamp(strength, 0, 255));
  const std::uint32_t value = (accent & 0x00FFFFFFu) | (std::uint32_t{a} << 24);
  const std::int32_t from = std::max(y, 0);
  const std::int32_t to = std::min(y + height, surfaceHeight);
  for (std::int32_t row = from; row < to; ++row) {
    auto* pixels = reinterpret_cast<std::uint32_t*>(surface.Row(static_cast<std::uint32_t>(row)));
    for (std::int32_t x = 1; x < surfaceWidth - 1; ++x) pixels[x] = value;
  }
}

void CSTree::DrawRowExtra(std::int32_t, std::int32_t) {}

bool CSTree::DrawRow(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(rows.size()) || surface.IsEmpty()) return false;
  TreeRow& row = rows[static_cast<std::size_t>(index)];
  CTreeNode* node = row.node;
  if (node->textImage.IsEmpty() && !UIResources().skins.RenderTextLocked(node->text, node->textImage))
    return false;
  const CBgraImage& text = node->textImage;
  const auto surfaceWidth = static_cast<std::int32_t>(surface.width);
  const auto surfaceHeight = static_cast<std::int32_t>(surface.height);
  const std::int32_t rowY = index * rowHeight - scrollOffset;
  const std::int32_t o = (rowHeight - Height(text)) / 2;
  const std::int32_t t = rowY + o;
  if (rowY + rowHeight - o <= 0) return t >= surfaceHeight;
  if (t >= surfaceHeight) return t > surfaceHeight;

  std::int32_t x = row.depth * kIndent;
  if (x > surfaceWidth) return false;
  row.expanderLeft = x;
  if (HasPixels(expandedGlyph) && HasPixels(collapsedGlyph)) {
    if (!node->HasChildren()) {
      x += Width(*collapsedGlyph);
      row.expanderLeft = x;
    } else {
      const CBgraImage& glyph = node->expanded ? *expandedGlyph : *collapsedGlyph;
      // The expanders fade in while the pointer is over the tree.
      const std::int32_t base = hoveredExpander == index ? 255 : 192;
      const std::int32_t strength = std::max(base * (alpha - 192) / (255 - 192), 0);
      BlendImage(surface, glyph, x, rowY + (rowHeight - Height(glyph)) / 2, true, {}, strength);
      row.hasExpander = 1;
      x += Width(glyph) + 1;
    }
  } else {
    x += 16;
    row.expanderLeft = x;
  }
  row.expanderRight = x;
  if (HasPixels(node->icon)) {
    BlendImage(surface, *node->icon, x, rowY + (rowHeight - Height(*node->icon)) / 2, true, {}, 256);
    row.hasIcon = 1;
    x += Width(*node->icon) + 1;
  }
  row.textLeft = x + 4;
  row.textTop = std::max(t, 0);

  const std::uint8_t grey = GreyOf(UIResources().theme.colors[0]);
  const std::int32_t textWidth = Width(text);
  const std::int32_t rowEnd = std::min(rowY + rowHeight - o, surfaceHeight);
  const std::int32_t firstColumn = std::max(row.textLeft, 0);
  const std::int32_t endColumn = std::min(row.textLeft + textWidth, surfaceWidth);
  std::int32_t lastRow = -1;
  for (std::int32_t y = row.textTop; y < rowEnd; ++y) {
    const std::int32_t ty = y - t;
    if (ty < 0 || ty >= Height(text)) continue;
    lastRow = y;
    const std::uint8_t* coverage = text.At(0, static_cast<std::uint32_t>(ty));
    std::uint8_t* target = surface.At(0, static_cast<std::uint32_t>(y));
    for (std::int32_t column = firstColumn; column < endColumn; ++column) {
      const std::int32_t c = coverage[4 * (column - row.textLeft) + 2];
      if (c == 0) continue;
      std::uint8_t* p = target + 4 * column;
      for (int channel = 0; channel < 3; ++channel)
        p[channel] = static_cast<std::uint8_t>((c * grey + p[channel] * (256 - c)) / 256);
      p[3] = static_cast<std::uint8_t>(std::max<std::int32_t>(p[3], c));
    }
  }
  if (lastRow >= 0 && index == hoveredRow && index != selectedRow && index != hoveredExpander) {
    const std::uint32_t line = GreyColor(UIResources().theme.colors[2]);
    auto* pixels = reinterpret_cast<std::uint32_t*>(surface.Row(static_cast<std::uint32_t>(lastRow)));
    for (std::int32_t column = firstColumn; column < endColumn; ++column) pixels[column] = line;
    row.textFits = row.textLeft + textWidth <= surfaceWidth ? 1 : 0;
  }
  DrawRowExtra(index, rowY);
  return row.textTop >= surfaceHeight;
}

// Input --------------------------------------------------------------------------

void CSTree::OnMouseMove(Point point, std::uint32_t flags) {
  CMoveOverSprite::OnMouseMove(point, flags);
  if (OverScrollBar(point)) return;
  CRenderWindow* window = RenderWindowOf(*this);
  if (Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) {
    bool showTip = false;
    Point tipPoint;
    std::u16string tipText;
    {
      std::lock_guard guard(lock);
      const std::int32_t r = RowAtPoint(point);
      if (r != hoveredRow) {
        hoveredRow = r;
        dirty = 1;
      }
      std::int32_t expander = -1;
      if (r >= 0) {
        const TreeRow& row = rows[static_cast<std::size_t>(r)];
        if (!row.textFits) {
          showTip = true;
          tipPoint = PointToWindow({row.textLeft - 4, row.textTop - 4});
          tipText = row.node->text;
        }
        if (row.expanderLeft < point.x && point.x < row.expanderRight) expander = r;
      }
      if (expander != hoveredExpander) {
        hoveredExpander = expander;
        dirty = 1;
      }
    }
    if (window) {
      if (showTip) {
        window->ShowTip(tipPoint.x, tipPoint.y, tipText, true, false);
      } else {
        window->HideTip();
      }
    }
    OnSetCursor(point);
  } else if (window) {
    window->HideTip();
  }
  std::lock_guard guard(lock);
  if (dragging) {
    scrollOffset = dragStartScroll + pressPoint.y - point.y;
    UpdateScrollBar();
    dirty = 1;
  }
}

void CSTree::OnLButtonDown(Point point, std::uint32_t flags) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!OverScrollBar(point)) {
    std::int32_t row = -1;
    std::int32_t offset = 0;
    {
      std::lock_guard guard(lock);
      row = RowAtPoint(point);
      if (rowHeight > 0) offset = ((point.y + scrollOffset) % rowHeight) * 65536 + point.x;
    }
    bool taken = false;
    if (row >= 0 && parent && parent->IsInputSprite()) {
      if (auto* asked = dynamic_cast<CMessageSprite*>(parent))
        taken = asked->OnChildNotify(kTreeAskPress, static_cast<std::uint64_t>(row),
                                     static_cast<std::uint64_t>(static_cast<std::uint32_t>(offset)));
    }
    if (!taken) {
      {
        std::lock_guard guard(lock);
        dragging = 1;
        pressPoint = point;
        dragStartScroll = scrollOffset;
      }
      if (window) window->SetCaptureSprite(this);
    }
  }
  CMoveOverSprite::OnLButtonDown(point, flags);
  if (window) window->HideTip();
}

void CSTree::OnLButtonUp(Point point, std::uint32_t flags) {
  enum class Click { None, Expand, Select, Clear } click = Click::None;
  std::int32_t target = -1;
  bool wasDragging = false;
  {
    std::lock_guard guard(lock);
    wasDragging = dragging != 0;
    if (wasDragging && std::abs(point.x - pressPoint.x) < kClickSlop &&
        std::abs(point.y - pressPoint.y) < kClickSlop) {
      if (hoveredExpander != -1) {
        click = Click::Expand;
        target = hoveredExpander;
      } else if (hoveredRow != -1) {
        click = Click::Select;
        target = hoveredRow;
      } else if (clearOnEmptyClick) {
        click = Click::Clear;
      }
    }
    dragging = 0;
  }
  CRenderWindow* window = RenderWindowOf(*this);
  switch (click) {
    case Click::Expand:
      ToggleExpand(target);
      break;
    case Click::Select:
      SelectRow(target, true, true);
      if (clickWave && window) window->SpawnClickWave();
      break;
    case Click::Clear:
      SelectRow(-1, true, true);
      break;
    case Click::None:
      break;
  }
  // The press joined the capture list; while the pointer is over the tree
  // it stays there for the hover tracking, which hears the leaving move.
  if (wasDragging && !pointerInside && window) window->ReleaseCaptureSprite(this);
  CMoveOverSprite::OnLButtonUp(point, flags);
}

void CSTree::OnLButtonDblClk(Point point, std::uint32_t flags) {
  if (!HitTestChild(point) && parent && parent->IsInputSprite()) {
    std::lock_guard guard(lock);
    const std::int32_t y = scrollOffset + point.y;
    const std::int32_t r = y >= 0 && rowHeight > 0 ? y / rowHeight : -1;
    if (r >= 0 && r < static_cast<std::int32_t>(rows.size()))
      Notify(kTreeMsgDoubleClicked, r, rows[static_cast<std::size_t>(r)].node);
  }
  CMoveOverSprite::OnLButtonDblClk(point, flags);
}

void CSTree::OnCaptureReleased() {
  std::lock_guard guard(lock);
  dragging = 0;
}

bool CSTree::OnSetCursor(Point point) {
  if (HitTestChild(point)) return CMoveOverSprite::OnSetCursor(point);
  bool hand = false;
  {
    std::lock_guard guard(lock);
    hand = hoveredRow != -1 && hoveredRow != hoveredExpander;
  }
  SetWindowCursor(hand ? CursorShape::Hand : CursorShape::Arrow);
  return true;
}

void CSTree::OnMouseWheel(Point, std::int32_t delta) {
  std::lock_guard guard(lock);
  if (surface.IsEmpty()) return;
  scrollOffset = std::max(std::min(scrollOffset - delta, MaxScroll()), 0);
  UpdateScrollBar();
  dirty = 1;
}

bool CSTree::OnSpriteMessage(const SpriteMessage& message) {
  if (message.sender == &scrollBar) {
    std::lock_guard guard(lock);
    const std::int32_t step = rowHeight / 4;
    switch (message.code) {
      case kScrollMsgLineUp:
        if (scrollOffset > 0) scrollOffset = std::max(scrollOffset - step, 0);
        break;
      case kScrollMsgLineDown:
        if (scrollOffset < static_cast<std::int32_t>(rows.size()) * rowHeight - rect.Height())
          scrollOffset += step;
        break;
      case kScrollMsgPositionChanged:
        scrollOffset = scrollBar.position;
        break;
      default:
        break;
    }
    dirty = 1;
    UpdateScrollBar();
  }
  return CMoveOverSprite::OnSpriteMessage(message);
}

void CSTree::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  std::int32_t target = -1;
  {
    std::lock_guard guard(lock);
    const auto count = static_cast<std::int32_t>(rows.size());
    if (count == 0) return;
    const std::int32_t last = count - 1;
    const std::int32_t page = rowHeight > 0 ? rect.Height() / rowHeight : 0;
    const bool selected = selectedRow >= 0 && selectedRow < count;
    CTreeNode* node = selected ? rows[static_cast<std::size_t>(selectedRow)].node : nullptr;
    switch (key) {
      case VK_BACK:
        // An owner already gone, or a queue shut down, takes no notice.
        if (parent && parent->IsInputSprite())
          static_cast<void>(PostSpriteMessage(parent, kTreeMsgBackspace, 0, 0, nullptr));
        return;
      case VK_PRIOR:
        target = selectedRow == -1 ? 0 : std::max(selectedRow - page, 0);
        break;
      case VK_NEXT:
        target = std::min(selectedRow + page, last);
        break;
      case VK_HOME:
        target = 0;
        break;
      case VK_END:
        target = last;
        break;
      case VK_UP:
        target = selectedRow <= 0 ? last : selectedRow - 1;
        break;
      case VK_DOWN:
        target = selectedRow == -1 || selectedRow >= last ? 0 : selectedRow + 1;
        break;
      case VK_ADD:
      case VK_OEM_PLUS:
        if (node && node->HasChildren() && !node->expanded) ToggleExpand(selectedRow);
        return;
      case VK_SUBTRACT:
      case VK_OEM_MINUS:
        if (node && node->HasChildren() && node->expanded) ToggleExpand(selectedRow);
        return;
      default:
        return;
    }
  }
  SelectRow(target, true, true);
}
