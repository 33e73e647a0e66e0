#pragma once
// Opening a document or a web address with the desktop's chosen program,
// as the shell's "open" verb does: `xdg-open` (found through PATH) is
// started and left to run; the program that shows the target may keep
// running after ours.

#include <string_view>

// 1 when the opener was started, 0 when it could not be (no xdg-open, an
// empty target, or one that starts with '-', which the opener would take for
// an option).
[[nodiscard]] int ShellOpen(std::u16string_view target);

// The same, telling why it failed: 0 when the opener was started, else the
// error number (EINVAL for an empty target or one that starts with '-', or
// what starting the opener gave).
[[nodiscard]] int ShellOpenError(std::u16string_view target);
