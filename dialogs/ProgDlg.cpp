#include "dialogs/ProgDlg.h"

#include <mutex>

#include "algorithms/AlgorithmThread.h"
#include "dialogs/ResultMix.h"
#include "document/BFDoc.h"

CProgDlg::CProgDlg(CAlgorithm* algorithm, const void* params, std::u16string_view title, CBgraImage16* image,
                   std::int32_t x, std::int32_t y)
    : m_algorithm(algorithm), m_params(params), m_title(title), m_image(image), m_imageX(x), m_imageY(y) {}

CProgDlg::~CProgDlg() { m_result.Free(); }

bool CProgDlg::OnInitDialog() {
  if (!InitSource()) return false;
  const Rect place = rect;
  const std::int32_t cx = (place.left + place.right) / 2 - kWidth / 2;
  const std::int32_t cy = (place.top + place.bottom) / 2 - kHeight / 2 - 5;
  MoveDialog({cx, cy, cx + kWidth, cy + kHeight});
  ShowControl(FindControl(kIdOk), false);
  ShowControl(FindControl(kIdCancel), false);
  {
    std::lock_guard guard(lock);
    m_progressRect = {10, 40, 290, 60};
  }
  if (!m_title.empty() && !SetTitle(m_title)) return false;

  m_target = m_image;
  if (!m_target && m_sourceDoc) {
    if (CBFLayer* layer = m_sourceDoc->GetCurrentLayer()) m_target = &layer->m_image;
  }
  // The result starts as the target, for algorithms that change part of it.
  if (m_target && !m_result.CopyFrom(*m_target)) return false;
  RestartAlgorithm();
  return !m_startFailed;
}

void CProgDlg::RunAlgorithm() {
  if (!m_algorithm) return;
  if (!StartJob(*m_algorithm, m_target, m_target ? &m_result : nullptr, m_params, 0)) m_startFailed = true;
}

void CProgDlg::CommitResult() {
  if (!m_target || !m_result.pixels) return;
  CBFLayer* layer = nullptr;
  std::int32_t x0 = m_imageX, y0 = m_imageY;
  if (m_sourceDoc) {
    layer = m_sourceDoc->GetLayer(m_sourceDoc->FindLayerByImage(m_target));
    if (layer) x0 = layer->m_x, y0 = layer->m_y;
    const CPlane8& selection = m_sourceDoc->m_selection;
    if (selection.pixels && selection.width == m_sourceDoc->m_width &&
        selection.height == m_sourceDoc->m_height)
      MaskResultMix(m_result, *m_target, selection, x0, y0);
  }
  if (layer) {
    std::lock_guard guard(layer->m_lock);
    m_target->Swap(m_result);
  } else {
    m_target->Swap(m_result);
  }
  if (m_sourceDoc) m_sourceDoc->m_modified = 1;
}

void CProgDlg::OnAlgorithmDone(std::int32_t /*command*/, std::int32_t success) {
  if (success == 0) {
    CAlgorithmDialog::OnCancel();
    return;
  }
  CommitResult();
  theAlgorithmThread.WaitWhileBusy();
  // Nothing is bound: the dialog shows no values.
  static_cast<void>(UpdateData(true));
  EndModal(kIdOk);
}

bool RunProgressDialog(CAlgorithm& algorithm, const void* params, std::u16string_view title,
                       CBgraImage16* image, std::int32_t x, std::int32_t y) {
  CProgDlg dialog(&algorithm, params, title, image, x, y);
  if (!dialog.Create(CProgDlg::kTemplateId)) return false;
  return dialog.RunModal() == kIdOk;
}
