#include "ui/widgets/AnimationSwitch.h"

std::atomic<std::int32_t> g_AnimationEnabled{0};
