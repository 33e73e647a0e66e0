#include "platform/LocalTime.h"

#include <time.h>

bool ToLocalTime(std::time_t time, std::tm& local) { return ::localtime_r(&time, &local) != nullptr; }
