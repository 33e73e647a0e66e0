#pragma once
// The clipboard without a display, for tests: the headless host's back end.
// Besides this program's calls it lets a test act as another program, which
// sees only the shared targets and may put its own targets and bytes there.
// Text is the target "UTF8_STRING", as on X11.

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/ClipboardOffer.h"

class CMemoryClipboard final : public IClipboard {
public:
  using ForeignTarget = std::pair<std::string, std::vector<std::uint8_t>>;

  [[nodiscard]] int Offer(std::vector<ClipboardTarget> targets) override;
  [[nodiscard]] int Empty() override;
  std::vector<std::string> Targets() override;
  [[nodiscard]] int Read(std::string_view target, ClipboardBytes& bytes) override;
  [[nodiscard]] int SetText(std::u16string_view text) override;
  [[nodiscard]] int GetText(std::u16string& text) override;
  // Keeps the targets as the running drag's.
  [[nodiscard]] int StartDrag(std::vector<ClipboardTarget> targets) override;

  // Another program takes the clipboard with these targets.
  void OfferFromOtherProgram(std::vector<ForeignTarget> targets);
  // What another program sees of the clipboard.
  std::vector<std::string> TargetsSeenByOtherProgram();
  [[nodiscard]] int ReadAsOtherProgram(std::string_view target, ClipboardBytes& bytes);
  bool IsEmpty();
  // What a program the last drag was dropped on sees of it.
  std::vector<std::string> DragTargetsSeenByOtherProgram();
  [[nodiscard]] int ReadDragAsOtherProgram(std::string_view target, ClipboardBytes& bytes);

private:
  std::mutex m_mutex;
  CClipboardOffer m_offer;
  CClipboardOffer m_drag;
};
