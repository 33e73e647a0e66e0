#include "platform/MemoryClipboard.h"

#include "platform/Utf16.h"

namespace {

constexpr std::string_view kTextTarget = "UTF8_STRING";

[[nodiscard]] int Hand(ClipboardBytes made, ClipboardBytes& bytes) {
  if (!made) return 0;
  bytes = std::move(made);
  return 1;
}

}  // namespace

int CMemoryClipboard::Offer(std::vector<ClipboardTarget> targets) {
  std::lock_guard lock(m_mutex);
  m_offer = CClipboardOffer(std::move(targets));
  return 1;
}

int CMemoryClipboard::Empty() {
  std::lock_guard lock(m_mutex);
  m_offer = {};
  return 1;
}

std::vector<std::string> CMemoryClipboard::Targets() {
  std::lock_guard lock(m_mutex);
  return m_offer.Names(false);
}

int CMemoryClipboard::Read(std::string_view target, ClipboardBytes& bytes) {
  std::lock_guard lock(m_mutex);
  return Hand(m_offer.Get(target, false), bytes);
}

int CMemoryClipboard::SetText(std::u16string_view text) {
  std::vector<ClipboardTarget> targets;
  const std::string utf8 = ToUtf8(text);
  targets.push_back({std::string(kTextTarget),
                     std::make_shared<const std::vector<std::uint8_t>>(utf8.begin(), utf8.end())});
  return Offer(std::move(targets));
}

int CMemoryClipboard::GetText(std::u16string& text) {
  ClipboardBytes bytes;
  if (!Read(kTextTarget, bytes)) return 0;
  text = FromUtf8({reinterpret_cast<const char*>(bytes->data()), bytes->size()});
  return 1;
}

void CMemoryClipboard::OfferFromOtherProgram(std::vector<ForeignTarget> targets) {
  std::vector<ClipboardTarget> offer;
  for (ForeignTarget& target : targets) {
    offer.push_back({std::move(target.first),
                     std::make_shared<const std::vector<std::uint8_t>>(std::move(target.second))});
  }
  std::lock_guard lock(m_mutex);
  m_offer = CClipboardOffer(std::move(offer));
}

std::vector<std::string> CMemoryClipboard::TargetsSeenByOtherProgram() {
  std::lock_guard lock(m_mutex);
  return m_offer.Names(true);
}

int CMemoryClipboard::ReadAsOtherProgram(std::string_view target, ClipboardBytes& bytes) {
  std::lock_guard lock(m_mutex);
  return Hand(m_offer.Get(target, true), bytes);
}

bool CMemoryClipboard::IsEmpty() {
  std::lock_guard lock(m_mutex);
  return m_offer.IsEmpty();
}

int CMemoryClipboard::StartDrag(std::vector<ClipboardTarget> targets) {
  std::lock_guard lock(m_mutex);
  m_drag = CClipboardOffer(std::move(targets));
  return 1;
}

std::vector<std::string> CMemoryClipboard::DragTargetsSeenByOtherProgram() {
  std::lock_guard lock(m_mutex);
  return m_drag.Names(true);
}

int CMemoryClipboard::ReadDragAsOtherProgram(std::string_view target, ClipboardBytes& bytes) {
  std::lock_guard lock(m_mutex);
  return Hand(m_drag.Get(target, true), bytes);
}
