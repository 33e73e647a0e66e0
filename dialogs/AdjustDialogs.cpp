#include "dialogs/AdjustDialogs.h"

#include "dialogs/DialogHost.h"
#include "dialogs/ProgDlg.h"
#include "editor/CommandRegistry.h"
#include "editor/ProgressRunner.h"

namespace {
class CDialogProgressRunner final : public IProgressRunner {
public:
  bool RunWithProgress(CAlgorithm& algorithm, const void* parameters, std::u16string_view title,
                       CBgraImage16* image, std::int32_t x, std::int32_t y) override {
    return RunProgressDialog(algorithm, parameters, title, image, x, y);
  }
};
CDialogProgressRunner g_runner;
}  // namespace

void InstallAdjustDialogs(IDialogHost* host) {
  if (host) SetDialogHost(host);
  SetProgressRunner(&g_runner);
}

void UninstallAdjustDialogs() {
  SetProgressRunner(nullptr);
  SetDialogHost(nullptr);
}
