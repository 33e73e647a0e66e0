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
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbePage.h"
#include "tests/common/ProbeWindow.h"
#include "ui/dialogs/ColorCodeDlg.h"
#include "ui/dialogs/ColorPickerDlg.h"
#include "ui/dialogs/LockRatioDlg.h"
#include "ui/widgets/EditSprite.h"

namespace {

constexpr std::uint32_t kPollTimer = 2;
constexpr ColourBgra16 kStartColour = MakeColourBgra16(0x1000, 0x2000, 0x6000, 0xFFFF);

using probe::Write;

class CPage final : public CProbePage {};

class CPickerProbeWindow final : public CProbeWindow {
public:
  CPickerProbeWindow() : CProbeWindow(u"Tessera picker probe", {800, 600}) {}

  void OnUiMessage(UiMessage& message) override {
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
    CProbeWindow::OnUiMessage(message);
    LogDialogs();
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kPollTimer) LogDialogs();
    CProbeWindow::OnTimer(id);
  }

  [[nodiscard]] bool Build() override {
    const Size client = WindowHost()->GetClientSize();
    m_page = new CPage;
    if (!m_page->Create(nullptr, this, 1, {0, 0, Logical(client.width), Logical(client.height)}, 2))
      return false;
    AddTopLevelSprite(m_page, true);
    UiQueue().SetTimer(kPollTimer, 100);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: picker_probe LOG\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.readyWithSize = false, .loadResources = true},
                          [&] { return std::make_unique<CPickerProbeWindow>(); });
  });
}
