#pragma once
// The window-message vocabulary of the user-interface thread. The interface
// code was written against Windows messages, so the platform layer delivers
// the same codes, flags and virtual-key numbers. Mouse positions travel in
// UiMessage::point (physical client pixels), not packed into lparam.

#include <cstdint>

// Messages.
inline constexpr std::uint32_t WM_SIZE = 0x0005;       // wparam SIZE_*, point = client size
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;   // wparam WA_*
inline constexpr std::uint32_t WM_CLOSE = 0x0010;      // the user or the system asks to close
inline constexpr std::uint32_t WM_QUIT = 0x0012;       // wparam = exit code
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;  // sent with every mouse move
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;    // wparam virtual key, lparam key data
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;        // wparam one UTF-16 unit
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;  // keys pressed with Alt, and F10
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr std::uint32_t WM_TIMER = 0x0113;      // wparam timer id
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;  // wparam MK_* flags
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;  // wparam low word MK_*, high word signed delta
inline constexpr std::uint32_t WM_DROPFILES = 0x0233;   // data = DropFileList
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_SPRITEMESSAGE = WM_USER + 256;  // data = the sprite message

// WM_ACTIVATE states.
inline constexpr std::uint64_t WA_INACTIVE = 0;
inline constexpr std::uint64_t WA_ACTIVE = 1;
inline constexpr std::uint64_t WA_CLICKACTIVE = 2;

// WM_SIZE kinds.
inline constexpr std::uint64_t SIZE_RESTORED = 0;
inline constexpr std::uint64_t SIZE_MINIMIZED = 1;
inline constexpr std::uint64_t SIZE_MAXIMIZED = 2;

// Mouse-key flags of the mouse messages: the state after the event.
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;
inline constexpr std::uint32_t MK_RBUTTON = 0x0002;
inline constexpr std::uint32_t MK_SHIFT = 0x0004;
inline constexpr std::uint32_t MK_CONTROL = 0x0008;
inline constexpr std::uint32_t MK_MBUTTON = 0x0010;

// One notch of the mouse wheel.
inline constexpr std::int32_t WHEEL_DELTA = 120;

// Key data (lparam) of the key and character messages.
inline constexpr std::uint64_t kKeyDataRepeatMask = 0xFFFF;
inline constexpr std::uint64_t kKeyDataExtended = 1u << 24;
inline constexpr std::uint64_t kKeyDataAltDown = 1u << 29;
inline constexpr std::uint64_t kKeyDataWasDown = 1u << 30;
inline constexpr std::uint64_t kKeyDataKeyUp = 1u << 31;

// Virtual-key codes.
inline constexpr std::uint32_t VK_LBUTTON = 0x01;
inline constexpr std::uint32_t VK_RBUTTON = 0x02;
inline constexpr std::uint32_t VK_MBUTTON = 0x04;
inline constexpr std::uint32_t VK_BACK = 0x08;
inline constexpr std::uint32_t VK_TAB = 0x09;
inline constexpr std::uint32_t VK_CLEAR = 0x0C;
inline constexpr std::uint32_t VK_RETURN = 0x0D;
inline constexpr std::uint32_t VK_SHIFT = 0x10;
inline constexpr std::uint32_t VK_CONTROL = 0x11;
inline constexpr std::uint32_t VK_MENU = 0x12;  // Alt
inline constexpr std::uint32_t VK_PAUSE = 0x13;
inline constexpr std::uint32_t VK_CAPITAL = 0x14;
inline constexpr std::uint32_t VK_ESCAPE = 0x1B;
inline constexpr std::uint32_t VK_SPACE = 0x20;
inline constexpr std::uint32_t VK_PRIOR = 0x21;
inline constexpr std::uint32_t VK_NEXT = 0x22;
inline constexpr std::uint32_t VK_END = 0x23;
inline constexpr std::uint32_t VK_HOME = 0x24;
inline constexpr std::uint32_t VK_LEFT = 0x25;
inline constexpr std::uint32_t VK_UP = 0x26;
inline constexpr std::uint32_t VK_RIGHT = 0x27;
inline constexpr std::uint32_t VK_DOWN = 0x28;
inline constexpr std::uint32_t VK_SNAPSHOT = 0x2C;
inline constexpr std::uint32_t VK_INSERT = 0x2D;
inline constexpr std::uint32_t VK_DELETE = 0x2E;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
inline constexpr std::uint32_t VK_LWIN = 0x5B;
inline constexpr std::uint32_t VK_RWIN = 0x5C;
inline constexpr std::uint32_t VK_APPS = 0x5D;
inline constexpr std::uint32_t VK_NUMPAD0 = 0x60;  // through VK_NUMPAD9 = 0x69
inline constexpr std::uint32_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint32_t VK_ADD = 0x6B;
inline constexpr std::uint32_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint32_t VK_DECIMAL = 0x6E;
inline constexpr std::uint32_t VK_DIVIDE = 0x6F;
inline constexpr std::uint32_t VK_F1 = 0x70;  // through VK_F24 = 0x87
inline constexpr std::uint32_t VK_F10 = 0x79;
inline constexpr std::uint32_t VK_NUMLOCK = 0x90;
inline constexpr std::uint32_t VK_SCROLL = 0x91;
inline constexpr std::uint32_t VK_OEM_1 = 0xBA;  // ;:
inline constexpr std::uint32_t VK_OEM_PLUS = 0xBB;
inline constexpr std::uint32_t VK_OEM_COMMA = 0xBC;
inline constexpr std::uint32_t VK_OEM_MINUS = 0xBD;
inline constexpr std::uint32_t VK_OEM_PERIOD = 0xBE;
inline constexpr std::uint32_t VK_OEM_2 = 0xBF;  // /?
inline constexpr std::uint32_t VK_OEM_3 = 0xC0;  // `~
inline constexpr std::uint32_t VK_OEM_4 = 0xDB;  // [{
inline constexpr std::uint32_t VK_OEM_5 = 0xDC;  // \|
inline constexpr std::uint32_t VK_OEM_6 = 0xDD;  // ]}
inline constexpr std::uint32_t VK_OEM_7 = 0xDE;  // '"
inline constexpr std::uint32_t VK_OEM_102 = 0xE2;
