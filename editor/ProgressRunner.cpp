#include "editor/ProgressRunner.h"

#include "ui/NotBuilt.h"

namespace {
IProgressRunner* g_progressRunner = nullptr;
}  // namespace

void SetProgressRunner(IProgressRunner* runner) { g_progressRunner = runner; }

bool RunWithProgress(CAlgorithm& algorithm, const void* parameters, std::u16string_view title,
                     CBgraImage16* image, std::int32_t x, std::int32_t y) {
  if (g_progressRunner == nullptr) {
    WriteNotBuilt("RunWithProgress");
    return false;
  }
  return g_progressRunner->RunWithProgress(algorithm, parameters, title, image, x, y);
}
