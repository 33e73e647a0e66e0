#pragma once
// Asks an X window to close (WM_DELETE_WINDOW), as a window manager does when
// the user closes it. Kept apart because Xlib's macros clash with our names.

// 0 when the request was sent.
[[nodiscard]] int SendCloseRequest(unsigned long window);
