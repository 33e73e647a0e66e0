#pragma once
// The program runs before all of its parts exist. A part that is not built
// yet is stood in for by a placeholder that says so in the debug log
// ("<part> not built") whenever it is asked for something, and then refuses
// or does nothing.

#include <string_view>

void WriteNotBuilt(std::string_view part);
