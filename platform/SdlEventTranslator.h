#pragma once
// Turns SDL events of the one window into the UI thread's messages: mouse
// messages with button and modifier flags from the event, double clicks,
// the wheel in 120 units, keys as virtual-key codes, typed text as UTF-16
// characters plus the control characters SDL does not type, file drops,
// activation, size and close. Runs on the platform thread. Only the platform
// layer includes this header (it brings in SDL).

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/InputBuilder.h"

// The virtual key of an SDL key, or 0 for keys the interface does not know.
// Letters follow the keyboard layout when it types a Latin letter; the other
// keys go by position.
std::uint32_t VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, std::uint16_t sdlModifiers);

class CSdlEventTranslator {
public:
  // cursor: the pointer in client pixels, read by the caller for drops (no
  // motion events arrive while another program drags files over the window).
  std::vector<UiMessage> Translate(const SDL_Event& event, Point cursor = {});
  Size ClientSize() const { return m_size; }
  void SetClientSize(Size size) { m_size = size; }
  // The window's state as SDL holds it, given before each window event. A
  // change the program asked for (SDL_MaximizeWindow) brings no maximise or
  // restore event, only the new size, which must still say which it is.
  void SetWindowState(bool maximized, bool minimized) {
    m_maximized = maximized;
    m_minimized = minimized;
  }

  // Dropped paths are accepted when absolute, not empty and shorter than
  // this; at most kMaxDroppedFiles per drop.
  static constexpr std::size_t kMaxPathBytes = 4096;
  static constexpr std::size_t kMaxDroppedFiles = 65536;

private:
  void SetModifiers(std::uint16_t sdlModifiers);
  UiMessage SizeMessage(std::uint64_t kind) const;

  CInputBuilder m_input;
  std::uint16_t m_sdlModifiers = 0;
  Size m_size;
  bool m_maximized = false;
  bool m_minimized = false;
  std::unique_ptr<CDropFileList> m_drop;
};
