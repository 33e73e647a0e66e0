#pragma once
// Builds the UI thread's input messages from raw events: mouse-key flags,
// modifier snapshots, key data and the control characters that typing a
// control key produces. Both the SDL translation and the headless host use
// it, so tests drive the same messages the real window sends.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/UiMessage.h"

enum class MouseButton : std::uint8_t { Left, Right, Middle };

// The character a key types by itself, as the system's keyboard translation
// gives it: Backspace 8 (127 with Ctrl), Tab 9, Enter 13 (10 with Ctrl),
// Esc 27, Ctrl+A..Z 1..26, Ctrl+[ \ ] 27 28 29; 0 when none (also with Alt).
char16_t ControlCharacterForKey(std::uint32_t virtualKey, std::uint32_t modifiers);

class CInputBuilder {
public:
  void SetModifiers(std::uint32_t modifiers) { m_modifiers = modifiers; }
  std::uint32_t Modifiers() const { return m_modifiers; }
  // MK_* flags of the buttons and modifiers held now.
  std::uint32_t MouseFlags() const;

  UiMessage MouseMove(Point point) const;
  // Updates the held buttons first, so the flags show the state after the event.
  UiMessage MouseButtonEvent(MouseButton button, bool down, bool doubleClick, Point point);
  // delta in wheel units: 120 per notch, positive away from the user.
  UiMessage Wheel(Point point, std::int32_t delta) const;
  // The key message, then the control character it types, if any. Shift,
  // Ctrl and Alt keys update the modifiers.
  std::vector<UiMessage> KeyDown(std::uint32_t virtualKey, bool repeat);
  UiMessage KeyUp(std::uint32_t virtualKey);
  // One WM_CHAR per UTF-16 unit.
  std::vector<UiMessage> Characters(std::u16string_view text) const;

private:
  UiMessage Make(std::uint32_t message, std::uint64_t wparam, Point point) const;
  std::uint32_t m_buttons = 0;
  std::uint32_t m_modifiers = 0;
};
