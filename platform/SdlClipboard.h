#pragma once
// The real clipboard: text through SDL, pictures and file lists through the
// X11 CLIPBOARD selection (CX11Selection) on SDL's connection, drags to
// other programs through XDND (CX11DragSource). Each call of
// the UI thread runs on the platform thread, which the caller waits for.
// The selection and the drag source exist while the window does. Only the platform layer
// includes this header.

#include <SDL.h>

#include <memory>

#include "platform/Clipboard.h"

class CSdlHost;
class CX11DragSource;
class CX11Selection;

class CSdlClipboard final : public IClipboard {
public:
  explicit CSdlClipboard(CSdlHost& host);
  ~CSdlClipboard() override;
  CSdlClipboard(const CSdlClipboard&) = delete;
  CSdlClipboard& operator=(const CSdlClipboard&) = delete;

  // IClipboard; any thread but the platform thread waits for it.
  [[nodiscard]] int Offer(std::vector<ClipboardTarget> targets) override;
  [[nodiscard]] int Empty() override;
  std::vector<std::string> Targets() override;
  [[nodiscard]] int Read(std::string_view target, ClipboardBytes& bytes) override;
  [[nodiscard]] int SetText(std::u16string_view text) override;
  [[nodiscard]] int GetText(std::u16string& text) override;
  [[nodiscard]] int StartDrag(std::vector<ClipboardTarget> targets) override;

  // Platform thread: the window came or went (null).
  void SetWindow(SDL_Window* window);
  // Platform thread: an SDL_SYSWMEVENT, from SDL's event filter.
  void OnSystemEvent(const SDL_Event& event);

private:
  CSdlHost& m_host;
  std::unique_ptr<CX11Selection> m_selection;    // platform thread
  std::unique_ptr<CX11DragSource> m_dragSource;  // platform thread
  SDL_Window* m_window = nullptr;                // platform thread
};
