#include "platform/InputBuilder.h"

#include "platform/WindowMessages.h"

namespace {

std::uint32_t ModifierOfKey(std::uint32_t vk) {
  switch (vk) {
    case VK_SHIFT:
      return kModShift;
    case VK_CONTROL:
      return kModControl;
    case VK_MENU:
      return kModAlt;
    default:
      return 0;
  }
}

std::uint32_t ButtonFlag(MouseButton button) {
  switch (button) {
    case MouseButton::Left:
      return MK_LBUTTON;
    case MouseButton::Right:
      return MK_RBUTTON;
    case MouseButton::Middle:
      return MK_MBUTTON;
  }
  return 0;
}

}  // namespace

char16_t ControlCharacterForKey(std::uint32_t vk, std::uint32_t modifiers) {
  if (modifiers & kModAlt) return 0;
  const bool ctrl = modifiers & kModControl;
  switch (vk) {
    case VK_BACK:
      return ctrl ? 127 : 8;
    case VK_TAB:
      return ctrl ? 0 : 9;
    case VK_RETURN:
      return ctrl ? 10 : 13;
    case VK_ESCAPE:
      return 27;
    default:
      break;
  }
  if (!ctrl) return 0;
  if (vk >= 'A' && vk <= 'Z') return static_cast<char16_t>(vk - 'A' + 1);
  if (vk == VK_OEM_4) return 27;
  if (vk == VK_OEM_5) return 28;
  if (vk == VK_OEM_6) return 29;
  return 0;
}

std::uint32_t CInputBuilder::MouseFlags() const {
  return m_buttons | ((m_modifiers & kModShift) ? MK_SHIFT : 0) |
         ((m_modifiers & kModControl) ? MK_CONTROL : 0);
}

UiMessage CInputBuilder::Make(std::uint32_t message, std::uint64_t wparam, Point point) const {
  UiMessage m;
  m.message = message;
  m.wparam = wparam;
  m.point = point;
  m.modifiers = m_modifiers;
  return m;
}

UiMessage CInputBuilder::MouseMove(Point point) const { return Make(WM_MOUSEMOVE, MouseFlags(), point); }

UiMessage CInputBuilder::MouseButtonEvent(MouseButton button, bool down, bool doubleClick, Point point) {
  const std::uint32_t flag = ButtonFlag(button);
  m_buttons = down ? (m_buttons | flag) : (m_buttons & ~flag);
  std::uint32_t message = 0;
  switch (button) {
    case MouseButton::Left:
      message = !down ? WM_LBUTTONUP : doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
      break;
    case MouseButton::Right:
      message = !down ? WM_RBUTTONUP : doubleClick ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
      break;
    case MouseButton::Middle:
      message = !down ? WM_MBUTTONUP : doubleClick ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN;
      break;
  }
  return Make(message, MouseFlags(), point);
}

UiMessage CInputBuilder::Wheel(Point point, std::int32_t delta) const {
  const auto packed = static_cast<std::uint16_t>(static_cast<std::int16_t>(delta));
  return Make(WM_MOUSEWHEEL, (std::uint64_t{packed} << 16) | MouseFlags(), point);
}

std::vector<UiMessage> CInputBuilder::KeyDown(std::uint32_t vk, bool repeat) {
  m_modifiers |= ModifierOfKey(vk);
  const bool alt = m_modifiers & kModAlt;
  // Alt combinations (not AltGr, which arrives as Ctrl+Alt) and F10 are
  // system keys, as on the system the interface was written for.
  const bool system = (alt && !(m_modifiers & kModControl)) || vk == VK_F10;
  std::uint64_t data = 1 | (alt ? kKeyDataAltDown : 0) | (repeat ? kKeyDataWasDown : 0);
  std::vector<UiMessage> out;
  UiMessage key = Make(system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, {});
  key.lparam = data;
  out.push_back(std::move(key));
  if (const char16_t c = ControlCharacterForKey(vk, m_modifiers)) {
    UiMessage ch = Make(WM_CHAR, c, {});
    ch.lparam = data;
    out.push_back(std::move(ch));
  }
  return out;
}

UiMessage CInputBuilder::KeyUp(std::uint32_t vk) {
  m_modifiers &= ~ModifierOfKey(vk);
  const bool alt = m_modifiers & kModAlt;
  const bool system = (alt && !(m_modifiers & kModControl)) || vk == VK_F10 || vk == VK_MENU;
  UiMessage key = Make(system ? WM_SYSKEYUP : WM_KEYUP, vk, {});
  key.lparam = 1 | (alt ? kKeyDataAltDown : 0) | kKeyDataWasDown | kKeyDataKeyUp;
  return key;
}

std::vector<UiMessage> CInputBuilder::Characters(std::u16string_view text) const {
  std::vector<UiMessage> out;
  for (const char16_t unit : text) {
    UiMessage ch = Make(WM_CHAR, unit, {});
    ch.lparam = 1;
    out.push_back(std::move(ch));
  }
  return out;
}
