#pragma once
// CCurveDlg: tone curves for five channels (RGB together, red, green, blue,
// luminance) edited in one curve box over the histogram of the image as it
// was, on 8-bit sRGB or 16-bit linear levels, with spline or straight
// segments, two automatic curves (levels stretch and a contrast-limited
// equalisation), a colour sampler that marks a picked colour on the curve,
// and a reset. Runs CCurve; OK records the step "hisCurve" (type 22).
// Template 162; the edit page opens it with command 11005.
//
// The current channel decides both what the box edits and which tables
// run: the RGB curve alone, the three colour curves together, or the
// luminance curve alone. Each run reads its own copy of the tables, taken
// when it starts, so edits on the UI thread never change a running job's
// input.
//
// UI thread.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "algorithms/tone/Curve.h"
#include "dialogs/CurveBox.h"
#include "dialogs/FilterDialog.h"
#include "image/ColourBgra16.h"
#include "image/ImageArray.h"

class CCurveDlg final : public CFilterDialog {
public:
  static constexpr std::int32_t kTemplateId = 162;
  static constexpr std::int32_t kBoxStatic = 1120;
  static constexpr std::int32_t kToolStatic = 1121;
  static constexpr std::int32_t kChannelButton = 1119;
  static constexpr std::int32_t kResetButton = 1122;
  static constexpr std::int32_t kBoxId = 9990;
  static constexpr std::int32_t kToolPanelId = 9991;
  static constexpr std::int32_t kChannelMenuId = 200;
  static constexpr std::int32_t kItem8Bit = 3001;
  static constexpr std::int32_t kItem16Bit = 3002;
  static constexpr std::int32_t kItemStraight = 3003;
  static constexpr std::int32_t kItemSpline = 3004;
  static constexpr std::int32_t kItemSample = 3005;
  static constexpr std::int32_t kItemStretch = 3006;
  static constexpr std::int32_t kItemAdaptive = 3007;
  static constexpr std::int32_t kChannels = 5;
  static constexpr std::uint16_t kStepType = 22;
  static constexpr std::size_t kTableSize = 65536;

  CCurveDlg();

  [[nodiscard]] bool OnInitDialog() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  [[nodiscard]] bool OnOK() override;
  void RunAlgorithm() override;
  void Apply() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;

  // Identity curves for every channel, spline on, channel 0.
  void ResetCurves();
  void SelectChannel(std::int32_t channel, bool save);
  void UpdateToolPanel();
  void ShowChannelMenu();
  // The automatic curve (stretch or adaptive) of the channel group.
  void AutoCurve(bool stretch);
  // The automatic table of one channel from m_backup's histogram; black and
  // white receive the levels of its two end points.
  void AutoCurveTable(std::int32_t channel, bool stretch, std::uint16_t* table, std::int32_t& black,
                      std::int32_t& white) const;
  // The box's table became the current channel's curve (a finished edit).
  void TakeBoxCurve();
  // Turns the sample tool on or off.
  void SetSampling(bool on);
  // The step block: channel mode, then 132 samples for each table of the
  // group, little-endian.
  std::vector<std::uint8_t> StepBlock() const;
  // Answers the bit-mode question; a test replaces it.
  std::int32_t (*askBitMode)() = nullptr;

  CPanelSprite m_toolPanel;
  CCurveBox m_curveBox;
  CImageArray m_toolIcons;
  CSMenu m_channelMenu;
  std::unique_ptr<std::uint16_t[]> m_channelTables;  // 5 x 65536
  std::vector<std::uint16_t> m_jobTables;            // what the running job reads
  std::array<std::array<CurvePoint, 10>, kChannels> m_channelPoints{};
  ColourBgra16 m_pickedColor;
  std::int32_t m_sampling = 0;
  std::int32_t m_savedViewMode = -1;
  CurveParams m_curveParams;
  CCurve m_algorithm;
  CBgraImage m_sampleIcon;  // item 3005's picture with the picked colour

private:
  std::uint16_t* Table(std::int32_t channel) { return m_channelTables.get() + kTableSize * channel; }
  bool m_boxMade = false;
  bool m_panelMade = false;
};

// The levels stretch of a histogram: black is where the count from the
// bottom first exceeds clip (below 4000), white likewise from the top
// (above 40000).
void StretchLevels(std::span<const std::uint64_t> histogram, std::uint64_t clip, std::int32_t& black,
                   std::int32_t& white);
// The contrast-limited equalisation table of a 65536-bin histogram.
void AdaptiveCurve(std::span<const std::uint64_t> histogram, std::uint16_t* table);
