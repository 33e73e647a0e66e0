// A small program for the end-to-end test of the colour picker and the
// lock-ratio dialog. The key P runs the colour picker on a dark blue, the
// key L the lock-ratio dialog on 4 : 3, unlocked; each logs its result when
// it ends. While they run, the log tells the test where their parts are
// (physical client pixels), the picker's colour after every change (R, G,
// B, A in hex), the colour-code dialog's text, the text input for a preset
// name, and the rows of the preset menu.
//
// Escape (while no dialog runs) ends the probe, also after 90 s.
//
//   picker_probe LOG

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/dialogs/ColorCodeDlg.h"
#include "ui/dialogs/ColorPickerDlg.h"
#include "ui/dialogs/LockRatioDlg.h"
#include "ui/widgets/EditSprite.h"

namespace {

constexpr std::uint32_t kTimeLimitTimer = 1;
constexpr std::uint32_t kPollTimer = 2;
constexpr ColourBgra16 kStartColour = MakeColourBgra16(0x1000, 0x2000, 0x6000, 0xFFFF);

std::FILE* g_log = nullptr;

template <typename... Args>
void Write(const char* format, Args... args) {
  std::fprintf(g_log, format, args...);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

class CPage final : public CMessageSprite {
public:
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    FillRect(surface, {0, 0, rect.Width(), rect.Height()}, 0xFF26282Cu);
    InvalidateArea({}, 1);
    return true;
  }
};

class CPickerProbeWindow final : public CRenderWindow {
public:
  CPickerProbeWindow() {
    windowOptions.title = u"Tessera picker probe";
    windowOptions.size = {800, 600};
    windowOptions.maximized = false;
  }

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_ACTIVATE) Write("activate %u", static_cast<unsigned>(message.wparam));
    if (message.message == WM_KEYDOWN && !TopPopup()) {
      switch (message.wparam) {
        case 'P':
          RunPicker();
          return;
        case 'L':
          RunLockRatio();
          return;
        case VK_ESCAPE:
          EndDialog(0);
          return;
        default:
          break;
      }
    }
    CRenderWindow::OnUiMessage(message);
    LogDialogs();
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kTimeLimitTimer) {
      Write("time limit");
      EndDialog(3);
    }
    if (id == kPollTimer) LogDialogs();
    CRenderWindow::OnTimer(id);
  }

  [[nodiscard]] bool Build() {
    const Size client = WindowHost()->GetClientSize();
    m_page = new CPage;
    if (!m_page->Create(nullptr, this, 1, {0, 0, Logical(client.width), Logical(client.height)}, 2))
      return false;
    AddTopLevelSprite(m_page, true);
    return true;
  }

private:
  std::int32_t Logical(std::int32_t physical) const { return static_cast<std::int32_t>(physical / scale); }
  void LogPoint(const char* name, const CSprite& sprite, Point local) {
    const Point at = PhysicalOffset(sprite.PointToWindow(local));
    Write("%s %d %d", name, at.x, at.y);
  }
  void LogCentre(const char* name, const CSprite* control) {
    if (control) LogPoint(name, *control, {control->rect.Width() / 2, control->rect.Height() / 2});
  }

  void RunPicker() {
    Write("picker");
    const ColourBgra16 result = PickColor(kStartColour);
    Write("picker result %04x %04x %04x %04x", RedOf(result), GreenOf(result), BlueOf(result),
          AlphaOf(result));
  }

  void RunLockRatio() {
    Write("ratio");
    CLockRatioDlg dialog;
    dialog.ratioWidth = 4;
    dialog.ratioHeight = 3;
    std::int32_t code = 0;
    if (dialog.Create(CLockRatioDlg::kTemplateId)) code = dialog.RunModal();
    Write("ratio result %d %d %u %u", code, dialog.lockRatio, dialog.ratioWidth, dialog.ratioHeight);
  }

  // What the dialog on top shows, once per dialog, and what changed.
  void LogDialogs() {
    CPopupSprite* top = TopPopup();
    if (!top || !top->visible) return;
    const bool first = top->key != m_loggedKey;
    m_loggedKey = top->key;
    if (auto* picker = dynamic_cast<CColorPickerDlg*>(top)) {
      if (first) {
        const Point c = picker->wheelCentre;
        LogPoint("wheel", *picker, c);
        Write("radius %d", static_cast<int>(picker->wheelRadius * scale));
        LogPoint("rim", *picker, {c.x + picker->wheelRadius + 3, c.y});
        LogPoint("bar top", *picker, {picker->barRect.left + 5, picker->barRect.top - 3});
        LogPoint("bar bottom", *picker, {picker->barRect.left + 5, picker->barRect.bottom + 2});
        LogPoint("grey swatch", picker->swatchPanel, {8, 24});
        LogCentre("code button", picker->FindControl(CColorPickerDlg::kColorCodeId));
        LogCentre("ok", picker->FindControl(kIdOk));
        Write("picker shown");
        m_loggedColour = 0;
      }
      const ColourBgra16 colour = picker->Colour();
      if (colour != m_loggedColour) {
        m_loggedColour = colour;
        Write("colour %04x %04x %04x %04x", RedOf(colour), GreenOf(colour), BlueOf(colour), AlphaOf(colour));
      }
    } else if (auto* code = dynamic_cast<CColorCodeDlg*>(top)) {
      const auto* field = dynamic_cast<CEditSprite*>(code->FindControl(CSStringDialog::kEditId));
      if (first) {
        Write("code shown");
        m_loggedText.clear();
      }
      if (field && (first || field->GetText() != m_loggedText)) {
        m_loggedText = field->GetText();
        Write("code text %s", ToUtf8(m_loggedText).c_str());
      }
    } else if (auto* name = dynamic_cast<CSStringDialog*>(top)) {
      if (first) {
        LogCentre("name field", name->FindControl(CSStringDialog::kEditId));
        Write("name shown");
      }
    } else if (auto* ratio = dynamic_cast<CLockRatioDlg*>(top)) {
      if (first) {
        LogCentre("presets", ratio->FindControl(CLockRatioDlg::kPresetButtonId));
        LogPoint("lock", *ratio->FindControl(CLockRatioDlg::kLockId), {10, 10});
        LogCentre("ok", ratio->FindControl(kIdOk));
        Write("ratio shown");
      }
    } else if (auto* menu = dynamic_cast<CSMenu*>(top)) {
      if (first) {
        for (std::size_t i = 0; i < menu->items.size(); ++i) {
          const MenuItem& item = *menu->items[i];
          const Point at = PhysicalOffset(
              menu->PointToWindow({menu->iconColumnWidth + 10, item.rowTop + item.rowHeight / 2}));
          Write("row %zu %d %d %s", i, at.x, at.y, item.separator ? "-" : ToUtf8(item.caption).c_str());
        }
        Write("menu shown");
      }
    }
  }

  CPage* m_page = nullptr;
  std::int32_t m_loggedKey = 0;
  ColourBgra16 m_loggedColour = 0;
  std::u16string m_loggedText;
};

int RunProbe(const char* logPath) {
  g_log = std::fopen(logPath, "w");
  if (!g_log) return 2;
  int code = 2;
  if (UIResources().Init(u"")) {
    CPickerProbeWindow window;
    if (window.Create() && window.Build()) {
      window.SetRenderReady();
      UiQueue().SetTimer(kTimeLimitTimer, 90000);
      UiQueue().SetTimer(kPollTimer, 100);
      Write("ready");
      code = window.RunModal();
    } else {
      Write("no window");
    }
  } else {
    Write("no resources");
  }
  Write("exit %d", code);
  std::fclose(g_log);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: picker_probe LOG\n");
    return 2;
  }
  return RunPlatform([&] { return RunProbe(argv[1]); });
}
