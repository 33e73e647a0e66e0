#pragma once
// Messages that must reach the user when no window of ours can show them:
// before the main window exists, or when the settings cannot be saved. They
// go to standard error until a handler (the window layer's system message
// box, or a test) is installed.

#include <string_view>

using SystemMessageHandler = void (*)(std::u16string_view text);

void ShowSystemMessage(std::u16string_view text);

// Replaces where the messages go; null restores standard error.
void SetSystemMessageHandler(SystemMessageHandler handler);
