#include "ui/SpriteMessage.h"

#include <memory>

#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/MessageSprite.h"

namespace {

// The payload of WM_SPRITEMESSAGE; it delivers itself when the UI thread
// dispatches it and is freed with the queue entry either way.
class CSpriteMessageData final : public CUiMessageData {
public:
  explicit CSpriteMessageData(const SpriteMessage& message) : m_message(message) {}

  bool Deliver() override {
    const void* object = ObjectRegistry().Find(m_message.targetKey, LiveObjectKind::Sprite);
    // Registered sprites are registered as CSprite pointers.
    auto* sprite = static_cast<CSprite*>(const_cast<void*>(object));
    if (auto* target = dynamic_cast<CMessageSprite*>(sprite)) {
      m_message.target = target;
      target->OnSpriteMessage(m_message);
    }
    return true;
  }

private:
  SpriteMessage m_message;
};

}  // namespace

bool PostSpriteMessageToKey(std::int32_t targetKey, std::int32_t code, std::uint64_t wparam,
                            std::uint64_t lparam, CSprite* sender) {
  if (targetKey <= 0) return false;
  SpriteMessage message;
  message.sender = sender;
  message.code = code;
  message.wparam = wparam;
  message.lparam = lparam;
  message.targetKey = targetKey;
  UiMessage posted;
  posted.message = WM_SPRITEMESSAGE;
  posted.data = std::make_unique<CSpriteMessageData>(message);
  return UiQueue().Post(std::move(posted));
}

bool PostSpriteMessage(const CSprite* target, std::int32_t code, std::uint64_t wparam, std::uint64_t lparam,
                       CSprite* sender) {
  return PostSpriteMessageToKey(ObjectRegistry().KeyOf(target), code, wparam, lparam, sender);
}
