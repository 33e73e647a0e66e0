#include "editor/ColorRangeTool.h"

#include "editor/SEditView.h"
#include "editor/SelColorDlg.h"

std::int32_t CColorRangeTool::Activate() {
  if (!hostView || !hostView->document) return 0;
  CSelColorDlg dialog;
  dialog.document = hostView->document;
  // The dialog's outcome is the document's; the tool stays out either way.
  if (dialog.Create(CSelColorDlg::kTemplateId)) (void)dialog.RunModal();
  return 0;
}
