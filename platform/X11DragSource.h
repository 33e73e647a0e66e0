#pragma once
// The drag-and-drop source of X11 (XDND, version 5 and older down to 3):
// the targets are held as the XdndSelection (CX11Selection serves them),
// and while the first button stays held the pointer events of the
// program's window (which the button's grab keeps sending it, also outside)
// move the drag over other programs' windows: the topmost window under the
// pointer that announces XdndAware hears Enter, Position and Leave, and at
// the release a Drop when it accepted the last position. The program's own
// window is never a target: the program runs drags inside it itself.
// Escape leaves. Shift proposes a move, Ctrl and Shift a link, else a copy;
// the target performs it. Nothing waits: each step is an answer to an
// event. Platform thread only; kept apart because Xlib's macros clash with
// our names.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/X11Selection.h"

struct _XDisplay;
union _XEvent;

class CX11DragSource {
public:
  // pump and timeout as for CX11Selection (the timeout also bounds the
  // wait for a target's answer).
  CX11DragSource(_XDisplay* display, std::function<void()> pump,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
  CX11DragSource(const CX11DragSource&) = delete;
  CX11DragSource& operator=(const CX11DragSource&) = delete;

  bool IsValid() const { return m_selection.IsValid(); }
  // Takes the XdndSelection with the targets and follows the pointer until
  // the first button is released; 0 when it is up already or the selection
  // cannot be taken. ownWindow: the program's window as it is now (SDL
  // makes a new one when it starts drawing through the graphics card).
  [[nodiscard]] int Start(unsigned long ownWindow, std::vector<ClipboardTarget> targets);
  bool IsDragging() const { return m_state != State::Idle; }

  void HandleEvent(const _XEvent& event);

private:
  enum class State : std::uint8_t {
    Idle,
    Dragging,   // the button is held
    Releasing,  // released while the target had not answered the last position
    Dropped,    // a drop was sent; the target reads, then says it finished
  };
  struct Target {
    unsigned long window = 0;  // the window under the pointer, 0 for none
    unsigned long proxy = 0;   // where its messages go
    int version = 0;
  };

  unsigned long Intern(const char* name);
  Target FindTarget(int rootX, int rootY);
  void Send(const Target& target, unsigned long type, long l1, long l2, long l3, long l4);
  void Track(int rootX, int rootY, unsigned int modifiers, unsigned long time);
  void SendPosition();
  void Release(unsigned long time);
  void Leave();
  void End();
  void UngrabKeyboard();
  // A target that stays silent past the timeout is left.
  void ExpireSilence();

  _XDisplay* m_display = nullptr;
  unsigned long m_ownWindow = 0;
  std::chrono::milliseconds m_timeout;
  CX11Selection m_selection;
  unsigned long m_aware = 0, m_proxyAtom = 0, m_enter = 0, m_position = 0, m_status = 0, m_leave = 0,
                m_drop = 0, m_finished = 0, m_typeList = 0, m_copy = 0, m_move = 0, m_link = 0;
  std::vector<unsigned long> m_types;
  unsigned int m_escape = 0;  // the key code of Escape

  State m_state = State::Idle;
  bool m_keyboardGrabbed = false;
  Target m_target;
  bool m_waitingForStatus = false;
  bool m_positionPending = false;  // the pointer moved while the target had not answered
  bool m_accepted = false;         // the target's last answer
  int m_rootX = 0, m_rootY = 0;
  unsigned long m_time = 0;
  unsigned long m_action = 0;
  std::chrono::steady_clock::time_point m_asked;  // when the awaited answer was asked for
};
