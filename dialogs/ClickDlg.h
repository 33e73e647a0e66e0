#pragma once
// CClickDlg: a parameter dialog adjusted by clicking the photo: the before
// view fills the preview and reports clicks; a click samples the disc
// around the point in the image as it was (m_backup) and the concrete
// dialog turns the sample into its parameters (OnPickPoint). Nothing runs
// before the first click; the first good result shows before and after
// side by side. Template 155: OK, Cancel and the explanation (static 1002).
//
// CWBDlg neutralises the sampled colour (white balance, command 12003);
// CSpotMeteringDlg exposes for it (spot metering, command 11003). OK records
// one layer step that undoes but is not replayable.
//
// UI thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "algorithms/tone/SpotMetering.h"
#include "algorithms/tone/WhiteBalance.h"
#include "dialogs/FilterDialog.h"
#include "image/ColourBgra16.h"

class CClickDlg : public CFilterDialog {
public:
  static constexpr std::int32_t kTemplateId = 155;
  static constexpr std::int32_t kTipStatic = 1002;
  static constexpr std::size_t kTipField = 1024;

  // The user picked this image point in the before view.
  virtual void OnPickPoint(Point point) = 0;

  [[nodiscard]] bool OnInitDialog() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  void OnAlgorithmDone(std::int32_t command, std::int32_t success) override;
  // Records the step when OK ended the dialog.
  [[nodiscard]] bool OnOK() override;

  // The disc average of m_backup, the radius at least 1.
  ColourBgra16 SampleBackupColor(Point point, std::int32_t radius) const;
  // The radius of a sample: base / the before view's zoom, truncated.
  std::int32_t SampleRadius(double base) const;

  std::u16string m_tipText;
  CDialogControl* m_tipStatic = nullptr;

protected:
  // The text keys of the explanation, the caption and the history step.
  CClickDlg(std::u16string_view tipKey, std::u16string_view titleKey);

private:
  std::u16string m_tipKey;
  std::u16string m_titleKey;
};

class CWBDlg final : public CClickDlg {
public:
  CWBDlg();
  void OnPickPoint(Point point) override;
  void RunAlgorithm() override;

  CWhiteBalance m_algorithm;
  WhiteBalanceParams m_params;
};

class CSpotMeteringDlg final : public CClickDlg {
public:
  CSpotMeteringDlg();
  void OnPickPoint(Point point) override;
  void RunAlgorithm() override;

  CSpotMetering m_algorithm;
  SpotMeteringParams m_params;
};
