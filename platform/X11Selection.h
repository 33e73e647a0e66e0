#pragma once
// An X11 selection (CLIPBOARD for pictures and file lists, XdndSelection
// for drag and drop): this program holds it with a window of its own and serves other programs' requests
// (TARGETS, TIMESTAMP and its offer's shared targets; data larger than one
// request goes INCR, chunk by chunk), and reads what other programs hold,
// INCR included, each step waiting at most a timeout for the holder. The
// connection is SDL's: SDL's event filter hands every X event to
// HandleEvent, and a wait pumps SDL's events so that requests keep being
// answered (SDL's own among them) meanwhile. Requests that fail because a
// requestor went away are caught, never fatal. Platform thread only; kept
// apart because Xlib's macros clash with our names.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/ClipboardOffer.h"

struct _XDisplay;
union _XEvent;

class CX11Selection {
public:
  // pump dispatches the connection's pending events (so they reach
  // HandleEvent); selection names the selection; timeout bounds each wait
  // for another program.
  CX11Selection(_XDisplay* display, std::function<void()> pump, std::string_view selection = "CLIPBOARD",
                std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
  ~CX11Selection();
  CX11Selection(const CX11Selection&) = delete;
  CX11Selection& operator=(const CX11Selection&) = delete;

  bool IsValid() const { return m_window != 0; }
  // The selection's own window, hidden; other programs answer a drag's
  // messages to it.
  unsigned long Window() const { return m_window; }
  [[nodiscard]] int Offer(std::vector<ClipboardTarget> targets);
  [[nodiscard]] int Empty();
  // This program's window holds the selection.
  bool Owns();
  // Another part of the program (SDL's text) took the selection.
  void Forget();
  std::vector<std::string> Targets();
  [[nodiscard]] int Read(std::string_view target, ClipboardBytes& bytes);

  void HandleEvent(const _XEvent& event);

private:
  struct Outgoing {
    unsigned long requestor = 0;
    unsigned long property = 0;
    unsigned long type = 0;
    ClipboardBytes bytes;
    std::size_t sent = 0;
    bool ended = false;  // the closing empty chunk is out
    std::chrono::steady_clock::time_point last;
    // What this connection heard of the requestor before (a window of SDL's
    // own keeps its events), put back when its transfers end.
    long previousMask = 0;
  };
  struct Reply {
    bool arrived = false;
    unsigned long property = 0;
  };

  unsigned long InternAtom(std::string_view name);
  std::string AtomName(unsigned long atom);
  unsigned long ServerTime();
  [[nodiscard]] bool WaitFor(const std::function<bool()>& done);
  // The selection converted to target in our property; 0 when refused or late.
  [[nodiscard]] int Convert(unsigned long target, std::vector<std::uint8_t>& bytes, unsigned long& type,
                            int& format);
  void Serve(const _XEvent& event);
  void SendChunk(Outgoing& transfer);
  void Expire();

  _XDisplay* m_display = nullptr;
  std::function<void()> m_pump;
  std::chrono::milliseconds m_timeout;
  unsigned long m_window = 0;
  std::size_t m_chunk = 0;
  std::map<std::string, unsigned long, std::less<>> m_atoms;
  unsigned long m_selection = 0, m_targets = 0, m_timestamp = 0, m_incr = 0, m_property = 0,
                m_timeProperty = 0;

  CClipboardOffer m_offer;
  bool m_owner = false;
  unsigned long m_ownedSince = 0;
  std::vector<Outgoing> m_outgoing;

  Reply m_reply;
  std::uint64_t m_newValues = 0;  // new values of m_property, for INCR reads
  unsigned long m_serverTime = 0;
};
