// A small program for the end-to-end test of the window frame. It shows a
// restored render window with the real frame and a page of widgets (a
// panel, buttons, a hover box), and writes to a log what the test needs to
// know: the window's size events with the frame's maximised flag, clicks of
// the widgets, and the close. It ends when the window is closed (exit code
// 2, the dialog's cancel), on the key Q, or after 90 s.
//
//   frame_window_probe LOG                  run
//   frame_window_probe --set-xft-dpi N      set the X resource Xft.dpi first
//   frame_window_probe --window-manager F   be the window manager ("wm ready" in F)
//   frame_window_probe --wm-state ID add|remove
//                                           maximise or restore window ID as
//                                           a desktop's own controls do

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbeWindow.h"
#include "tests/ui/e2e/FakeWindowManager.h"
#include "tests/ui/e2e/XftDpi.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/MoveOverSprite.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SButton.h"

namespace {

using probe::Write;

// The page under the frame: the skin's rounded frame, and the clicks of its
// widgets in the log.
class CDemoPage final : public CMessageSprite {
public:
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    if (!StretchSkinFrame(surface, UIResources().skins.roundFrameImage, 0, 0)) return false;
    InvalidateArea({}, 1);
    return true;
  }
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kSpriteMsgButtonClicked) Write("click button %d", static_cast<int>(message.wparam));
    if (message.code == kPanelMsgItemClicked) Write("click item %d", static_cast<int>(message.wparam));
    return CMessageSprite::OnSpriteMessage(message);
  }
};

// A box that lights up while the pointer is over it.
class CHoverBox final : public CMoveOverSprite {
public:
  bool Draw(std::uint32_t now) override {
    const bool changed = CMoveOverSprite::Draw(now);
    if (!dirty || surface.IsEmpty()) return changed;
    if (!StretchSkinFrame(surface, UIResources().skins.roundFrameImage, 0, 0)) return false;
    std::lock_guard textGuard(UIResources().skins);
    CBgraImage text;
    if (UIResources().skins.RenderText(u"Hover over me", text)) {
      BlendColorMask(surface, text, (static_cast<std::int32_t>(surface.width - text.width)) / 2,
                     (static_cast<std::int32_t>(surface.height - text.height)) / 2,
                     UIResources().theme.colors[0], {});
    }
    InvalidateArea({}, 1);
    return true;
  }
};

class CFrameProbeWindow final : public CProbeWindow {
public:
  CFrameProbeWindow() : CProbeWindow(u"Tessera frame probe", {1000, 640}) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && message.wparam == 'Q') EndDialog(0);
    CProbeWindow::OnUiMessage(message);
    if (message.message == WM_SIZE) {
      Write("size %u %d %d maximized %d", static_cast<unsigned>(message.wparam), message.point.x,
            message.point.y, frame.maximized);
    }
  }

  void OnClose() override {
    Write("close");
    CRenderWindow::OnClose();
  }

  void OnLayout(std::int32_t width, std::int32_t height) override {
    CRenderWindow::OnLayout(width, height);
    if (m_page) m_page->SetSpriteRect(8, 40, width - 16, height - 48);
  }

  [[nodiscard]] bool Build() override {
    // The first frame has not measured the window yet: its logical size
    // comes from the client size.
    auto* page = new CDemoPage;
    const Size client = WindowHost()->GetClientSize();
    const Size logical{static_cast<std::int32_t>(client.width / scale),
                       static_cast<std::int32_t>(client.height / scale)};
    if (!page->Create(nullptr, this, 1, {8, 40, logical.width - 8, logical.height - 8}, 2)) return false;
    AddTopLevelSprite(page, true);
    m_page = page;

    auto* panel = new CPanelSprite;
    if (!panel->Create(page, nullptr, 10, {16, 16, 16 + 640, 16 + 56}, 0)) return false;
    panel->owned = 1;
    page->AppendChild(panel);
    const char16_t* captions[] = {u"Open", u"Save", u"Crop", u"Rotate", u"A caption that wraps"};
    const char16_t* tips[] = {u"Open a photo", u"Save the photo", u"Crop\\nto a rectangle", u"Rotate", u""};
    for (std::uint32_t i = 0; i < 5; ++i) {
      const std::int32_t left = 4 + static_cast<std::int32_t>(i) * 104;
      if (!panel->AddItem(100 + i, {left, 4, left + 100, 50}, 1, captions[i], tips[i], nullptr)) return false;
    }
    panel->SetItemChecked(102, true);
    panel->EnableItem(103, false);

    struct DemoButton {
      std::int32_t id;
      Rect rect;
      const char16_t* caption;
      const char16_t* icon;
    };
    const DemoButton buttons[] = {
        {201, {16, 96, 116, 128}, u"OK", nullptr},
        {202, {132, 96, 252, 128}, u"A caption too long for its button", nullptr},
        {203, {268, 96, 368, 128}, u"Grid", nullptr},
        {204, {384, 96, 484, 128}, u"Close", u"close.png"},
    };
    for (const DemoButton& entry : buttons) {
      auto* button = new CSButton;
      if (!button->Create(page, nullptr, entry.id, entry.rect, 0, entry.caption,
                          entry.icon ? entry.icon : u"", false))
        return false;
      button->owned = 1;
      if (entry.id == 203) button->isToggle = 1;
      page->AppendChild(button);
    }

    auto* box = new CHoverBox;
    if (!box->Create(page, nullptr, 300, {16, 152, 256, 232}, 0)) return false;
    box->owned = 1;
    page->AppendChild(box);
    return true;
  }

private:
  CDemoPage* m_page = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc == 3 && std::strcmp(argv[1], "--window-manager") == 0) return RunFakeWindowManager(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "--wm-state") == 0) {
    return RequestMaximizedState(std::strtoul(argv[2], nullptr, 0), std::strcmp(argv[3], "add") == 0);
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: frame_window_probe LOG | --set-xft-dpi N | --window-manager FILE | "
                 "--wm-state ID add|remove\n");
    return 2;
  }
  return RunPlatform(
      [&] { return RunProbeWindow(argv[1], {}, [&] { return std::make_unique<CFrameProbeWindow>(); }); });
}
