#include "dialogs/ClickDlg.h"

#include <algorithm>

#include "algorithms/AverageColorInDisc.h"
#include "document/DocHistory.h"
#include "ui/UIResources.h"

namespace {
std::u16string Text(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }
}  // namespace

CClickDlg::CClickDlg(std::u16string_view tipKey, std::u16string_view titleKey)
    : m_tipKey(tipKey), m_titleKey(titleKey) {}

bool CClickDlg::OnInitDialog() {
  m_tipText = Text(m_tipKey).substr(0, kTipField - 1);
  if (!CFilterDialog::OnInitDialog()) return false;
  m_tipStatic = FindControl(kTipStatic);
  if (m_tipStatic) m_tipStatic->SetValue(m_tipText);
  SetViewMode(kViewBefore);
  m_beforeView.reportClicks = 1;
  m_beforeView.SetImageCursor(UIResources().pickCursor);
  return SetTitle(Text(m_titleKey));
}

bool CClickDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kPicViewMsg && message.wparam == kPicViewClicked && message.sender == &m_beforeView)
    OnPickPoint({static_cast<std::int32_t>(message.lparam % 65536),
                 static_cast<std::int32_t>(message.lparam / 65536)});
  return CFilterDialog::OnSpriteMessage(message);
}

void CClickDlg::OnAlgorithmDone(std::int32_t command, std::int32_t success) {
  CFilterDialog::OnAlgorithmDone(command, success);
  if (success == 1 && m_viewMode == kViewBefore) SetViewMode(kViewSideBySide);
}

bool CClickDlg::OnOK() {
  if (!CFilterDialog::OnOK()) return false;
  // The step undoes the change; the result of a click is not a recipe.
  if (m_history && !m_history->AddStep(kStepLayer, -1, Text(m_titleKey), StepBlock::None, 0, {}))
    UIResources().WriteLog("History step not recorded");
  return true;
}

ColourBgra16 CClickDlg::SampleBackupColor(Point point, std::int32_t radius) const {
  return AverageColorInDisc(m_backup, point, std::max(radius, 1));
}

std::int32_t CClickDlg::SampleRadius(double base) const {
  const double zoom = m_beforeView.Zoom();
  if (!(zoom > 0)) return 1;
  return static_cast<std::int32_t>(std::clamp(base / zoom, 0.0, 65535.0));
}

CWBDlg::CWBDlg() : CClickDlg(u"WBTip", u"WhiteBalance") {}

void CWBDlg::OnPickPoint(Point point) {
  const ColourBgra16 colour = SampleBackupColor(point, SampleRadius(1.0));
  m_params = {};
  if (AlphaOf(colour) != 0) {
    m_params.blue = BlueOf(colour);
    m_params.green = GreenOf(colour);
    m_params.red = RedOf(colour);
    m_params.mode = WhiteBalanceMode::kGivenColour;
  }
  RestartAlgorithm();
}

void CWBDlg::RunAlgorithm() {
  // A refused start leaves the preview as it is; the next click tries again.
  static_cast<void>(StartFilterJob(m_algorithm, &m_params));
}

CSpotMeteringDlg::CSpotMeteringDlg() : CClickDlg(u"SpotMeteringTip", u"SpotMetering") {}

void CSpotMeteringDlg::OnPickPoint(Point point) {
  const ColourBgra16 colour = SampleBackupColor(point, SampleRadius(16.0));
  if (AlphaOf(colour) == 0) return;
  m_params = {BlueOf(colour), GreenOf(colour), RedOf(colour), AlphaOf(colour)};
  RestartAlgorithm();
}

void CSpotMeteringDlg::RunAlgorithm() {
  if (m_params.alpha == 0) return;
  // A refused start leaves the preview as it is; the next click tries again.
  static_cast<void>(StartFilterJob(m_algorithm, &m_params));
}
