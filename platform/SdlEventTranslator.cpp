#include "platform/SdlEventTranslator.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/Utf16.h"
#include "platform/WindowMessages.h"

namespace {

std::uint32_t ModifiersFromSdl(std::uint16_t mods) {
  return ((mods & KMOD_SHIFT) ? kModShift : 0) | ((mods & KMOD_CTRL) ? kModControl : 0) |
         ((mods & KMOD_ALT) ? kModAlt : 0);
}

// Keys identified by their position on the keyboard.
std::uint32_t VirtualKeyFromScancode(SDL_Scancode sc, bool numLock) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return VK_F1 + 12 + (sc - SDL_SCANCODE_F13);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) {
    // Without Num Lock the keypad moves the caret, as its second labels say.
    static constexpr std::uint32_t kMoves[9] = {VK_END,   VK_DOWN, VK_NEXT, VK_LEFT, VK_CLEAR,
                                                VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
    const int index = sc - SDL_SCANCODE_KP_1;
    return numLock ? VK_NUMPAD0 + 1 + index : kMoves[index];
  }
  switch (sc) {
    case SDL_SCANCODE_0:
      return '0';
    case SDL_SCANCODE_RETURN:
      return VK_RETURN;
    case SDL_SCANCODE_ESCAPE:
      return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE:
      return VK_BACK;
    case SDL_SCANCODE_TAB:
      return VK_TAB;
    case SDL_SCANCODE_SPACE:
      return VK_SPACE;
    case SDL_SCANCODE_MINUS:
      return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS:
      return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET:
      return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET:
      return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH:
      return VK_OEM_5;
    case SDL_SCANCODE_NONUSHASH:
      return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON:
      return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE:
      return VK_OEM_7;
    case SDL_SCANCODE_GRAVE:
      return VK_OEM_3;
    case SDL_SCANCODE_COMMA:
      return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD:
      return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH:
      return VK_OEM_2;
    case SDL_SCANCODE_CAPSLOCK:
      return VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN:
      return VK_SNAPSHOT;
    case SDL_SCANCODE_SCROLLLOCK:
      return VK_SCROLL;
    case SDL_SCANCODE_PAUSE:
      return VK_PAUSE;
    case SDL_SCANCODE_INSERT:
      return VK_INSERT;
    case SDL_SCANCODE_HOME:
      return VK_HOME;
    case SDL_SCANCODE_PAGEUP:
      return VK_PRIOR;
    case SDL_SCANCODE_DELETE:
      return VK_DELETE;
    case SDL_SCANCODE_END:
      return VK_END;
    case SDL_SCANCODE_PAGEDOWN:
      return VK_NEXT;
    case SDL_SCANCODE_RIGHT:
      return VK_RIGHT;
    case SDL_SCANCODE_LEFT:
      return VK_LEFT;
    case SDL_SCANCODE_DOWN:
      return VK_DOWN;
    case SDL_SCANCODE_UP:
      return VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR:
      return VK_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE:
      return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY:
      return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS:
      return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS:
      return VK_ADD;
    case SDL_SCANCODE_KP_ENTER:
      return VK_RETURN;
    case SDL_SCANCODE_KP_0:
      return numLock ? VK_NUMPAD0 : VK_INSERT;
    case SDL_SCANCODE_KP_PERIOD:
      return numLock ? VK_DECIMAL : VK_DELETE;
    case SDL_SCANCODE_NONUSBACKSLASH:
      return VK_OEM_102;
    case SDL_SCANCODE_APPLICATION:
      return VK_APPS;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
      return VK_CONTROL;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
      return VK_SHIFT;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
      return VK_MENU;
    case SDL_SCANCODE_LGUI:
      return VK_LWIN;
    case SDL_SCANCODE_RGUI:
      return VK_RWIN;
    default:
      return 0;
  }
}

bool AcceptDroppedPath(const char* file) {
  if (!file) return false;
  const std::size_t length = std::strlen(file);
  return length > 1 && length < CSdlEventTranslator::kMaxPathBytes && file[0] == '/';
}

}  // namespace

std::uint32_t VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, std::uint16_t sdlModifiers) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  return VirtualKeyFromScancode(scancode, sdlModifiers & KMOD_NUM);
}

void CSdlEventTranslator::SetModifiers(std::uint16_t sdlModifiers) {
  m_sdlModifiers = sdlModifiers;
  m_input.SetModifiers(ModifiersFromSdl(sdlModifiers));
}

UiMessage CSdlEventTranslator::SizeMessage(std::uint64_t kind) const {
  UiMessage m;
  m.message = WM_SIZE;
  m.wparam = kind;
  if (kind != SIZE_MINIMIZED) m.point = {m_size.width, m_size.height};
  return m;
}

std::vector<UiMessage> CSdlEventTranslator::Translate(const SDL_Event& event, Point cursor) {
  std::vector<UiMessage> out;
  switch (event.type) {
    case SDL_MOUSEMOTION:
      out.push_back(m_input.MouseMove({event.motion.x, event.motion.y}));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      MouseButton button;
      switch (event.button.button) {
        case SDL_BUTTON_LEFT:
          button = MouseButton::Left;
          break;
        case SDL_BUTTON_RIGHT:
          button = MouseButton::Right;
          break;
        case SDL_BUTTON_MIDDLE:
          button = MouseButton::Middle;
          break;
        default:
          return out;
      }
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      // SDL counts clicks; the second of each pair is the double click.
      const bool doubleClick = down && event.button.clicks >= 2 && event.button.clicks % 2 == 0;
      out.push_back(m_input.MouseButtonEvent(button, down, doubleClick, {event.button.x, event.button.y}));
      break;
    }
    case SDL_MOUSEWHEEL: {
      float notches = event.wheel.preciseY;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      const auto delta = static_cast<std::int32_t>(std::lround(notches * WHEEL_DELTA));
      if (delta == 0) break;
      out.push_back(m_input.Wheel({event.wheel.mouseX, event.wheel.mouseY}, delta));
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      SetModifiers(event.key.keysym.mod);
      const std::uint32_t vk =
          VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode, m_sdlModifiers);
      if (vk == 0) break;
      if (event.type == SDL_KEYDOWN) {
        out = m_input.KeyDown(vk, event.key.repeat != 0);
      } else {
        out.push_back(m_input.KeyUp(vk));
      }
      break;
    }
    case SDL_TEXTINPUT: {
      // Left Alt with a key is a menu key, never typing; right Alt may be AltGr.
      if ((m_sdlModifiers & KMOD_LALT) && !(m_sdlModifiers & KMOD_RALT)) break;
      const char* text = event.text.text;
      out = m_input.Characters(FromUtf8(std::string_view(text, strnlen(text, sizeof(event.text.text)))));
      break;
    }
    case SDL_DROPBEGIN:
      m_drop = std::make_unique<CDropFileList>();
      break;
    case SDL_DROPFILE:
      if (!m_drop) m_drop = std::make_unique<CDropFileList>();
      if (AcceptDroppedPath(event.drop.file) && m_drop->files.size() < kMaxDroppedFiles) {
        m_drop->files.emplace_back(event.drop.file);
      }
      break;
    case SDL_DROPCOMPLETE:
      if (m_drop && !m_drop->files.empty()) {
        UiMessage m;
        m.message = WM_DROPFILES;
        m.point = cursor;
        m.modifiers = m_input.Modifiers();
        m.data = std::move(m_drop);
        out.push_back(std::move(m));
      }
      m_drop.reset();
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: {
          // Keys may have changed while another window had the keyboard.
          SetModifiers(static_cast<std::uint16_t>(SDL_GetModState()));
          UiMessage m;
          m.message = WM_ACTIVATE;
          m.wparam = WA_ACTIVE;
          out.push_back(std::move(m));
          break;
        }
        case SDL_WINDOWEVENT_FOCUS_LOST: {
          UiMessage m;
          m.message = WM_ACTIVATE;
          m.wparam = WA_INACTIVE;
          out.push_back(std::move(m));
          break;
        }
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          m_size = {event.window.data1, event.window.data2};
          if (!m_minimized) out.push_back(SizeMessage(m_maximized ? SIZE_MAXIMIZED : SIZE_RESTORED));
          break;
        case SDL_WINDOWEVENT_MAXIMIZED:
          m_maximized = true;
          m_minimized = false;
          out.push_back(SizeMessage(SIZE_MAXIMIZED));
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          m_minimized = true;
          out.push_back(SizeMessage(SIZE_MINIMIZED));
          break;
        case SDL_WINDOWEVENT_RESTORED:
          m_maximized = m_minimized = false;
          out.push_back(SizeMessage(SIZE_RESTORED));
          break;
        case SDL_WINDOWEVENT_CLOSE: {
          UiMessage m;
          m.message = WM_CLOSE;
          out.push_back(std::move(m));
          break;
        }
        default:
          break;
      }
      break;
    default:
      break;
  }
  return out;
}
