#include "dialogs/AlgorithmDialog.h"

#include <algorithm>

#include "algorithms/AlgorithmThread.h"
#include "dialogs/DialogHost.h"
#include "platform/UiQueue.h"
#include "ui/AlgorithmSpriteSink.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {
std::uint32_t Luma(std::uint32_t bgra) {
  return (6 * ((bgra >> 8) & 0xFF) + 3 * ((bgra >> 16) & 0xFF) + (bgra & 0xFF)) / 10;
}
}  // namespace

CAlgorithmDialog::CAlgorithmDialog() = default;
CAlgorithmDialog::~CAlgorithmDialog() = default;

CBFDoc* CAlgorithmDialog::GetSourceDocument() {
  IDialogHost* host = DialogHost();
  return host ? host->CurrentDocument() : nullptr;
}

bool CAlgorithmDialog::InitSource() {
  m_sourceDoc = GetSourceDocument();
  IDialogHost* host = DialogHost();
  m_history = host ? host->CurrentHistory() : nullptr;
  return true;
}

void CAlgorithmDialog::RestartAlgorithm() {
  // An out-of-range value shows the range message and keeps the variable.
  static_cast<void>(UpdateData(true));
  if (m_jobsInFlight > 0) {
    m_restartPending = 1;
    theAlgorithmThread.Cancel();
    return;
  }
  // Someone else's job still on the thread would send its completion
  // elsewhere: wait for it.
  theAlgorithmThread.WaitWhileBusy();
  RunAlgorithm();
}

bool CAlgorithmDialog::StartJob(CAlgorithm& algorithm, CBgraImage16* source, CBgraImage16* target,
                                const void* params, std::int32_t command) {
  if (!theAlgorithmThread.StartAlgorithmAsync(&algorithm, source, target, params, command,
                                              AlgorithmListenerFor(*this)))
    return false;
  ++m_jobsInFlight;
  return true;
}

bool CAlgorithmDialog::SettleJobs() {
  ++m_settling;
  const bool settled =
      UiQueue().RunModalLoop([this] { return m_jobsInFlight == 0 && m_restartPending == 0; });
  --m_settling;
  return settled;
}

void CAlgorithmDialog::OnAlgorithmDone(std::int32_t /*command*/, std::int32_t success) {
  if (success == 0 && !m_completionSuperseded)
    static_cast<void>(ShowMessageBox(UIResources().texts.TextOrKey(u"algorithmerror"),
                                     MessageBoxIcon::Information, MessageBoxButtons::Ok));
  if (m_restartPending) {
    m_restartPending = 0;
    RunAlgorithm();
  }
  dirty = 1;
}

bool CAlgorithmDialog::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == WM_ALGORITHM) {
    if (message.wparam < kAlgorithmCompletionBase) {
      const auto percent = static_cast<std::int32_t>(std::min<std::uint64_t>(message.wparam, 100));
      if (percent != m_progress) {
        m_progress = percent;
        m_progressDirty = 1;
      }
    } else {
      m_jobsInFlight = std::max(0, m_jobsInFlight - 1);
      m_completionSuperseded = m_restartPending;
      OnAlgorithmDone(static_cast<std::int32_t>(message.wparam - kAlgorithmCompletionBase),
                      static_cast<std::int32_t>(message.lparam));
      m_completionSuperseded = 0;
      if (m_progress != 0) {
        m_progress = 0;
        m_progressDirty = 1;
      }
    }
    return true;
  }
  return CDialogSprite::OnSpriteMessage(message);
}

void CAlgorithmDialog::OnCancel() {
  theAlgorithmThread.Cancel();
  theAlgorithmThread.WaitWhileBusy();
  m_restartPending = 0;
  EndModal(kIdCancel);
}

bool CAlgorithmDialog::OnOK() {
  theAlgorithmThread.WaitWhileBusy();
  if (!UpdateData(true)) return false;
  EndModal(kIdOk);
  return true;
}

void CAlgorithmDialog::MoveDialog(const Rect& place) {
  SetSpriteRect(place.left, place.top, place.Width(), place.Height());
  closeButton.SetSpriteRect(place.Width() - 32, 1, 31, 31);
  dirty = 1;
}

void CAlgorithmDialog::FitToWorkArea(std::int32_t margin) {
  IDialogHost* host = DialogHost();
  const Rect area = host ? host->WorkArea() : Rect{};
  if (area.Width() <= 0 || area.Height() <= 0) return;
  MoveDialog({area.left + margin, area.top + margin / 2, area.right - margin, area.bottom - margin / 2});
}

bool CAlgorithmDialog::Draw(std::uint32_t now) {
  const bool drawn = CDialogSprite::Draw(now);
  if (drawn || m_progressDirty) DrawProgress();
  return drawn;
}

void CAlgorithmDialog::DrawProgress() {
  const Rect bar = m_progressRect;
  m_progressDirty = 0;
  if (bar.Width() <= 0 || bar.Height() <= 0 || surface.IsEmpty() || bar.left < 0 || bar.top < 0 ||
      bar.right > static_cast<std::int32_t>(surface.width) ||
      bar.bottom > static_cast<std::int32_t>(surface.height))
    return;
  const std::int32_t t = static_cast<std::int32_t>(Luma(UIResources().theme.colors[0]));
  std::int32_t b = t / 4;
  if (!frameImage.IsEmpty() && frameImage.width > 5 && frameImage.height > 5) {
    const std::uint8_t* p = frameImage.At(5, 5);
    b = (6 * p[1] + 3 * p[2] + p[0]) / 10;
  }
  const bool horizontal = bar.Width() > bar.Height();
  const std::int32_t length = horizontal ? bar.Width() : bar.Height();
  const std::int32_t filled = m_progress * length / 100;
  for (std::int32_t y = bar.top; y < bar.bottom; ++y) {
    auto* pixel = surface.At(static_cast<std::uint32_t>(bar.left), static_cast<std::uint32_t>(y));
    for (std::int32_t x = bar.left; x < bar.right; ++x, pixel += 4) {
      const std::int32_t d = horizontal ? x - bar.left : bar.bottom - y;
      std::int32_t e = 64 + d * 128 / length;
      if (d % 5 == 0) e /= 2;
      const std::int32_t grey = d <= filled ? (t * e + b * (256 - e)) / 256 : b;
      pixel[0] = pixel[1] = pixel[2] = static_cast<std::uint8_t>(std::clamp(grey, 0, 255));
    }
  }
  InvalidateArea(bar, 1);
}
