#pragma once
// Sets the X resource Xft.dpi on the display's root window, as xrdb does,
// so that programs started afterwards see that resolution. Kept apart
// because Xlib's macros clash with our names.

// 0 when the resource was set.
[[nodiscard]] int SetXftDpiResource(int dpi);
