#pragma once
// The after-matting dialog's answer: how it ended (1 OK), the choice (an
// AfterMattingId) and its "mask as selection" box.

#include <cstdint>

struct AfterMattingAnswer {
  std::int32_t endCode = 0;
  std::int32_t choice = 0;
  bool maskAsSelection = false;
};
