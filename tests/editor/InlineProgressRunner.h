#pragma once
// A progress runner for tests: runs the algorithm on the calling thread, as
// the progress dialog does on its own, or refuses as a cancelled dialog does.

#include <cstdint>
#include <string_view>

#include "algorithms/Algorithm.h"
#include "editor/ProgressRunner.h"
#include "image/BgraImage16.h"
#include "platform/Rect.h"

class CInlineProgressRunner final : public IProgressRunner {
public:
  bool RunWithProgress(CAlgorithm& algorithm, const void* parameters, std::u16string_view,
                       CBgraImage16* image, std::int32_t x, std::int32_t y) override {
    ++runs;
    at = {x, y};
    if (!finish || !image) return false;
    CBgraImage16 result;
    algorithm.m_source = image;
    algorithm.m_target = &result;
    algorithm.m_params = parameters;
    if (!algorithm.Process()) return false;
    image->Swap(result);
    return true;
  }
  bool finish = true;
  int runs = 0;
  Point at;
};

// Installed as the program's runner while it lives.
class CInstalledInlineRunner {
public:
  CInstalledInlineRunner() { SetProgressRunner(&runner); }
  ~CInstalledInlineRunner() { SetProgressRunner(nullptr); }
  CInstalledInlineRunner(const CInstalledInlineRunner&) = delete;
  CInstalledInlineRunner& operator=(const CInstalledInlineRunner&) = delete;
  CInlineProgressRunner runner;
};
