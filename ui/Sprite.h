#pragma once
// CSprite: a rectangle in its parent's coordinates with its own BGRA surface
// (straight alpha), an ordered child list and a few flags. Top-level sprites
// have no parent and are ordered by layer in the render window, whose render
// thread brings each surface up to date (UpdateSurface) and composes the
// dirty 64-pixel tiles of the window from the surfaces (Composite).
//
// Threads: the UI thread creates, changes, shows, hides and destroys sprites;
// the render thread updates and composes them, holding each sprite's lock
// while it does (a parent's lock before its children's). The UI thread takes
// a sprite's lock when it changes in more than one step what Draw reads; the
// rectangle and the child list change only under it, and a child is
// destroyed through its parent's DestroyChild. Single flags are atomics, so
// a stale read costs at most one frame. The rectangle is written
// by the UI thread only, under the lock; the render thread reads it while it
// holds the locks of the sprite and its ancestors.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "image/BgraImage.h"
#include "platform/Rect.h"
#include "ui/DirtyFlag.h"

class CMessageSprite;
class ISpriteWindow;

// SpriteKind bits of CSprite::kind.
inline constexpr std::uint32_t kSpriteKindAnimation = 0x1;
inline constexpr std::uint32_t kSpriteKindInput = 0x2;  // hit-tested, refreshed, may take the focus
inline constexpr std::uint32_t kSpriteKindNoFaintFocus = 0x8;
inline constexpr std::uint32_t kSpriteKindDialog = 0x20;
inline constexpr std::uint32_t kSpriteKindButton = 0x100;

// The side of a dirty tile.
inline constexpr std::int32_t kSpriteTileSize = 64;

class CSprite {
public:
  CSprite();
  virtual ~CSprite();
  CSprite(const CSprite&) = delete;
  CSprite& operator=(const CSprite&) = delete;

  // Virtual operations, in slot order.
  // now: the frame's millisecond time; 0 forces a full redraw.
  virtual bool UpdateSurface(std::uint32_t now);
  // rect = (x, y, x + w, y + h); dirty. Containers lay out their children.
  virtual void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
  // The empty rectangle means the whole sprite.
  virtual Rect GetFocusRect();
  // Overrides load their pictures and create their children here.
  [[nodiscard]] virtual bool OnSpriteCreate();
  // False: the sprite's own pixels in this local rectangle are not composed
  // (its children are).
  virtual bool DrawsInRect(const Rect& localRect);
  // Paints the surface when dirty is set; true when pixels changed.
  virtual bool Draw(std::uint32_t now);
  // Frees the surface and destroys the children (deleting the owned ones),
  // these after they left the list, outside the lock. Safe to call more than
  // once; final is 1 when the object is about to go.
  virtual void Destroy(int final);

  // Stores the place and the window (the parent's when null), allocates the
  // surface, calls OnSpriteCreate and registers the sprite. The caller then
  // inserts it (AppendChild, or the window's top-level list). Creating a
  // sprite again ends its earlier registration.
  [[nodiscard]] bool Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                            const Rect& spriteRect, std::int32_t spriteLayer);

  // rect in own coordinates; the empty rectangle (right == left) is the whole
  // sprite. Every ancestor and the window tiles under the area are marked
  // dirty whatever state is; state concerns the sprite's own tiles.
  void InvalidateArea(const Rect& area, int state);
  [[nodiscard]] bool EnsureSurface();
  // Window mode: composes the part of the sprite tree under a rectangle in
  // window logical pixels onto the back buffer.
  void Composite(CBgraImage& backBuffer, const Rect& windowRect);
  // Image mode: composes the source rectangle (parent coordinates) onto
  // destination in target; pixels outside target are skipped.
  void Composite(CBgraImage& target, const Rect& destination, const Rect& source);

  // The topmost shown input child (not closing, alive) containing the point
  // (own coordinates). acceptsInput is not asked.
  CSprite* HitTestChild(Point point) const;
  Rect RectToWindow(const Rect& local) const;
  Point PointToWindow(Point local) const;
  Rect RectFromWindow(const Rect& window) const;
  Point PointFromWindow(Point window) const;
  // visible, and every ancestor up to the first one that is no longer alive.
  bool IsShown() const;
  std::int32_t GetEffectiveAlpha() const;
  void FreeSurfaces();
  void FreeHiddenSurfaces();
  // Depth-first, in list order: shown input descendants that can take the
  // focus (Tab order).
  void CollectFocusable(std::vector<CMessageSprite*>& list) const;

  // The child list changes only here, under this sprite's lock. A removed
  // child forgets its parent.
  void AppendChild(CSprite* child);
  [[nodiscard]] bool RemoveChild(CSprite* child);
  // The way to destroy a child while the render thread may be composing this
  // sprite: the child leaves the list under this sprite's lock, which the
  // render thread holds while it updates or composes the children, before
  // any part of it is destroyed (its virtual operations may be running until
  // then); then Destroy(1), and an owned child is deleted. An unowned child
  // is left for its owner to free. False, and nothing done, when it is not a
  // child of this sprite.
  [[nodiscard]] bool DestroyChild(CSprite* child);

  bool IsInputSprite() const { return (kind & kSpriteKindInput) != 0; }

  // Fields. The render thread reads flags while the UI thread writes them.
  mutable std::recursive_mutex lock;
  ISpriteWindow* renderWindow = nullptr;
  CSprite* parent = nullptr;
  std::vector<CSprite*> children;
  std::atomic<std::uint32_t> visible{1};
  CDirtyFlag dirty;
  std::int32_t redrawAgain = 0;       // set by Draw: draw again next frame (animations)
  std::int32_t changedThisFrame = 0;  // set by the parent's update
  std::atomic<std::int32_t> xorBlend{0};
  // The surface's grid of 64-pixel tiles; 0 columns = no tile map yet.
  // Invalidation only needs the grid for its bounds tests.
  std::atomic<std::int32_t> tileColumns{0};
  std::atomic<std::int32_t> tileRows{0};
  CBgraImage surface;
  std::int32_t key = 0;  // registry key, 0 before Create
  std::uint32_t kind = 0;
  std::int32_t id = 0;
  Rect rect;
  std::int32_t layer = 0;
  std::atomic<std::int32_t> alpha{255};
  std::atomic<std::int32_t> closed{0};
  std::int32_t owned = 0;
  std::atomic<std::int32_t> closing{0};

private:
  // A child already out of the list: Destroy(final), then deleted when owned,
  // else it forgets its parent.
  static void DestroyDetachedChild(CSprite* child, int final);
  void CompositeWindow(CBgraImage& backBuffer, const Rect& windowRect, Point parentOrigin,
                       std::int32_t parentAlpha);
  void BlendInto(CBgraImage& target, Point destination, const Rect& local, std::int32_t effectiveAlpha) const;
};
