#pragma once
// The system clipboard as the platform layer offers it: named targets (MIME
// types such as "image/png" and "text/uri-list", and X11 names such as
// "UTF8_STRING") with their bytes, and text. The real back end
// (CSdlClipboard) is the X11 CLIPBOARD selection, with text through SDL; the
// test back end (CMemoryClipboard) keeps everything in memory and lets a test
// play another program. Every call comes from the UI thread; the real back
// end performs it on the platform thread and waits for the answer.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Bytes from another program are refused above this size.
inline constexpr std::uint64_t kMaxClipboardBytes = std::uint64_t{1} << 30;

// Bytes shared without copying: a block on the clipboard may be large.
using ClipboardBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

struct ClipboardTarget {
  std::string name;
  // The bytes, or null when produce makes them.
  ClipboardBytes bytes;
  // Makes the bytes when they are first asked for (then kept), on any
  // thread; so it may only read data it owns. An empty result refuses the
  // request.
  std::function<std::vector<std::uint8_t>()> produce;
  // False: only this process sees the target (other programs are not told
  // of it); for the program's own formats, kept as they were written.
  bool shared = true;
};

class IClipboard {
public:
  virtual ~IClipboard() = default;

  // Takes the clipboard with these targets, replacing what it held (ours or
  // another program's). 1 on success.
  [[nodiscard]] virtual int Offer(std::vector<ClipboardTarget> targets) = 0;
  // Leaves the clipboard empty, whoever held it. 1 on success.
  [[nodiscard]] virtual int Empty() = 0;
  // The targets on offer: all of ours while we hold the clipboard, else what
  // the holder lists; empty when nobody holds it or the holder does not
  // answer in time.
  virtual std::vector<std::string> Targets() = 0;
  // The bytes of one target; 0 when it is not on offer, the holder refuses
  // it, does not answer in time, or sends more than kMaxClipboardBytes.
  [[nodiscard]] virtual int Read(std::string_view target, ClipboardBytes& bytes) = 0;
  // Text replaces the whole clipboard; 1 on success.
  [[nodiscard]] virtual int SetText(std::u16string_view text) = 0;
  // 0 when the clipboard holds no text (or an empty one).
  [[nodiscard]] virtual int GetText(std::u16string& text) = 0;

  // Drag and drop to other programs, for the drag of the first mouse button
  // held now: while the pointer is outside the window the shared targets
  // are offered to the window under it that takes drops (XDND), and the
  // button released there drops them. Inside the window the program runs
  // the drag itself. Ends at the release or Escape. 1 when the drag is
  // offered; 0 when the button is up or there is no display.
  [[nodiscard]] virtual int StartDrag(std::vector<ClipboardTarget> targets) = 0;
};
