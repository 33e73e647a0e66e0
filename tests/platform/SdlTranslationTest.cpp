#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/DisplayDpi.h"
#include "platform/SdlEventTranslator.h"
#include "platform/WindowMessages.h"

namespace {

SDL_Event Key(Uint32 type, SDL_Keycode sym, SDL_Scancode scancode, Uint16 mod, Uint8 repeat = 0) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.sym = sym;
  e.key.keysym.scancode = scancode;
  e.key.keysym.mod = mod;
  e.key.repeat = repeat;
  return e;
}

SDL_Event Button(Uint32 type, Uint8 button, Uint8 clicks, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  e.button.clicks = clicks;
  e.button.x = x;
  e.button.y = y;
  return e;
}

SDL_Event Window(Uint8 event, int data1 = 0, int data2 = 0) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = event;
  e.window.data1 = data1;
  e.window.data2 = data2;
  return e;
}

using Brief = std::vector<std::pair<std::uint32_t, std::uint64_t>>;

Brief Summarise(const std::vector<UiMessage>& messages) {
  Brief out;
  for (const UiMessage& m : messages) out.emplace_back(m.message, m.wparam);
  return out;
}

TEST(SdlTranslation, KeysBecomeVirtualKeysAndControlCharacters) {
  struct Case {
    const char* name;
    SDL_Keycode sym;
    SDL_Scancode scancode;
    Uint16 mod;
    Brief expected;
  };
  const Case cases[] = {
      {"letter", SDLK_b, SDL_SCANCODE_B, KMOD_NONE, {{WM_KEYDOWN, 'B'}}},
      {"ctrl+a", SDLK_a, SDL_SCANCODE_A, KMOD_LCTRL, {{WM_KEYDOWN, 'A'}, {WM_CHAR, 1}}},
      {"ctrl+z", SDLK_z, SDL_SCANCODE_Z, KMOD_RCTRL, {{WM_KEYDOWN, 'Z'}, {WM_CHAR, 26}}},
      {"backspace", SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, KMOD_NONE, {{WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8}}},
      {"tab", SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT, {{WM_KEYDOWN, VK_TAB}, {WM_CHAR, 9}}},
      {"enter", SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_NONE, {{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 13}}},
      {"keypad enter",
       SDLK_KP_ENTER,
       SDL_SCANCODE_KP_ENTER,
       KMOD_NUM,
       {{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 13}}},
      {"esc", SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE, {{WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 27}}},
      {"alt+f is a system key", SDLK_f, SDL_SCANCODE_F, KMOD_LALT, {{WM_SYSKEYDOWN, 'F'}}},
      {"altgr is no ctrl key", SDLK_q, SDL_SCANCODE_Q, KMOD_RALT | KMOD_LCTRL, {{WM_KEYDOWN, 'Q'}}},
      {"f10", SDLK_F10, SDL_SCANCODE_F10, KMOD_NONE, {{WM_SYSKEYDOWN, VK_F10}}},
      {"keypad 7 with num lock", SDLK_KP_7, SDL_SCANCODE_KP_7, KMOD_NUM, {{WM_KEYDOWN, VK_NUMPAD0 + 7}}},
      {"keypad 7 without", SDLK_KP_7, SDL_SCANCODE_KP_7, KMOD_NONE, {{WM_KEYDOWN, VK_HOME}}},
      {"layout letter wins", SDLK_z, SDL_SCANCODE_Y, KMOD_NONE, {{WM_KEYDOWN, 'Z'}}},
      {"non-latin layout by position", 0x43A, SDL_SCANCODE_R, KMOD_NONE, {{WM_KEYDOWN, 'R'}}},
      {"digit", SDLK_AMPERSAND, SDL_SCANCODE_1, KMOD_NONE, {{WM_KEYDOWN, '1'}}},
      {"unknown key", SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, KMOD_NONE, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSdlEventTranslator translator;
    EXPECT_EQ(Summarise(translator.Translate(Key(SDL_KEYDOWN, c.sym, c.scancode, c.mod))), c.expected);
  }
}

TEST(SdlTranslation, KeyDataCarriesRepeatAndRelease) {
  CSdlEventTranslator translator;
  const auto repeat = translator.Translate(Key(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, KMOD_NONE, 1));
  ASSERT_EQ(repeat.size(), 1u);
  EXPECT_EQ(repeat[0].lparam & kKeyDataRepeatMask, 1u);
  EXPECT_TRUE(repeat[0].lparam & kKeyDataWasDown);
  const auto up = translator.Translate(Key(SDL_KEYUP, SDLK_a, SDL_SCANCODE_A, KMOD_NONE));
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].message, WM_KEYUP);
  EXPECT_TRUE(up[0].lparam & kKeyDataKeyUp);
}

TEST(SdlTranslation, MouseCarriesButtonAndModifierFlagsFromTheEvents) {
  CSdlEventTranslator translator;
  translator.Translate(Key(SDL_KEYDOWN, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT));
  const auto down = translator.Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 10, 20));
  const auto drag = translator.Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1, 11, 21));
  translator.Translate(Key(SDL_KEYUP, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_NONE));
  const auto up = translator.Translate(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1, 12, 22));
  const auto second = translator.Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 2, 12, 22));
  const auto third = translator.Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3, 12, 22));
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(down[0].wparam, std::uint64_t{MK_LBUTTON | MK_SHIFT});
  EXPECT_EQ(down[0].point, (Point{10, 20}));
  EXPECT_EQ(drag[0].message, WM_RBUTTONDOWN);
  EXPECT_EQ(drag[0].wparam, std::uint64_t{MK_LBUTTON | MK_RBUTTON | MK_SHIFT});
  EXPECT_EQ(up[0].message, WM_LBUTTONUP);
  EXPECT_EQ(up[0].wparam, std::uint64_t{MK_RBUTTON});
  EXPECT_EQ(second[0].message, WM_LBUTTONDBLCLK);
  EXPECT_EQ(third[0].message, WM_LBUTTONDOWN);
}

TEST(SdlTranslation, WheelIsCountedIn120ths) {
  struct Case {
    float preciseY;
    Uint32 direction;
    std::int16_t expected;
  };
  for (const Case& c : {Case{1.0f, SDL_MOUSEWHEEL_NORMAL, 120}, Case{-2.0f, SDL_MOUSEWHEEL_NORMAL, -240},
                        Case{0.5f, SDL_MOUSEWHEEL_NORMAL, 60}, Case{1.0f, SDL_MOUSEWHEEL_FLIPPED, -120}}) {
    CSdlEventTranslator translator;
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.preciseY = c.preciseY;
    e.wheel.y = static_cast<Sint32>(c.preciseY);
    e.wheel.direction = c.direction;
    e.wheel.mouseX = 3;
    e.wheel.mouseY = 4;
    const auto out = translator.Translate(e);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, WM_MOUSEWHEEL);
    EXPECT_EQ(static_cast<std::int16_t>(out[0].wparam >> 16), c.expected);
    EXPECT_EQ(out[0].point, (Point{3, 4}));
  }
}

TEST(SdlTranslation, TextBecomesUtf16CharactersExceptWithLeftAlt) {
  CSdlEventTranslator translator;
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::strcpy(e.text.text, "\xC3\xA9\xF0\x9F\x93\xB7");  // é and a camera (two UTF-16 units)
  EXPECT_EQ(Summarise(translator.Translate(e)),
            (Brief{{WM_CHAR, 0xE9}, {WM_CHAR, 0xD83D}, {WM_CHAR, 0xDCF7}}));
  translator.Translate(Key(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT));
  EXPECT_TRUE(translator.Translate(e).empty());
}

TEST(SdlTranslation, DropsCollectCheckedPathsUntilComplete) {
  CSdlEventTranslator translator;
  SDL_Event begin{};
  begin.type = SDL_DROPBEGIN;
  EXPECT_TRUE(translator.Translate(begin).empty());
  std::string good = "/home/u/a.jpg", relative = "b.jpg", empty;
  std::string tooLong = "/" + std::string(CSdlEventTranslator::kMaxPathBytes, 'x');
  for (std::string* path : {&good, &relative, &empty, &tooLong}) {
    SDL_Event file{};
    file.type = SDL_DROPFILE;
    file.drop.file = path->data();
    EXPECT_TRUE(translator.Translate(file).empty());
  }
  SDL_Event complete{};
  complete.type = SDL_DROPCOMPLETE;
  auto out = translator.Translate(complete, {7, 8});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].message, WM_DROPFILES);
  EXPECT_EQ(out[0].point, (Point{7, 8}));
  auto* list = dynamic_cast<CDropFileList*>(out[0].data.get());
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->files.size(), 1u);
  EXPECT_EQ(list->files[0], "/home/u/a.jpg");
  // A drop with nothing acceptable sends nothing.
  translator.Translate(begin);
  EXPECT_TRUE(translator.Translate(complete).empty());
}

TEST(SdlTranslation, WindowEventsBecomeActivationSizeAndClose) {
  CSdlEventTranslator translator;
  EXPECT_EQ(Summarise(translator.Translate(Window(SDL_WINDOWEVENT_FOCUS_GAINED))),
            (Brief{{WM_ACTIVATE, WA_ACTIVE}}));
  EXPECT_EQ(Summarise(translator.Translate(Window(SDL_WINDOWEVENT_FOCUS_LOST))),
            (Brief{{WM_ACTIVATE, WA_INACTIVE}}));
  EXPECT_EQ(Summarise(translator.Translate(Window(SDL_WINDOWEVENT_CLOSE))), (Brief{{WM_CLOSE, 0}}));
  auto sized = translator.Translate(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600));
  ASSERT_EQ(sized.size(), 1u);
  EXPECT_EQ(sized[0].message, WM_SIZE);
  EXPECT_EQ(sized[0].wparam, SIZE_RESTORED);
  EXPECT_EQ(sized[0].point, (Point{800, 600}));
  EXPECT_EQ(Summarise(translator.Translate(Window(SDL_WINDOWEVENT_MINIMIZED))),
            (Brief{{WM_SIZE, SIZE_MINIMIZED}}));
  // Restored from the task bar: the size comes again, positive.
  auto restored = translator.Translate(Window(SDL_WINDOWEVENT_RESTORED));
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_EQ(restored[0].point, (Point{800, 600}));
  // Maximised by the program itself: SDL sends only the new size, and the
  // state given beforehand says what it is.
  translator.SetWindowState(true, false);
  EXPECT_EQ(Summarise(translator.Translate(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1600, 1200))),
            (Brief{{WM_SIZE, SIZE_MAXIMIZED}}));
  translator.SetWindowState(false, false);
  EXPECT_EQ(Summarise(translator.Translate(Window(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600))),
            (Brief{{WM_SIZE, SIZE_RESTORED}}));
}

TEST(DisplayDpi, ReadsXftDpiAndTheOverride) {
  EXPECT_EQ(ParseXftDpi("Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n"), 144);
  EXPECT_EQ(ParseXftDpi("Xft.dpi: 120.4"), 120);
  EXPECT_EQ(ParseXftDpi("Xcursor.size: 24\n"), 0);
  EXPECT_EQ(ParseXftDpi("Xft.dpi:\tlarge\n"), 0);
  EXPECT_EQ(ParseXftDpi("Xft.dpi:\t100000\n"), 0);
  EXPECT_EQ(ParseDpiOverride("192"), 192);
  EXPECT_EQ(ParseDpiOverride("-5"), 0);
  EXPECT_EQ(ParseDpiOverride(nullptr), 0);
}

}  // namespace
