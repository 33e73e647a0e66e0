#pragma once
// Sprite messages: the asynchronous notes sprites and worker threads send to
// a sprite. Posting puts the message into the one UI queue (UiQueue()) and
// never touches the target; delivery, on the UI thread in whatever message
// loop runs, hands it to the target's CMessageSprite::OnSpriteMessage only
// while the registry key recorded at posting is still alive. A message that
// is not delivered (dead target, queue shut down) is freed all the same.
//
// Worker threads should post by key (PostSpriteMessageToKey): a key is never
// reused. Posting by pointer looks the pointer up in the registry at the
// moment of posting, without dereferencing it.

#include <cstdint>

class CSprite;
class CMessageSprite;

struct SpriteMessage {
  CSprite* sender = nullptr;         // null for the framework and for worker threads
  CMessageSprite* target = nullptr;  // set at delivery
  std::int32_t code = 0;             // a SpriteMessageCode
  std::uint64_t wparam = 0;
  std::uint64_t lparam = 0;
  std::int32_t targetKey = 0;  // the registry key the message is for
};

// The framework's own codes; widget and page codes are declared with them.
enum SpriteMessageCode : std::int32_t {
  kSpriteMsgButtonClicked = 1,   // wparam = button id
  kSpriteMsgDialogTimer = 101,   // wparam = period in frames
  kSpriteMsgFocusChanged = 300,  // wparam 1 gained, 0 lost; sender = the new focus
  kSpriteMsgRefresh = 20000,     // mark dirty, pass on to the input children
};

// Any thread. False when the target is not registered (nothing is queued) or
// the queue has shut down.
[[nodiscard]] bool PostSpriteMessage(const CSprite* target, std::int32_t code, std::uint64_t wparam,
                                     std::uint64_t lparam, CSprite* sender);
[[nodiscard]] bool PostSpriteMessageToKey(std::int32_t targetKey, std::int32_t code, std::uint64_t wparam,
                                          std::uint64_t lparam, CSprite* sender = nullptr);
