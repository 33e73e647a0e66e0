// A small program for the end-to-end test of the edit field and text input.
// A page holds an edit field and a check box. The log tells the test where
// they are (physical client pixels), which of them has the keyboard focus,
// whether text input is on, and the field's text (UTF-8) with its number of
// characters after every change the field reports.
//
// Escape ends the probe (also after 90 s).
//
//   edit_probe LOG

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/SCheckBox.h"

namespace {

constexpr std::uint32_t kTimeLimitTimer = 1;
constexpr Rect kFieldPlace{40, 40, 440, 64};
constexpr Rect kBoxPlace{40, 100, 240, 124};

std::FILE* g_log = nullptr;

template <typename... Args>
void Write(const char* format, Args... args) {
  // A bare text is no format: it prints as it stands.
  if constexpr (sizeof...(args) == 0)
    std::fputs(format, g_log);
  else
    std::fprintf(g_log, format, args...);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

// The window's page: the controls' parent; it logs the field's changes.
class CPage final : public CMessageSprite {
public:
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    FillRect(surface, {0, 0, rect.Width(), rect.Height()}, 0xFF26282Cu);
    InvalidateArea({}, 1);
    return true;
  }
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kEditMsgTextChanged && field)
      Write("text %d %s", static_cast<int>(message.wparam), ToUtf8(field->GetText()).c_str());
    return CMessageSprite::OnSpriteMessage(message);
  }

  CEditSprite* field = nullptr;
};

class CEditProbeWindow final : public CRenderWindow {
public:
  CEditProbeWindow() {
    windowOptions.title = u"Tessera edit probe";
    windowOptions.size = {600, 300};
    windowOptions.maximized = false;
  }

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_ACTIVATE) Write("activate %u", static_cast<unsigned>(message.wparam));
    if (message.message == WM_KEYDOWN && message.wparam == VK_ESCAPE) {
      EndDialog(0);
      return;
    }
    CRenderWindow::OnUiMessage(message);
    LogState();
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kTimeLimitTimer) {
      Write("time limit");
      EndDialog(3);
    }
    CRenderWindow::OnTimer(id);
  }

  bool Build() {
    const Size client = WindowHost()->GetClientSize();
    m_page = new CPage;
    if (!m_page->Create(nullptr, this, 1, {0, 0, Logical(client.width), Logical(client.height)}, 2))
      return false;
    AddTopLevelSprite(m_page, true);
    m_field = new CEditSprite;
    if (!m_field->Create(m_page, 2, kFieldPlace, 2)) {
      delete m_field;
      return false;
    }
    m_field->owned = 1;
    m_page->AppendChild(m_field);
    m_page->field = m_field;
    m_box = new CSCheckBox;
    if (!m_box->Create(m_page, 3, kBoxPlace, u"Takes no text")) {
      delete m_box;
      return false;
    }
    m_box->owned = 1;
    m_page->AppendChild(m_box);
    LogCentre("field", kFieldPlace);
    LogCentre("box", kBoxPlace);
    LogState();
    return true;
  }

private:
  std::int32_t Logical(std::int32_t physical) const { return static_cast<std::int32_t>(physical / scale); }
  void LogCentre(const char* name, const Rect& place) {
    const Point centre = PhysicalOffset({(place.left + place.right) / 2, (place.top + place.bottom) / 2});
    Write("%s %d %d", name, centre.x, centre.y);
  }
  void LogState() {
    const CMessageSprite* focus = FocusSprite();
    const char* name = focus == m_field ? "field" : focus == m_box ? "box" : "none";
    if (name != m_loggedFocus) {
      m_loggedFocus = name;
      Write("focus %s", name);
    }
    const int input = TextInputActive() ? 1 : 0;
    if (input != m_loggedInput) {
      m_loggedInput = input;
      Write("textinput %d", input);
    }
  }

  CPage* m_page = nullptr;
  CEditSprite* m_field = nullptr;
  CSCheckBox* m_box = nullptr;
  const char* m_loggedFocus = "";
  int m_loggedInput = -1;
};

int RunProbe(const char* logPath) {
  g_log = std::fopen(logPath, "w");
  if (!g_log) return 2;
  int code = 2;
  {
    CEditProbeWindow window;
    if (window.Create() && window.Build()) {
      window.SetRenderReady();
      UiQueue().SetTimer(kTimeLimitTimer, 90000);
      Write("ready");
      code = window.RunModal();
    } else {
      Write("no window");
    }
  }
  Write("exit %d", code);
  std::fclose(g_log);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: edit_probe LOG\n");
    return 2;
  }
  return RunPlatform([&] { return RunProbe(argv[1]); });
}
