#pragma once
// CMessageSprite: a sprite that takes input. The render window calls its
// mouse, keyboard, message and drop operations; by default the pointer
// operations go to the child under the point, in that child's coordinates.
// A button event that reaches a sprite because it holds the mouse capture
// (flag kMouseFlagCaptured) is never handed further down.

#include <cstdint>

#include "platform/UiMessage.h"
#include "ui/AnimationSprite.h"
#include "ui/SpriteMessage.h"

// Added to the mouse-key flags of an event delivered through the capture.
inline constexpr std::uint32_t kMouseFlagCaptured = 0x40000000;

class CMessageSprite : public CAnimationSprite {
public:
  // Virtual operations, in slot order after those of CSprite. Points are in
  // the sprite's own coordinates; flags are the MK_* flags of the message.
  virtual void OnMouseWheel(Point point, std::int32_t delta);
  virtual void OnMouseMove(Point point, std::uint32_t flags);
  virtual void OnLButtonDown(Point point, std::uint32_t flags);
  virtual void OnLButtonUp(Point point, std::uint32_t flags);
  virtual void OnRButtonDown(Point point, std::uint32_t flags);
  virtual void OnRButtonUp(Point point, std::uint32_t flags);
  virtual void OnLButtonDblClk(Point point, std::uint32_t flags);
  // character: one UTF-16 unit; key: a virtual-key code; flags: the high
  // word of the key data.
  virtual void OnChar(std::uint32_t character, std::uint32_t repeat, std::uint32_t flags);
  virtual void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags);
  virtual void OnKeyUp(std::uint32_t key, std::uint32_t flags);
  // A synchronous question from a child; true = handled.
  virtual bool OnChildNotify(std::int32_t code, std::uint64_t wparam, std::uint64_t lparam);
  virtual bool CanTakeFocus();
  virtual bool ShowsFocusIndicator();
  // The sprite left the mouse-capture list.
  virtual void OnCaptureReleased();
  virtual bool OnSetCursor(Point point);
  // 20000 (refresh): dirty, and the refresh goes on to every input child
  // as a new message, one level per delivery.
  virtual bool OnSpriteMessage(const SpriteMessage& message);
  virtual std::uint32_t OnDragOver(Point point);
  virtual std::int32_t OnDrop(Point point, const CDropFileList& files);
  // True while the sprite, when it has the keyboard focus, takes typed text
  // (an edit field, the canvas with the text tool): the window turns text
  // input and input methods on only then.
  virtual bool WantsTextInput();

  // Hands a visual state down the active child (or every input child, the
  // last becoming active), then takes it and is dirty.
  bool PropagateState(std::uint8_t newState);

  std::uint8_t state = 0;
  std::int32_t activeChild = -1;
  // The enabled flag of a control; a top-level sprite with 0 is not hit.
  std::atomic<std::int32_t> acceptsInput{1};

protected:
  CMessageSprite() { kind |= kSpriteKindInput; }

private:
  // The input child under a point and the point in its coordinates.
  CMessageSprite* ChildAt(Point point, Point& local) const;
  using ButtonHandler = void (CMessageSprite::*)(Point, std::uint32_t);
  void ForwardButton(ButtonHandler handler, Point point, std::uint32_t flags);
};
