#include "image/ImageLoadError.h"

#include <algorithm>

namespace {

// A fixed buffer: recording a failure never allocates. Longer texts are cut.
thread_local char t_text[256] = {};
thread_local std::size_t t_length = 0;

}  // namespace

std::string_view ImageLoadError() { return {t_text, t_length}; }

void SetImageLoadError(std::string_view text) {
  t_length = std::min(text.size(), sizeof t_text);
  std::copy_n(text.data(), t_length, t_text);
}
