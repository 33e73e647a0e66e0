#include "platform/X11Selection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>

#include "platform/X11ErrorTrap.h"

namespace {

constexpr std::size_t kMaxChunk = 256 * 1024;
// A property longer than the clipboard's limit is refused, not fetched.
constexpr long kMaxPropertyUnits = static_cast<long>(kMaxClipboardBytes / 4 + 1);

}  // namespace

CX11Selection::CX11Selection(_XDisplay* display, std::function<void()> pump, std::string_view selection,
                             std::chrono::milliseconds timeout)
    : m_display(display), m_pump(std::move(pump)), m_timeout(timeout) {
  if (!m_display) return;
  XSetWindowAttributes attributes{};
  attributes.event_mask = PropertyChangeMask;
  attributes.override_redirect = True;
  m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), -10, -10, 1, 1, 0, CopyFromParent,
                           InputOnly, CopyFromParent, CWEventMask | CWOverrideRedirect, &attributes);
  long units = XExtendedMaxRequestSize(m_display);
  if (units == 0) units = XMaxRequestSize(m_display);
  m_chunk = std::min<std::size_t>(kMaxChunk, static_cast<std::size_t>(units) * 4 - 1024);
  m_selection = InternAtom(selection);
  m_targets = InternAtom("TARGETS");
  m_timestamp = InternAtom("TIMESTAMP");
  m_incr = InternAtom("INCR");
  m_property = InternAtom("TESSERA_SELECTION");
  m_timeProperty = InternAtom("TESSERA_TIME");
  XFlush(m_display);
}

CX11Selection::~CX11Selection() {
  if (!m_window) return;
  CX11ErrorTrap trap(m_display);
  for (const Outgoing& transfer : m_outgoing)
    XSelectInput(m_display, transfer.requestor, transfer.previousMask);
  XDestroyWindow(m_display, m_window);
}

unsigned long CX11Selection::InternAtom(std::string_view name) {
  const auto found = m_atoms.find(name);
  if (found != m_atoms.end()) return found->second;
  const std::string text(name);
  const ::Atom atom = XInternAtom(m_display, text.c_str(), False);
  m_atoms.emplace(text, atom);
  return atom;
}

std::string CX11Selection::AtomName(unsigned long atom) {
  for (const auto& [name, known] : m_atoms) {
    if (known == atom) return name;
  }
  CX11ErrorTrap trap(m_display);  // an atom from another program may be bad
  char* name = XGetAtomName(m_display, atom);
  if (!name) return {};
  std::string text(name);
  XFree(name);
  m_atoms.emplace(text, atom);
  return text;
}

bool CX11Selection::WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + m_timeout;
  for (;;) {
    XFlush(m_display);
    m_pump();
    if (done()) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (XQLength(m_display) > 0) continue;
    pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
    ::poll(&descriptor, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
  }
}

// The server's time, from the notification of an empty change to a
// property (owning a selection "since CurrentTime" is what ICCCM forbids);
// CurrentTime when the notification does not come in time.
unsigned long CX11Selection::ServerTime() {
  m_serverTime = CurrentTime;
  XChangeProperty(m_display, m_window, m_timeProperty, XA_INTEGER, 8, PropModeAppend, nullptr, 0);
  if (!WaitFor([this] { return m_serverTime != CurrentTime; })) return CurrentTime;
  return m_serverTime;
}

int CX11Selection::Offer(std::vector<ClipboardTarget> targets) {
  if (!m_window) return 0;
  const unsigned long time = ServerTime();
  if (time == CurrentTime) return 0;
  XSetSelectionOwner(m_display, m_selection, m_window, time);
  if (XGetSelectionOwner(m_display, m_selection) != m_window) {
    Forget();
    return 0;
  }
  m_offer = CClipboardOffer(std::move(targets));
  m_owner = true;
  m_ownedSince = time;
  return 1;
}

int CX11Selection::Empty() {
  if (!m_window) return 0;
  const unsigned long time = ServerTime();
  if (time == CurrentTime) return 0;
  XSetSelectionOwner(m_display, m_selection, None, time);
  Forget();
  return XGetSelectionOwner(m_display, m_selection) == None ? 1 : 0;
}

bool CX11Selection::Owns() {
  if (m_owner && XGetSelectionOwner(m_display, m_selection) != m_window) Forget();
  return m_owner;
}

void CX11Selection::Forget() {
  m_owner = false;
  m_offer = {};
}

int CX11Selection::Convert(unsigned long target, std::vector<std::uint8_t>& bytes, unsigned long& type,
                           int& format) {
  bytes.clear();
  XDeleteProperty(m_display, m_window, m_property);
  m_reply = {};
  XConvertSelection(m_display, m_selection, target, m_property, m_window, CurrentTime);
  if (!WaitFor([this] { return m_reply.arrived; }) || m_reply.property == None) return 0;

  // Appends the property's value and deletes it; false when it is missing
  // or too long. For format 32 Xlib hands out longs: each is one item.
  const auto take = [&](unsigned long& itemCount) {
    ::Atom actualType = None;
    int actualFormat = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, m_window, m_property, 0, kMaxPropertyUnits, True, AnyPropertyType,
                           &actualType, &actualFormat, &items, &after, &data) != Success ||
        actualType == None) {
      if (data) XFree(data);
      return false;
    }
    const std::size_t unit = actualFormat == 32 ? sizeof(long) : static_cast<std::size_t>(actualFormat / 8);
    const std::uint64_t size = std::uint64_t{items} * (actualFormat == 32 ? 4 : unit);
    const bool fits = after == 0 && bytes.size() + size <= kMaxClipboardBytes;
    if (fits && data) {
      for (unsigned long i = 0; i < items; ++i) {
        if (actualFormat == 32) {
          const auto value = static_cast<std::uint32_t>(reinterpret_cast<const unsigned long*>(data)[i]);
          for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
        } else {
          bytes.insert(bytes.end(), data + i * unit, data + (i + 1) * unit);
        }
      }
    }
    if (data) XFree(data);
    type = actualType;
    format = actualFormat;
    itemCount = items;
    return fits;
  };

  unsigned long items = 0;
  std::uint64_t seen = m_newValues;
  if (!take(items)) return 0;
  if (type != m_incr) return 1;
  // INCR: each chunk comes as a new value once the last one was deleted; an
  // empty one ends the data.
  bytes.clear();
  for (;;) {
    if (!WaitFor([&] { return m_newValues > seen; })) return 0;
    seen = m_newValues;
    if (!take(items)) return 0;
    if (items == 0) return 1;
  }
}

std::vector<std::string> CX11Selection::Targets() {
  if (!m_window) return {};
  if (Owns()) return m_offer.Names(false);
  if (XGetSelectionOwner(m_display, m_selection) == None) return {};
  std::vector<std::uint8_t> bytes;
  unsigned long type = 0;
  int format = 0;
  if (!Convert(m_targets, bytes, type, format) || format != 32) return {};
  std::vector<std::string> names;
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    const unsigned long atom = bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16) |
                               (static_cast<unsigned long>(bytes[i + 3]) << 24);
    std::string name = AtomName(atom);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

int CX11Selection::Read(std::string_view target, ClipboardBytes& bytes) {
  if (!m_window) return 0;
  if (Owns()) {
    ClipboardBytes own = m_offer.Get(target, false);
    if (!own) return 0;
    bytes = std::move(own);
    return 1;
  }
  if (XGetSelectionOwner(m_display, m_selection) == None) return 0;
  std::vector<std::uint8_t> data;
  unsigned long type = 0;
  int format = 0;
  if (!Convert(InternAtom(target), data, type, format) || data.empty()) return 0;
  bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(data));
  return 1;
}

void CX11Selection::HandleEvent(const _XEvent& event) {
  if (!m_window) return;
  switch (event.type) {
    case SelectionRequest:
      if (event.xselectionrequest.owner == m_window && event.xselectionrequest.selection == m_selection) {
        Serve(event);
      }
      break;
    case SelectionClear:
      // A notice older than the current ownership belongs to an earlier one.
      if (event.xselectionclear.window == m_window && event.xselectionclear.selection == m_selection &&
          event.xselectionclear.time >= m_ownedSince) {
        Forget();
      }
      break;
    case SelectionNotify:
      if (event.xselection.requestor == m_window && event.xselection.selection == m_selection) {
        m_reply = {true, event.xselection.property};
      }
      break;
    case PropertyNotify: {
      const XPropertyEvent& change = event.xproperty;
      if (change.window == m_window) {
        if (change.atom == m_timeProperty) m_serverTime = change.time;
        if (change.atom == m_property && change.state == PropertyNewValue) ++m_newValues;
        break;
      }
      if (change.state != PropertyDelete || m_outgoing.empty()) break;
      for (Outgoing& transfer : m_outgoing) {
        if (transfer.requestor == change.window && transfer.property == change.atom) {
          SendChunk(transfer);
          break;
        }
      }
      Expire();
      break;
    }
    default:
      break;
  }
}

void CX11Selection::Serve(const _XEvent& event) {
  const XSelectionRequestEvent& request = event.xselectionrequest;
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = m_display;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  // Very old clients name no property: the target's name is used.
  const ::Atom property = request.property != None ? request.property : request.target;
  reply.property = None;

  CX11ErrorTrap trap(m_display);
  const bool current = m_owner && (request.time == CurrentTime || request.time >= m_ownedSince);
  if (current && request.target == m_targets) {
    std::vector<long> atoms{static_cast<long>(m_targets), static_cast<long>(m_timestamp)};
    for (const std::string& name : m_offer.Names(true)) atoms.push_back(static_cast<long>(InternAtom(name)));
    XChangeProperty(m_display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
    reply.property = property;
  } else if (current && request.target == m_timestamp) {
    const long time = static_cast<long>(m_ownedSince);
    XChangeProperty(m_display, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&time), 1);
    reply.property = property;
  } else if (current) {
    const std::string name = AtomName(request.target);
    const ClipboardBytes bytes = name.empty() ? nullptr : m_offer.Get(name, true);
    if (bytes && bytes->size() <= m_chunk) {
      XChangeProperty(m_display, request.requestor, property, request.target, 8, PropModeReplace,
                      bytes->data(), static_cast<int>(bytes->size()));
      reply.property = property;
    } else if (bytes) {
      // Too large for one request: announce INCR and send a chunk each time
      // the requestor deletes the property.
      long previousMask = NoEventMask;
      const auto same = std::find_if(m_outgoing.begin(), m_outgoing.end(), [&](const Outgoing& transfer) {
        return transfer.requestor == request.requestor;
      });
      if (same != m_outgoing.end()) {
        previousMask = same->previousMask;
      } else {
        XWindowAttributes window{};
        if (XGetWindowAttributes(m_display, request.requestor, &window))
          previousMask = window.your_event_mask;
        XSelectInput(m_display, request.requestor, previousMask | PropertyChangeMask);
      }
      const long lowerBound = static_cast<long>(std::min<std::size_t>(bytes->size(), INT32_MAX));
      XChangeProperty(m_display, request.requestor, property, m_incr, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&lowerBound), 1);
      m_outgoing.push_back({request.requestor, property, request.target, bytes, 0, false,
                            std::chrono::steady_clock::now(), previousMask});
      reply.property = property;
    }
  }
  XEvent notify{};
  notify.xselection = reply;
  XSendEvent(m_display, request.requestor, False, NoEventMask, &notify);
}

void CX11Selection::SendChunk(Outgoing& transfer) {
  CX11ErrorTrap trap(m_display);
  const std::size_t count = std::min(m_chunk, transfer.bytes->size() - transfer.sent);
  XChangeProperty(m_display, transfer.requestor, transfer.property, transfer.type, 8, PropModeReplace,
                  transfer.bytes->data() + transfer.sent, static_cast<int>(count));
  transfer.sent += count;
  transfer.last = std::chrono::steady_clock::now();
  if (count == 0) transfer.ended = true;
}

// Drops transfers that ended or whose requestor stopped reading.
void CX11Selection::Expire() {
  const auto now = std::chrono::steady_clock::now();
  const auto gone = [&](const Outgoing& transfer) {
    return transfer.ended || now - transfer.last > m_timeout;
  };
  if (std::none_of(m_outgoing.begin(), m_outgoing.end(), gone)) return;
  CX11ErrorTrap trap(m_display);
  for (const Outgoing& transfer : m_outgoing) {
    if (!gone(transfer)) continue;
    const bool busy = std::any_of(m_outgoing.begin(), m_outgoing.end(), [&](const Outgoing& other) {
      return other.requestor == transfer.requestor && !gone(other);
    });
    if (!busy) XSelectInput(m_display, transfer.requestor, transfer.previousMask);
  }
  m_outgoing.erase(std::remove_if(m_outgoing.begin(), m_outgoing.end(), gone), m_outgoing.end());
}
