#include "ui/Sprite.h"

#include <algorithm>
#include <cstring>

#include "ui/BlendTables.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/MessageSprite.h"
#include "ui/SpriteWindow.h"

namespace {

std::int32_t TileCount(std::int32_t pixels) { return (pixels + kSpriteTileSize - 1) / kSpriteTileSize; }

// One row of the blend. Normal mode: weight w = S[a][source alpha]; 0 keeps
// the pixel, 255 copies all four bytes, else colour = S[w][s] + D[w][d] with
// the destination alpha kept. XOR mode blends light source pixels (grey from
// 193 up) as S[w][s ^ d] + D[w][d], so an overlay shows on any background.
void BlendRow(std::uint8_t* target, const std::uint8_t* source, std::int32_t count, std::int32_t alpha,
              bool xorMode, const BlendTables& t) {
  if (!xorMode) {
    const std::uint8_t* weights = t.source[alpha];
    for (std::int32_t i = 0; i < count;) {
      const std::uint8_t w = weights[source[4 * i + 3]];
      if (w == 255) {
        // A run of fully weighted pixels is one copy: most of the interface.
        // At full sprite alpha the weight is the source alpha itself.
        std::int32_t end = i + 1;
        if (alpha == 255) {
          while (end < count && source[4 * end + 3] == 255) ++end;
        } else {
          while (end < count && weights[source[4 * end + 3]] == 255) ++end;
        }
        std::memcpy(target + 4 * i, source + 4 * i, static_cast<std::size_t>(end - i) * 4);
        i = end;
        continue;
      }
      if (w != 0) {
        for (int c = 0; c < 3; ++c) {
          target[4 * i + c] =
              static_cast<std::uint8_t>(t.source[w][source[4 * i + c]] + t.destination[w][target[4 * i + c]]);
        }
      }
      ++i;
    }
    return;
  }
  for (std::int32_t i = 0; i < count; ++i, target += 4, source += 4) {
    const std::int32_t p = alpha * source[3];
    if (p <= 255) continue;
    const std::int32_t w = p / 256;
    const std::int32_t grey = (6 * source[1] + 3 * source[2] + source[0]) / 10;
    for (int c = 0; c < 3; ++c) {
      const std::uint8_t s = grey < 193 ? source[c] : static_cast<std::uint8_t>(source[c] ^ target[c]);
      target[c] = static_cast<std::uint8_t>(t.source[w][s] + t.destination[w][target[c]]);
    }
  }
}

bool IsChildComposed(const CSprite* child) {
  return IsObjectAlive(child) && child->visible && !child->closing;
}

}  // namespace

CSprite::CSprite() = default;

CSprite::~CSprite() {
  if (renderWindow && renderWindow == LiveSpriteWindow()) renderWindow->RemoveKeyShortcuts(this);
  // Unregistered first: from here on no queued message reaches the sprite.
  if (key) UnregisterObject(key);
  // A member child dies with its container, after the container's own
  // destructor: it leaves the container's list here. That is safe only
  // because the container is out of the tree by then; any other child is
  // taken out first by its parent's DestroyChild.
  // False when the parent has let go of it already.
  if (parent) static_cast<void>(parent->RemoveChild(this));
  CSprite::Destroy(1);
}

bool CSprite::UpdateSurface(std::uint32_t now) {
  if (now == 0) dirty = 1;
  std::lock_guard guard(lock);
  if (!EnsureSurface()) return false;
  bool changed = false;
  for (CSprite* child : children) {
    child->changedThisFrame = 0;
    if (child->visible && child->UpdateSurface(now)) {
      child->changedThisFrame = 1;
      changed = true;
    }
  }
  redrawAgain = 0;
  const std::uint32_t seen = dirty.Snapshot();
  const bool drew = Draw(now);
  if (redrawAgain) {
    dirty = 1;
  } else {
    dirty.ClearUnlessSetSince(seen);
  }
  return drew || changed;
}

void CSprite::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  rect = {x, y, x + w, y + h};
  dirty = 1;
}

Rect CSprite::GetFocusRect() { return {}; }

bool CSprite::OnSpriteCreate() { return true; }

bool CSprite::DrawsInRect(const Rect&) { return true; }

bool CSprite::Draw(std::uint32_t) { return false; }

void CSprite::Destroy(int final) {
  std::vector<CSprite*> list;
  {
    std::lock_guard guard(lock);
    surface.Free();
    tileColumns = 0;
    tileRows = 0;
    list.swap(children);
  }
  // Out of the list, the children are destroyed outside this sprite's lock,
  // as DestroyChild does: a child may call into the window, whose lock comes
  // before any sprite's.
  for (CSprite* child : list) DestroyDetachedChild(child, final);
}

void CSprite::DestroyDetachedChild(CSprite* child, int final) {
  child->Destroy(final);
  if (child->owned) {
    delete child;
  } else {
    child->parent = nullptr;  // a child that outlives its parent must not point at it
  }
}

bool CSprite::Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                     const Rect& spriteRect, std::int32_t spriteLayer) {
  {
    std::lock_guard guard(lock);
    parent = parentSprite;
    renderWindow = window ? window : (parentSprite ? parentSprite->renderWindow : nullptr);
    id = spriteId;
    rect = spriteRect;
    layer = spriteLayer;
    children.reserve(32);
    if (!EnsureSurface()) return false;
  }
  if (!OnSpriteCreate()) return false;
  const std::int32_t newKey = RegisterObject(static_cast<const CSprite*>(this), LiveObjectKind::Sprite);
  if (newKey == 0) return false;
  if (key) UnregisterObject(key);
  key = newKey;
  return true;
}

void CSprite::InvalidateArea(const Rect& area, int state) {
  (void)state;  // the sprite keeps no per-tile marks; see tileColumns
  Rect r = area;
  if (r.right == r.left) r = {0, 0, rect.Width(), rect.Height()};
  const std::int32_t columns = tileColumns;
  const std::int32_t rows = tileRows;
  if (r.right == r.left || columns == 0) return;
  // Integer division truncates toward zero, as the tile arithmetic expects.
  const std::int32_t c1 = (r.right + 63) / 64;
  const std::int32_t r1 = (r.bottom + 63) / 64;
  if (c1 < 0 || r1 < 0) return;
  const std::int32_t c0 = std::max(r.left / 64, 0);
  const std::int32_t r0 = std::max(r.top / 64, 0);
  if (c0 >= columns || r0 >= rows) return;
  const Rect moved = r.Offset(rect.left, rect.top);
  if (parent) {
    parent->InvalidateArea(moved, 1);
  } else if (renderWindow && renderWindow == LiveSpriteWindow()) {
    renderWindow->MarkWindowTiles(moved);
  }
}

bool CSprite::EnsureSurface() {
  std::lock_guard guard(lock);
  const std::int32_t w = rect.Width();
  const std::int32_t h = rect.Height();
  if (!surface.IsEmpty() && static_cast<std::int64_t>(surface.width) == w &&
      static_cast<std::int64_t>(surface.height) == h && tileColumns > 0) {
    return true;
  }
  if (w <= 0 || h <= 0) {
    // Nothing to allocate; an old surface of another size must not stay.
    surface.Free();
    tileColumns = 0;
    tileRows = 0;
    return true;
  }
  if (!surface.Create(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h))) {
    tileColumns = 0;
    tileRows = 0;
    return false;
  }
  tileColumns = TileCount(w);
  tileRows = TileCount(h);
  std::memset(surface.pixels, 0, surface.byteSize);
  InvalidateArea({}, 1);
  dirty = 1;
  return true;
}

void CSprite::BlendInto(CBgraImage& target, Point destination, const Rect& local,
                        std::int32_t effectiveAlpha) const {
  const BlendTables* tables = GetBlendTables();
  if (!tables) return;
  // Clip to the target so that no caller can make us write outside it.
  std::int32_t x0 = local.left, y0 = local.top, x1 = local.right, y1 = local.bottom;
  std::int32_t dx = destination.x, dy = destination.y;
  if (dx < 0) {
    x0 -= dx;
    dx = 0;
  }
  if (dy < 0) {
    y0 -= dy;
    dy = 0;
  }
  x1 = static_cast<std::int32_t>(std::min<std::int64_t>(x1, std::int64_t{x0} + target.width - dx));
  y1 = static_cast<std::int32_t>(std::min<std::int64_t>(y1, std::int64_t{y0} + target.height - dy));
  if (x1 <= x0 || y1 <= y0) return;
  const bool xorMode = xorBlend != 0;
  const std::int32_t a = std::clamp(effectiveAlpha, 0, 255);
  for (std::int32_t y = y0; y < y1; ++y) {
    BlendRow(target.At(static_cast<std::uint32_t>(dx), static_cast<std::uint32_t>(dy + (y - y0))),
             surface.At(static_cast<std::uint32_t>(x0), static_cast<std::uint32_t>(y)), x1 - x0, a, xorMode,
             *tables);
  }
}

void CSprite::Composite(CBgraImage& backBuffer, const Rect& windowRect) {
  const Point parentOrigin = parent ? parent->PointToWindow({0, 0}) : Point{};
  const std::int32_t parentAlpha = parent ? parent->GetEffectiveAlpha() : 255;
  CompositeWindow(backBuffer, windowRect, parentOrigin, parentAlpha);
}

void CSprite::CompositeWindow(CBgraImage& backBuffer, const Rect& windowRect, Point parentOrigin,
                              std::int32_t parentAlpha) {
  std::lock_guard guard(lock);
  if (surface.IsEmpty() || backBuffer.IsEmpty() || !GetBlendTables()) return;
  const Point origin{parentOrigin.x + rect.left, parentOrigin.y + rect.top};
  Rect local = windowRect.Offset(-origin.x, -origin.y);
  const auto sw = static_cast<std::int32_t>(surface.width);
  const auto sh = static_cast<std::int32_t>(surface.height);
  if (local.left > sw || local.top > sh || local.right < 0 || local.bottom < 0) return;
  local = {std::max(local.left, 0), std::max(local.top, 0), std::min(local.right, sw),
           std::min(local.bottom, sh)};
  if (local.IsEmpty()) return;
  const std::int32_t effectiveAlpha = parentAlpha * alpha / 255;
  if (DrawsInRect(local))
    BlendInto(backBuffer, {local.left + origin.x, local.top + origin.y}, local, effectiveAlpha);
  for (CSprite* child : children) {
    if (IsChildComposed(child)) child->CompositeWindow(backBuffer, windowRect, origin, effectiveAlpha);
  }
  InvalidateArea(local, 0);
}

void CSprite::Composite(CBgraImage& target, const Rect& destination, const Rect& source) {
  std::lock_guard guard(lock);
  if (surface.IsEmpty() || target.IsEmpty() || !GetBlendTables()) return;
  Rect local = source.Offset(-rect.left, -rect.top);
  const auto sw = static_cast<std::int32_t>(surface.width);
  const auto sh = static_cast<std::int32_t>(surface.height);
  if (local.left > sw || local.top > sh || local.right < 0 || local.bottom < 0) return;
  Rect dest = destination;
  if (local.left < 0) {
    dest.left -= local.left;
    local.left = 0;
  }
  if (local.top < 0) {
    dest.top -= local.top;
    local.top = 0;
  }
  if (local.right > sw) {
    dest.right -= local.right - sw;
    local.right = sw;
  }
  if (local.bottom > sh) {
    dest.bottom -= local.bottom - sh;
    local.bottom = sh;
  }
  if (local.IsEmpty()) return;
  if (DrawsInRect(local)) BlendInto(target, {dest.left, dest.top}, local, GetEffectiveAlpha());
  for (CSprite* child : children) {
    if (IsChildComposed(child)) child->Composite(target, dest, local);
  }
  InvalidateArea(local, 0);
}

CSprite* CSprite::HitTestChild(Point point) const {
  if (!IsShown()) return nullptr;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    CSprite* child = *it;
    if (child->IsInputSprite() && child->visible && !child->closing && IsObjectAlive(child) &&
        child->rect.Contains(point)) {
      return child;
    }
  }
  return nullptr;
}

Point CSprite::PointToWindow(Point local) const {
  for (const CSprite* s = this; s; s = s->parent) {
    local.x += s->rect.left;
    local.y += s->rect.top;
  }
  return local;
}

Rect CSprite::RectToWindow(const Rect& local) const {
  const Point origin = PointToWindow({0, 0});
  return local.Offset(origin.x, origin.y);
}

Point CSprite::PointFromWindow(Point window) const {
  const Point origin = PointToWindow({0, 0});
  return {window.x - origin.x, window.y - origin.y};
}

Rect CSprite::RectFromWindow(const Rect& window) const {
  const Point origin = PointToWindow({0, 0});
  return window.Offset(-origin.x, -origin.y);
}

bool CSprite::IsShown() const {
  if (!visible) return false;
  for (const CSprite* p = parent; p; p = p->parent) {
    // An ancestor that is gone no longer hides anything, and is not read.
    if (!IsObjectAlive(p)) return true;
    if (!p->visible) return false;
  }
  return true;
}

std::int32_t CSprite::GetEffectiveAlpha() const {
  if (!parent || !IsObjectAlive(parent)) return alpha;
  return parent->GetEffectiveAlpha() * alpha / 255;
}

void CSprite::FreeSurfaces() {
  std::lock_guard guard(lock);
  surface.Free();
  for (CSprite* child : children) {
    if (IsObjectAlive(child)) child->FreeSurfaces();
  }
}

void CSprite::FreeHiddenSurfaces() {
  if (IsShown()) return;
  std::lock_guard guard(lock);
  surface.Free();
  for (CSprite* child : children) child->FreeHiddenSurfaces();
}

void CSprite::CollectFocusable(std::vector<CMessageSprite*>& list) const {
  for (CSprite* child : children) {
    const bool shown = child->IsShown();
    if (shown && child->IsInputSprite()) {
      auto* input = dynamic_cast<CMessageSprite*>(child);
      if (input && input->CanTakeFocus()) list.push_back(input);
    }
    if (shown) child->CollectFocusable(list);
  }
}

void CSprite::AppendChild(CSprite* child) {
  if (!child || child == this) return;
  std::lock_guard guard(lock);
  children.push_back(child);
  child->parent = this;
}

bool CSprite::RemoveChild(CSprite* child) {
  std::lock_guard guard(lock);
  const auto it = std::find(children.begin(), children.end(), child);
  if (it == children.end()) return false;
  children.erase(it);
  if (child->parent == this) child->parent = nullptr;
  return true;
}

bool CSprite::DestroyChild(CSprite* child) {
  {
    std::lock_guard guard(lock);
    const auto it = std::find(children.begin(), children.end(), child);
    if (it == children.end()) return false;
    children.erase(it);
  }
  // Out of the list: the render thread, which finds children only there,
  // no longer reaches it.
  DestroyDetachedChild(child, 1);
  return true;
}
