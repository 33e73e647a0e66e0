#include "ui/widgets/STreeTag.h"

#include <algorithm>
#include <mutex>

#include "platform/WindowHost.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"

namespace {

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

std::uint64_t NodeParam(const CTreeNode* node) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(node));
}

// An opaque grey pixel, when it lies on the surface.
void PutGrey(CBgraImage& surface, std::int32_t x, std::int32_t y, std::uint8_t grey) {
  if (x < 0 || y < 0 || x >= Width(surface) || y >= Height(surface)) return;
  std::uint8_t* p = surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
  p[0] = p[1] = p[2] = grey;
  p[3] = 255;
}

}  // namespace

CSTreeTag::~CSTreeTag() { siblingMenu.RemoveFromWindow(); }

bool CSTreeTag::OnSpriteCreate() {
  if (!siblingMenu.Create(nullptr, renderWindow, kMenuId, {0, 0, 100, 100}, kPopupMenuLayer)) return false;
  siblingMenu.visible = 0;
  return true;
}

void CSTreeTag::Destroy(int final) {
  {
    std::lock_guard guard(lock);
    segments.clear();
    visibleCount = 0;
  }
  if (final) {
    siblingMenu.RemoveFromWindow();
    siblingMenu.Destroy(final);
  }
  CMessageSprite::Destroy(final);
}

void CSTreeTag::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CMessageSprite::SetSpriteRect(x, y, w, h);
  RebuildSegments();
}

std::u16string CSTreeTag::GetNodeLabel(const CTreeNode& node) { return node.text.empty() ? u" " : node.text; }

// Segments -----------------------------------------------------------------------------

void CSTreeTag::RebuildSegments() {
  // Built aside: the render thread keeps drawing the old ones meanwhile.
  std::vector<PathSegment> built;
  CSkinSet& skins = UIResources().skins;
  for (CTreeNode* node = currentNode; node; node = node->parent) {
    PathSegment segment;
    segment.node = node;
    if (!skins.RenderTextLocked(GetNodeLabel(*node), segment.label)) continue;
    built.push_back(std::move(segment));
  }
  // The list shows the siblings of a node of the old path.
  if (siblingMenu.key != 0 && siblingMenu.visible) siblingMenu.CloseMenu(false);
  std::lock_guard guard(lock);
  segments.swap(built);
  siblingList = nullptr;
  hoveredSegment = -1;
  pressedSegment = -1;
  LayoutSegments();
  dirty = 1;
}

void CSTreeTag::LayoutSegments() {
  const std::int64_t barWidth = rect.Width();
  const std::size_t count = segments.size();
  std::int64_t total = 0;
  std::size_t fitting = 0;
  for (PathSegment& segment : segments) segment.width = Width(segment.label) + kLabelPadding;
  for (const PathSegment& segment : segments) {
    if (total + segment.width > barWidth) break;
    total += segment.width;
    ++fitting;
  }
  if (fitting < kMinShown && fitting < count) {
    const std::size_t shown = std::min(kMinShown, count);
    std::int64_t excess = -barWidth;
    for (std::size_t i = 0; i < shown; ++i) excess += segments[i].width;
    while (excess > 0) {
      PathSegment* widest = nullptr;
      for (std::size_t i = 0; i < shown; ++i) {
        if (!widest || segments[i].width > widest->width) widest = &segments[i];
      }
      // The shortening stops where a segment keeps only its dots and chevron.
      if (widest->width <= kMinSegmentWidth) break;
      const std::int32_t step = std::min(kShortenStep, widest->width - kMinSegmentWidth);
      widest->width -= step;
      excess -= step;
    }
    fitting = shown;
  }
  visibleCount = static_cast<std::int32_t>(fitting);
}

std::int32_t CSTreeTag::SegmentAtPoint(Point point) const {
  std::lock_guard guard(lock);
  if (!Rect{0, 0, rect.Width(), rect.Height()}.Contains(point)) return -1;
  for (std::int32_t i = 0; i < visibleCount; ++i) {
    const PathSegment& segment = segments[static_cast<std::size_t>(i)];
    if (segment.x < point.x && point.x < segment.x + segment.width) return i;
  }
  return -1;
}

// Drawing ------------------------------------------------------------------------------

bool CSTreeTag::UpdateHoverLevels() {
  bool changed = false;
  for (std::size_t index = 0; index < segments.size(); ++index) {
    PathSegment& segment = segments[index];
    const auto i = static_cast<std::int32_t>(index);
    const std::int32_t before = segment.hoverLevel;
    if (i >= visibleCount) {
      segment.hoverLevel = 0;
      changed = changed || before != 0;
      continue;
    }
    std::int32_t& level = segment.hoverLevel;
    if (i > 0) {
      if (i == pressedSegment) {
        level = std::max(level, kPressedLevel);
      } else {
        level = std::min(level, kHoverFull);
      }
    }
    if (i == hoveredSegment) {
      if (level < kHoverFull) {
        level += kHoverStep;
        if (level >= kHoverFull) {
          level = kHoverFull;
          // With the queue shut down no list opens; nothing else to do.
          static_cast<void>(
              PostSpriteMessage(this, kTreeTagMsgOpenSiblings, index, NodeParam(segment.node), this));
        }
      }
    } else {
      level = std::max(level - kHoverStep, 0);
    }
    changed = changed || level != before;
  }
  return changed;
}

bool CSTreeTag::Draw(std::uint32_t) {
  const bool changed = UpdateHoverLevels();
  if ((!dirty && !changed) || surface.IsEmpty()) return false;
  std::fill(surface.pixels, surface.pixels + surface.byteSize, std::uint8_t{0});
  const std::int32_t height = Height(surface);
  const std::int32_t width = Width(surface);
  const std::int32_t labelTop = (height - kLabelBand) / 2;
  std::int32_t x = 0;
  for (std::int32_t i = visibleCount - 1; i >= 0; --i) {
    PathSegment& segment = segments[static_cast<std::size_t>(i)];
    segment.x = x;
    const CBgraImage& label = segment.label;
    const bool shortened = segment.width - kLabelPadding < Width(label);
    const std::int32_t drawn = shortened ? std::max(0, segment.width - kMinSegmentWidth) : Width(label);
    const std::int32_t level = segment.hoverLevel;
    for (std::int32_t ly = 0; ly < Height(label); ++ly) {
      const std::int32_t y = labelTop + ly;
      if (y < 0 || y >= height) continue;
      const std::uint8_t* coverage = label.At(0, static_cast<std::uint32_t>(ly));
      for (std::int32_t lx = std::max(0, -x); lx < drawn && x + lx < width; ++lx) {
        const std::int32_t value = std::min(255, level + coverage[4 * lx + 2] / 2);
        if (value == 0) continue;
        std::uint8_t* p = surface.At(static_cast<std::uint32_t>(x + lx), static_cast<std::uint32_t>(y));
        p[0] = p[1] = p[2] = static_cast<std::uint8_t>(value);
        p[3] = std::max(p[3], static_cast<std::uint8_t>(value));
      }
    }
    const auto grey = static_cast<std::uint8_t>(std::min(255, level + kDecorationBase));
    if (shortened) {
      const std::int32_t last = x + drawn - 1;
      const std::int32_t bottom = labelTop + Height(label) - 1;
      PutGrey(surface, last + 4, bottom, grey);
      PutGrey(surface, last + 8, bottom, grey);
    }
    if (i > 0) {
      // The chevron: three 2 x 2 blocks in a 4 x 6 box.
      const Point box{x + segment.width - 7, (height - 6) / 2};
      for (const Point block : {Point{0, 0}, Point{2, 2}, Point{0, 4}}) {
        for (std::int32_t dy = 0; dy < 2; ++dy) {
          for (std::int32_t dx = 0; dx < 2; ++dx)
            PutGrey(surface, box.x + block.x + dx, box.y + block.y + dy, grey);
        }
      }
    }
    x += segment.width;
  }
  InvalidateArea({}, 1);
  return true;
}

// Input --------------------------------------------------------------------------------

void CSTreeTag::OnMouseMove(Point point, std::uint32_t) {
  const std::int32_t index = SegmentAtPoint(point);
  CRenderWindow* window = RenderWindowOf(*this);
  if (index < 0) {
    {
      std::lock_guard guard(lock);
      if (hoveredSegment != -1 || pressedSegment != -1) dirty = 1;
      hoveredSegment = -1;
      pressedSegment = -1;
    }
    if (window) window->ReleaseCaptureSprite(this);
    SetWindowCursor(CursorShape::Arrow);
    return;
  }
  bool entered = false;
  {
    std::lock_guard guard(lock);
    if (index != hoveredSegment) {
      hoveredSegment = index;
      entered = true;
    }
    if (hoveredSegment != pressedSegment && pressedSegment != -1) {
      pressedSegment = -1;
      dirty = 1;
    }
  }
  // In the capture list the bar also hears the move that leaves it.
  if (entered && window) window->SetCaptureSprite(this);
  SetWindowCursor(index > 0 ? CursorShape::Hand : CursorShape::Arrow);
}

void CSTreeTag::OnLButtonDown(Point point, std::uint32_t) {
  const std::int32_t index = SegmentAtPoint(point);
  std::lock_guard guard(lock);
  if (index != pressedSegment) dirty = 1;
  pressedSegment = index;
}

void CSTreeTag::OnLButtonUp(Point, std::uint32_t) {
  const CTreeNode* target = nullptr;
  {
    std::lock_guard guard(lock);
    if (pressedSegment > 0 && pressedSegment < visibleCount)
      target = segments[static_cast<std::size_t>(pressedSegment)].node;
    pressedSegment = -1;
    dirty = 1;
  }
  if (!target) return;
  if (parent && parent->IsInputSprite())
    // A parent already gone needs no news.
    static_cast<void>(PostSpriteMessage(parent, kTreeTagMsgNavigate, 0, NodeParam(target), this));
  if (CRenderWindow* window = RenderWindowOf(*this)) window->SpawnClickWave();
}

bool CSTreeTag::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kTreeTagMsgOpenSiblings && message.sender == this) {
    ShowSiblings(static_cast<std::int32_t>(message.wparam),
                 reinterpret_cast<const CTreeNode*>(static_cast<std::uintptr_t>(message.lparam)));
  } else if (message.code == kMenuMsgCommand && message.sender == &siblingMenu) {
    ChooseSibling(static_cast<std::int32_t>(message.wparam));
  }
  return CMessageSprite::OnSpriteMessage(message);
}

void CSTreeTag::ShowSiblings(std::int32_t index, const CTreeNode* node) {
  CRenderWindow* window = RenderWindowOf(*this);
  const CTreeNode* parentNode = nullptr;
  std::int32_t x = 0;
  {
    std::lock_guard guard(lock);
    // Posted by a frame before the owner rebuilt the path: the node may be gone.
    if (index < 0 || index >= visibleCount || segments[static_cast<std::size_t>(index)].node != node) return;
    parentNode = node->parent;
    if (!parentNode || parentNode->children.size() < 2 || !window) return;
    x = segments[static_cast<std::size_t>(index)].x;
    hoveredSegment = -1;
  }
  if (siblingMenu.visible) siblingMenu.CloseMenu(false);
  siblingMenu.Destroy(0);
  std::int32_t ownPosition = 0;
  std::int32_t position = 0;
  for (const auto& child : parentNode->children) {
    ++position;
    if (child.get() == node) {
      ownPosition = position;
      continue;
    }
    siblingMenu.AddItem(u"", position, GetNodeLabel(*child), nullptr);
  }
  siblingMenu.AddItem(u"", 0, u"", nullptr);
  siblingMenu.AddItem(u"", ownPosition, GetNodeLabel(*node), nullptr);
  {
    std::lock_guard guard(lock);
    siblingList = &parentNode->children;
  }
  window->ShowPopupMenu(&siblingMenu, PointToWindow({x, rect.Height()}), true, true, this);
}

void CSTreeTag::ChooseSibling(std::int32_t position) {
  if (!parent || !parent->IsInputSprite()) return;
  const CTreeNode* chosen = nullptr;
  {
    std::lock_guard guard(lock);
    if (!siblingList || position < 1 || static_cast<std::size_t>(position) > siblingList->size()) return;
    // The list belongs to a node on the path, or the path changed under it.
    const bool onPath = std::any_of(segments.begin(), segments.end(), [&](const PathSegment& segment) {
      return &segment.node->children == siblingList;
    });
    if (!onPath) return;
    chosen = (*siblingList)[static_cast<std::size_t>(position - 1)].get();
  }
  // A parent already gone needs no news.
  static_cast<void>(PostSpriteMessage(parent, kTreeTagMsgNavigate, 0, NodeParam(chosen), this));
}
