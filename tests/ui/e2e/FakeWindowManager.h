#pragma once
// A window manager for the virtual X server of the end-to-end tests, as far
// as the tests need one: it announces itself as an EWMH window manager and
// carries out _NET_WM_STATE requests to maximise and restore (the window
// fills the screen, then gets its old place back), setting the window's
// _NET_WM_STATE as a real one does. Kept apart because Xlib's macros clash
// with our names.

// Runs until killed; writes "wm ready" to readyFile once it serves. Not 0
// when the display cannot be opened.
[[nodiscard]] int RunFakeWindowManager(const char* readyFile);

// Asks the window manager to maximise or restore a window, as a desktop's
// own controls do (so the program learns of it only by its window events).
// 0 when the request was sent.
[[nodiscard]] int RequestMaximizedState(unsigned long window, bool maximized);
