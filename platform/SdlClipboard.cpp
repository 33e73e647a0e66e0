#include "platform/SdlClipboard.h"

#include "platform/SdlHost.h"
#include "platform/Utf16.h"
#include "platform/X11DragSource.h"
#include "platform/X11Selection.h"

// Last: it brings Xlib's macros, which clash with our names.
#include <SDL_syswm.h>

namespace {

constexpr std::string_view kTextTarget = "UTF8_STRING";

}  // namespace

CSdlClipboard::CSdlClipboard(CSdlHost& host) : m_host(host) {}

CSdlClipboard::~CSdlClipboard() = default;

void CSdlClipboard::SetWindow(SDL_Window* window) {
  m_window = nullptr;
  m_dragSource.reset();
  m_selection.reset();
  if (!window) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11 ||
      !info.info.x11.display) {
    return;
  }
  auto selection = std::make_unique<CX11Selection>(info.info.x11.display, [] { SDL_PumpEvents(); });
  if (selection->IsValid()) m_selection = std::move(selection);
  auto dragSource = std::make_unique<CX11DragSource>(info.info.x11.display, [] { SDL_PumpEvents(); });
  if (dragSource->IsValid()) m_dragSource = std::move(dragSource);
  m_window = window;
}

void CSdlClipboard::OnSystemEvent(const SDL_Event& event) {
  if (!event.syswm.msg || event.syswm.msg->subsystem != SDL_SYSWM_X11) return;
  if (m_selection) m_selection->HandleEvent(event.syswm.msg->msg.x11.event);
  if (m_dragSource) m_dragSource->HandleEvent(event.syswm.msg->msg.x11.event);
}

int CSdlClipboard::Offer(std::vector<ClipboardTarget> targets) {
  int result = 0;
  m_host.Call([&] { result = m_selection ? m_selection->Offer(std::move(targets)) : 0; }, true);
  return result;
}

int CSdlClipboard::Empty() {
  int result = 0;
  m_host.Call([&] { result = m_selection ? m_selection->Empty() : 0; }, true);
  return result;
}

std::vector<std::string> CSdlClipboard::Targets() {
  std::vector<std::string> targets;
  m_host.Call(
      [&] {
        if (m_selection) targets = m_selection->Targets();
      },
      true);
  return targets;
}

int CSdlClipboard::Read(std::string_view target, ClipboardBytes& bytes) {
  int result = 0;
  m_host.Call([&] { result = m_selection ? m_selection->Read(target, bytes) : 0; }, true);
  return result;
}

int CSdlClipboard::SetText(std::u16string_view text) {
  int result = 0;
  m_host.Call(
      [&] {
        // SDL's own window takes the selection over.
        if (m_selection) m_selection->Forget();
        result = SDL_SetClipboardText(ToUtf8(text).c_str()) == 0 ? 1 : 0;
      },
      true);
  return result;
}

int CSdlClipboard::GetText(std::u16string& text) {
  int result = 0;
  m_host.Call(
      [&] {
        // Our own file list is answered here rather than through a request
        // to ourselves.
        if (m_selection && m_selection->Owns()) {
          ClipboardBytes bytes;
          if (!m_selection->Read(kTextTarget, bytes)) return;
          text = FromUtf8({reinterpret_cast<const char*>(bytes->data()), bytes->size()});
          result = text.empty() ? 0 : 1;
          return;
        }
        char* utf8 = SDL_GetClipboardText();
        if (!utf8) return;
        if (*utf8) {
          text = FromUtf8(utf8);
          result = 1;
        }
        SDL_free(utf8);
      },
      true);
  return result;
}

int CSdlClipboard::StartDrag(std::vector<ClipboardTarget> targets) {
  int result = 0;
  m_host.Call(
      [&] {
        if (!m_dragSource) return;
        // SDL may have replaced the X window since it was made.
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(m_window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
        result = m_dragSource->Start(info.info.x11.window, std::move(targets));
      },
      true);
  return result;
}
