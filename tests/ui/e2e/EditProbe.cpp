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
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbePage.h"
#include "tests/common/ProbeWindow.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/SCheckBox.h"

namespace {

constexpr Rect kFieldPlace{40, 40, 440, 64};
constexpr Rect kBoxPlace{40, 100, 240, 124};

using probe::Write;

// The window's page: the controls' parent; it logs the field's changes.
class CPage final : public CProbePage {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kEditMsgTextChanged && field)
      Write("text %d %s", static_cast<int>(message.wparam), ToUtf8(field->GetText()).c_str());
    return CMessageSprite::OnSpriteMessage(message);
  }

  CEditSprite* field = nullptr;
};

class CEditProbeWindow final : public CProbeWindow {
public:
  CEditProbeWindow() : CProbeWindow(u"Tessera edit probe", {600, 300}) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && message.wparam == VK_ESCAPE) {
      EndDialog(0);
      return;
    }
    CProbeWindow::OnUiMessage(message);
    LogState();
  }

  [[nodiscard]] bool Build() override {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: edit_probe LOG\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.readyWithSize = false},
                          [&] { return std::make_unique<CEditProbeWindow>(); });
  });
}
