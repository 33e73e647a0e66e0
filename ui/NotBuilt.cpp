#include "ui/NotBuilt.h"

#include <string>

#include "ui/UIResources.h"

void WriteNotBuilt(std::string_view part) { UIResources().WriteLog(std::string(part) + " not built"); }
