#pragma once
// The progress runner: one-click commands, tools and mask pages run an
// algorithm on an image under a small modal progress dialog and record their
// own history step when it finished. The dialog lives above the editor, so
// the editor reaches it through this interface; the program installs its
// runner at start-up. UI thread.

#include <cstdint>
#include <string_view>

class CAlgorithm;
struct CBgraImage16;

class IProgressRunner {
public:
  // Runs algorithm with its parameter block (the block's first field is its
  // size) on image, null meaning the current layer of the current edit page;
  // the image lies at (x, y) on the document, and the result is limited to
  // the document's selection. True only when the run finished; after a
  // failure or a cancel the image is as before.
  [[nodiscard]] virtual bool RunWithProgress(CAlgorithm& algorithm, const void* parameters,
                                             std::u16string_view title, CBgraImage16* image, std::int32_t x,
                                             std::int32_t y) = 0;

protected:
  ~IProgressRunner() = default;
};

// Installs the program's runner (null removes it).
void SetProgressRunner(IProgressRunner* runner);

// Runs through the installed runner; without one it writes
// "RunWithProgress not built" to the debug log and returns false.
[[nodiscard]] bool RunWithProgress(CAlgorithm& algorithm, const void* parameters, std::u16string_view title,
                                   CBgraImage16* image = nullptr, std::int32_t x = 0, std::int32_t y = 0);
