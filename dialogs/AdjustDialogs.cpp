#include "dialogs/AdjustDialogs.h"

#include "dialogs/ClickDlg.h"
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

// Builds the dialog on the handler's stack and runs it; 1 when OK ended it.
template <typename Dialog>
std::int32_t RunClickDialog(CSEditPage&, const SpriteMessage&) {
  Dialog dialog;
  if (!dialog.Create(CClickDlg::kTemplateId)) return 0;
  return dialog.RunModal() == kIdOk ? 1 : 0;
}
}  // namespace

void InstallAdjustDialogs(IDialogHost* host) {
  if (host) SetDialogHost(host);
  SetProgressRunner(&g_runner);
  EditCommands().Register(kCmdWhiteBalance, &RunClickDialog<CWBDlg>);
  EditCommands().Register(kCmdSpotMetering, &RunClickDialog<CSpotMeteringDlg>);
}

void UninstallAdjustDialogs() {
  EditCommands().Register(kCmdWhiteBalance, {});
  EditCommands().Register(kCmdSpotMetering, {});
  SetProgressRunner(nullptr);
  SetDialogHost(nullptr);
}
