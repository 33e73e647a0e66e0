#include "platform/X11DragSource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>

#include "platform/X11ErrorTrap.h"

namespace {

constexpr long kVersion = 5;
constexpr long kOldestVersion = 3;
// A window tree deeper than this is not searched further.
constexpr int kMaxDepth = 32;

// The first 32-bit value of a window's property of the type, 0 when it has
// none. Errors (a window gone) are the caller's trap's.
unsigned long ReadValue(Display* display, Window window, ::Atom property, ::Atom type) {
  ::Atom actualType = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  unsigned long value = 0;
  if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format, &items, &after,
                         &data) == Success &&
      actualType == type && format == 32 && items == 1 && data) {
    value = reinterpret_cast<const unsigned long*>(data)[0];
  }
  if (data) XFree(data);
  return value;
}

}  // namespace

CX11DragSource::CX11DragSource(_XDisplay* display, std::function<void()> pump,
                               std::chrono::milliseconds timeout)
    : m_display(display),
      m_timeout(timeout),
      m_selection(display, std::move(pump), "XdndSelection", timeout) {
  if (!m_selection.IsValid()) return;
  m_aware = Intern("XdndAware");
  m_proxyAtom = Intern("XdndProxy");
  m_enter = Intern("XdndEnter");
  m_position = Intern("XdndPosition");
  m_status = Intern("XdndStatus");
  m_leave = Intern("XdndLeave");
  m_drop = Intern("XdndDrop");
  m_finished = Intern("XdndFinished");
  m_typeList = Intern("XdndTypeList");
  m_copy = Intern("XdndActionCopy");
  m_move = Intern("XdndActionMove");
  m_link = Intern("XdndActionLink");
  m_escape = XKeysymToKeycode(m_display, XK_Escape);
}

unsigned long CX11DragSource::Intern(const char* name) { return XInternAtom(m_display, name, False); }

int CX11DragSource::Start(unsigned long ownWindow, std::vector<ClipboardTarget> targets) {
  if (!IsValid() || ownWindow == 0) return 0;
  if (m_state == State::Dragging || m_state == State::Releasing) Leave();
  End();
  m_ownWindow = ownWindow;
  std::vector<unsigned long> types;
  for (const ClipboardTarget& target : targets) {
    if (target.shared) types.push_back(Intern(target.name.c_str()));
  }
  if (types.empty() || !m_selection.Offer(std::move(targets))) return 0;
  const Window root = DefaultRootWindow(m_display);
  Window rootReturn = None, child = None;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(m_display, root, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask) ||
      !(mask & Button1Mask)) {
    return 0;
  }
  m_types = std::move(types);
  std::vector<long> list(m_types.begin(), m_types.end());
  XChangeProperty(m_display, m_selection.Window(), m_typeList, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
  m_state = State::Dragging;
  // Escape must reach this program while the pointer is over another's
  // window, wherever the keyboard focus was.
  m_keyboardGrabbed =
      XGrabKeyboard(m_display, m_ownWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  m_rootX = m_rootY = -1;
  Track(rootX, rootY, mask, CurrentTime);
  XFlush(m_display);
  return 1;
}

CX11DragSource::Target CX11DragSource::FindTarget(int rootX, int rootY) {
  CX11ErrorTrap trap(m_display);
  const Window root = DefaultRootWindow(m_display);
  Window window = root;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    Window child = None;
    int x = 0, y = 0;
    if (!XTranslateCoordinates(m_display, root, window, rootX, rootY, &x, &y, &child) || child == None)
      return {};
    window = child;
    if (window == m_ownWindow) return {};
    const auto version = static_cast<long>(ReadValue(m_display, window, m_aware, XA_ATOM));
    if (version < kOldestVersion) continue;
    Target target{window, window, static_cast<int>(std::min(version, kVersion))};
    // A proxy counts when it names itself as its own proxy.
    const Window proxy = ReadValue(m_display, window, m_proxyAtom, XA_WINDOW);
    if (proxy != None && ReadValue(m_display, proxy, m_proxyAtom, XA_WINDOW) == proxy) target.proxy = proxy;
    return target;
  }
  return {};
}

void CX11DragSource::Send(const Target& target, unsigned long type, long l1, long l2, long l3, long l4) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.display = m_display;
  event.xclient.window = target.window;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(m_selection.Window());
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  CX11ErrorTrap trap(m_display);  // the target may have gone
  XSendEvent(m_display, target.proxy, False, NoEventMask, &event);
}

void CX11DragSource::Track(int rootX, int rootY, unsigned int modifiers, unsigned long time) {
  const unsigned long action =
      (modifiers & ShiftMask) ? ((modifiers & ControlMask) ? m_link : m_move) : m_copy;
  const bool moved = rootX != m_rootX || rootY != m_rootY || action != m_action;
  m_rootX = rootX;
  m_rootY = rootY;
  m_time = time;
  m_action = action;
  const Target target = FindTarget(rootX, rootY);
  const bool entered = target.window != m_target.window;
  if (entered) {
    Leave();
    m_target = target;
    if (m_target.window == 0) return;
    const long more = m_types.size() > 3 ? 1 : 0;
    const auto type = [&](std::size_t i) { return i < m_types.size() ? static_cast<long>(m_types[i]) : 0L; };
    Send(m_target, m_enter, (static_cast<long>(m_target.version) << 24) | more, type(0), type(1), type(2));
  }
  if (m_target.window == 0 || (!entered && !moved)) return;
  // One position at a time: the next goes when the target has answered.
  if (m_waitingForStatus) {
    m_positionPending = true;
    return;
  }
  SendPosition();
}

void CX11DragSource::SendPosition() {
  m_positionPending = false;
  m_waitingForStatus = true;
  m_asked = std::chrono::steady_clock::now();
  const long point = (static_cast<long>(m_rootX & 0xFFFF) << 16) | (m_rootY & 0xFFFF);
  Send(m_target, m_position, 0, point, static_cast<long>(m_time), static_cast<long>(m_action));
}

void CX11DragSource::Release(unsigned long time) {
  UngrabKeyboard();
  m_time = time;
  if (m_target.window == 0) {
    End();
  } else if (m_waitingForStatus) {
    m_state = State::Releasing;
  } else if (m_accepted) {
    Send(m_target, m_drop, 0, static_cast<long>(time), 0, 0);
    m_state = State::Dropped;
    m_asked = std::chrono::steady_clock::now();
  } else {
    Leave();
    End();
  }
}

void CX11DragSource::Leave() {
  if (m_target.window != 0) Send(m_target, m_leave, 0, 0, 0, 0);
  m_target = {};
  m_waitingForStatus = false;
  m_positionPending = false;
  m_accepted = false;
}

void CX11DragSource::UngrabKeyboard() {
  if (m_keyboardGrabbed) XUngrabKeyboard(m_display, CurrentTime);
  m_keyboardGrabbed = false;
}

void CX11DragSource::End() {
  UngrabKeyboard();
  m_state = State::Idle;
  m_target = {};
  m_waitingForStatus = false;
  m_positionPending = false;
  m_accepted = false;
}

void CX11DragSource::ExpireSilence() {
  const bool waiting = m_waitingForStatus || m_state == State::Dropped;
  if (!waiting || std::chrono::steady_clock::now() - m_asked <= m_timeout) return;
  switch (m_state) {
    case State::Dragging:
      // Taken as a refusal; the next move asks again.
      m_waitingForStatus = false;
      m_accepted = false;
      if (m_positionPending) SendPosition();
      break;
    case State::Releasing:
      Leave();
      End();
      break;
    case State::Dropped:
    case State::Idle:
      End();
      break;
  }
}

void CX11DragSource::HandleEvent(const _XEvent& event) {
  m_selection.HandleEvent(event);
  if (m_state == State::Idle) return;
  ExpireSilence();
  switch (event.type) {
    case MotionNotify:
      if (m_state != State::Dragging) break;
      if (!(event.xmotion.state & Button1Mask)) {
        // The release went elsewhere.
        Leave();
        End();
        break;
      }
      Track(event.xmotion.x_root, event.xmotion.y_root, event.xmotion.state, event.xmotion.time);
      break;
    case ButtonRelease:
      if (m_state != State::Dragging || event.xbutton.button != Button1) break;
      Track(event.xbutton.x_root, event.xbutton.y_root, event.xbutton.state, event.xbutton.time);
      Release(event.xbutton.time);
      break;
    case KeyPress:
      if (m_state == State::Dragging && event.xkey.keycode == m_escape) {
        Leave();
        End();
      }
      break;
    case ClientMessage: {
      const XClientMessageEvent& message = event.xclient;
      if (message.window != m_selection.Window() || message.format != 32 || m_target.window == 0 ||
          static_cast<unsigned long>(message.data.l[0]) != m_target.window) {
        break;
      }
      if (message.message_type == m_status) {
        if (!m_waitingForStatus) break;
        m_waitingForStatus = false;
        m_accepted = (message.data.l[1] & 1) != 0;
        if (m_state == State::Releasing) {
          Release(m_time);
        } else if (m_positionPending) {
          SendPosition();
        }
      } else if (message.message_type == m_finished && m_state == State::Dropped) {
        End();
      }
      break;
    }
    default:
      break;
  }
  XFlush(m_display);
}
