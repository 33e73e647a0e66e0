#include "dialogs/CurveDlg.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "algorithms/AverageColorInDisc.h"
#include "algorithms/CurvePoints.h"
#include "algorithms/ToneTable.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/SkinSet.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string Text(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

constexpr std::array<std::u16string_view, CCurveDlg::kChannels> kChannelKeys = {
    u"channelRGB", u"channelR", u"channelG", u"channelB", u"channelY"};
constexpr std::array<std::uint32_t, CCurveDlg::kChannels> kBarColors = {0xFF404040u, 0xFF500000u, 0xFF005000u,
                                                                        0xFF000050u, 0xFF404040u};
constexpr std::uint32_t kMarkerLineColor = 0xFFE6E6E6u;
constexpr std::int32_t kSampleRadius = 5;

struct ToolItem {
  std::int32_t id;
  std::int32_t x;
  std::size_t icon;
  std::u16string_view tipKey;
};
constexpr std::array<ToolItem, 7> kToolItems = {{
    {CCurveDlg::kItem8Bit, 0, 0, u"8bitTip"},
    {CCurveDlg::kItem16Bit, 30, 1, u"16bitTip"},
    {CCurveDlg::kItemStraight, 70, 2, u""},
    {CCurveDlg::kItemSpline, 100, 3, u""},
    {CCurveDlg::kItemStretch, 140, 5, u"Autocurve"},
    {CCurveDlg::kItemAdaptive, 170, 6, u"Adaptivecurve"},
    {CCurveDlg::kItemSample, 210, 4, u""},
}};
constexpr std::size_t kSampleIcon = 4;

std::int32_t Luminance(ColourBgra16 c) {
  return (6 * std::int32_t{GreenOf(c)} + 3 * std::int32_t{RedOf(c)} + std::int32_t{BlueOf(c)}) / 10;
}

std::array<CurvePoint, 10> EndPoints(std::int32_t black, std::int32_t white) {
  std::array<CurvePoint, 10> points{};
  for (CurvePoint& p : points) p.kind = 0;
  points[0] = {black, 0, 3, 1.0, {}};
  points[1] = {white, 65535, 3, 1.0, {}};
  return points;
}

std::int32_t AskBitModeChange() {
  return ShowMessageBox(Text(u"bitmodeChangeWarning"), MessageBoxIcon::Warning, MessageBoxButtons::YesNo);
}

}  // namespace

void StretchLevels(std::span<const std::uint64_t> histogram, std::uint64_t clip, std::int32_t& black,
                   std::int32_t& white) {
  std::uint64_t sum = 0;
  std::int32_t level = 0;
  black = -1;
  while (sum < clip && level < 4000) {
    sum += histogram[static_cast<std::size_t>(level)];
    if (sum > clip) {
      black = level;
      break;
    }
    ++level;
  }
  if (black < 0) black = level;
  sum = 0;
  level = 65535;
  white = -1;
  while (sum < clip && level > 40000) {
    sum += histogram[static_cast<std::size_t>(level)];
    if (sum > clip) {
      white = level;
      break;
    }
    --level;
  }
  if (white < 0) white = level;
}

void AdaptiveCurve(std::span<const std::uint64_t> histogram, std::uint16_t* table) {
  std::uint64_t n = 0;
  for (const std::uint64_t count : histogram) n += count;
  if (n == 0) {
    // Nothing counted: the identity.
    for (std::size_t j = 0; j < 65536; ++j) table[j] = static_cast<std::uint16_t>(j);
    return;
  }
  const std::uint64_t floor = n * 15 / 640;
  const double total = static_cast<double>(n + 64 * floor);
  double base = 0;
  for (std::size_t band = 0; band < 64; ++band) {
    std::uint64_t count = floor;
    for (std::size_t j = band * 1024; j < band * 1024 + 1024; ++j) count += histogram[j];
    const double rise = static_cast<double>(count) * 65535.0 / total;
    for (std::size_t i = 0; i < 1024; ++i)
      table[band * 1024 + i] =
          static_cast<std::uint16_t>(std::min(base + rise * static_cast<double>(i) / 1024.0, 65535.0));
    base += static_cast<double>(static_cast<std::uint64_t>(rise));
  }
}

CCurveDlg::CCurveDlg() {
  m_pickedColor = MakeColourBgra16(0, 0, 0, 65535);
  askBitMode = &AskBitModeChange;
}

bool CCurveDlg::OnInitDialog() {
  if (!CFilterDialog::OnInitDialog()) return false;
  static_cast<void>(SetTitle(Text(u"dlgCurve")));  // the template's caption stays on failure
  CDialogControl* boxArea = FindControl(kBoxStatic);
  if (!boxArea) return false;
  const Rect area = boxArea->rect;
  const std::int32_t side = area.Width();
  if (!m_curveBox.Create(this, nullptr, kBoxId, {area.left, area.bottom - side, area.right, area.bottom}, 2))
    return false;
  AppendChild(&m_curveBox);
  m_boxMade = true;

  if (!m_toolIcons.LoadStrip(UIResources().theme.skinFolder / "curvetool.png", 24) ||
      m_toolIcons.Count() < kToolItems.size())
    return false;
  CDialogControl* toolArea = FindControl(kToolStatic);
  if (!toolArea) return false;
  if (!m_toolPanel.Create(this, nullptr, kToolPanelId, toolArea->rect, 2)) return false;
  AppendChild(&m_toolPanel);
  m_panelMade = true;
  for (const ToolItem& item : kToolItems) {
    if (!m_toolPanel.AddIconItem(static_cast<std::uint32_t>(item.id), {item.x, 0, item.x + 30, 30},
                                 *m_toolIcons.At(item.icon), item.tipKey.empty() ? u"" : Text(item.tipKey)))
      return false;
  }

  CRenderWindow* window = RenderWindowOf(*this);
  if (!window || !m_channelMenu.Create(nullptr, window, kChannelMenuId, {0, 0, 100, 100}, kPopupMenuLayer))
    return false;

  {
    std::lock_guard guard(m_curveBox.lock);
    m_curveBox.m_bitMode = CCurveModel::kBitMode8;
    m_curveBox.m_rangeMode = CCurveModel::kRange8;
    m_curveBox.m_rangeLow = 0;
    m_curveBox.m_rangeHigh = 65535;
  }
  m_curveBox.BuildLut(true);
  m_savedViewMode = m_viewMode;
  m_channelTables.reset(new (std::nothrow) std::uint16_t[kTableSize * kChannels]);
  if (!m_channelTables) return false;
  ResetCurves();
  return true;
}

void CCurveDlg::Destroy(int final) {
  m_channelMenu.RemoveFromWindow();
  CFilterDialog::Destroy(final);
  {
    // The box may still be drawn until it leaves the window.
    std::lock_guard guard(m_curveBox.lock);
    m_curveBox.m_channelLuts = nullptr;
  }
  m_channelTables.reset();
}

void CCurveDlg::ResetCurves() {
  if (!m_channelTables) return;
  for (std::int32_t c = 0; c < kChannels; ++c) {
    m_channelPoints[static_cast<std::size_t>(c)] = EndPoints(0, 65535);
    for (std::size_t j = 0; j < kTableSize; ++j) Table(c)[j] = static_cast<std::uint16_t>(j);
  }
  {
    std::lock_guard guard(m_curveBox.lock);
    m_curveBox.m_smooth = 1;
    m_curveBox.m_histSource = &m_backup;
    m_curveBox.BuildHistogram();
    m_curveBox.m_channel = 0;
    m_curveBox.m_channelLuts = m_channelTables.get();
    m_curveBox.m_points.assign(m_channelPoints[0].begin(), m_channelPoints[0].begin() + 2);
    m_curveBox.m_lineColor = kBarColors[0];
  }
  m_curveBox.BuildLut(true);
  UpdateToolPanel();
}

void CCurveDlg::SelectChannel(std::int32_t channel, bool save) {
  if (channel < 0 || channel >= kChannels) return;
  {
    std::lock_guard guard(m_curveBox.lock);
    if (save) {
      auto& slot = m_channelPoints[static_cast<std::size_t>(m_curveBox.m_channel)];
      for (std::size_t i = 0; i < slot.size(); ++i) {
        slot[i] = i < m_curveBox.m_points.size() ? m_curveBox.m_points[i] : CurvePoint{};
        if (i >= m_curveBox.m_points.size()) slot[i].kind = 0;
      }
    }
    m_curveBox.m_channel = channel;
    const auto& stored = m_channelPoints[static_cast<std::size_t>(channel)];
    m_curveBox.m_points.clear();
    for (const CurvePoint& p : stored) {
      if (p.kind == 0) break;
      m_curveBox.m_points.push_back(p);
    }
    m_curveBox.m_lineColor = kBarColors[static_cast<std::size_t>(channel)];
  }
  m_curveBox.BuildLut(true);
  UpdateToolPanel();
}

void CCurveDlg::TakeBoxCurve() {
  if (!m_channelTables) return;
  {
    std::lock_guard guard(m_curveBox.lock);
    std::memcpy(Table(m_curveBox.m_channel), m_curveBox.m_lut.data(), kTableSize * sizeof(std::uint16_t));
  }
  RestartAlgorithm();
}

void CCurveDlg::RunAlgorithm() {
  if (!m_channelTables) return;
  const std::int32_t channel = m_curveBox.m_channel;
  const bool colours = channel >= 1 && channel <= 3;
  const std::size_t first = colours ? 1 : static_cast<std::size_t>(channel);
  const std::size_t count = colours ? 3 : 1;
  // The job reads its own copy: the channel tables change on this thread
  // while it runs.
  m_jobTables.assign(m_channelTables.get() + kTableSize * first,
                     m_channelTables.get() + kTableSize * (first + count));
  m_curveParams = {};
  m_curveParams.mode = channel;
  m_curveParams.entries = static_cast<std::int32_t>(kTableSize * count);
  m_curveParams.tables = m_jobTables.data();
  // A refused start leaves the preview as it is; the next edit tries again.
  static_cast<void>(StartFilterJob(m_algorithm, &m_curveParams));
}

void CCurveDlg::AutoCurveTable(std::int32_t channel, bool stretch, std::uint16_t* table, std::int32_t& black,
                               std::int32_t& white) const {
  std::vector<std::uint64_t> histogram(kTableSize, 0);
  std::uint64_t n = 0;
  const std::uint16_t* p = m_backup.pixels;
  for (std::size_t i = 0; p && i < m_backup.pixelCount; ++i, p += 4) {
    const std::uint16_t b = p[0], g = p[1], r = p[2];
    switch (channel) {
      case 0:
        ++histogram[r];
        ++histogram[g];
        ++histogram[b];
        n += 3;
        break;
      case 1:
        ++histogram[r];
        ++n;
        break;
      case 2:
        ++histogram[g];
        ++n;
        break;
      case 3:
        ++histogram[b];
        ++n;
        break;
      default:
        ++histogram[(6u * g + 3u * r + b) / 10];
        ++n;
        break;
    }
  }
  if (!stretch) {
    AdaptiveCurve(histogram, table);
    black = 0;
    white = 65535;
    return;
  }
  StretchLevels(histogram, n / 300, black, white);
  if (m_curveBox.m_bitMode == CCurveModel::kBitMode8) {
    BuildLevelsLutSrgb(ToneTableSpan(table, kTableSize), black, white);
    return;
  }
  for (std::size_t j = 0; j < kTableSize; ++j) {
    const auto level = static_cast<std::int64_t>(j);
    if (level < black)
      table[j] = 0;
    else if (level >= white)
      table[j] = 65535;
    else
      table[j] = static_cast<std::uint16_t>((level - black) * 65535 / (white - black));
  }
}

void CCurveDlg::AutoCurve(bool stretch) {
  if (!m_channelTables) return;
  const std::int32_t current = m_curveBox.m_channel;
  std::vector<std::int32_t> group;
  if (current >= 1 && current <= 3) {
    for (std::int32_t c = 1; c <= 3; ++c)
      if (c != current) group.push_back(c);
  }
  group.push_back(current);
  for (const std::int32_t c : group) {
    std::int32_t black = 0, white = 65535;
    AutoCurveTable(c, stretch, Table(c), black, white);
    m_channelPoints[static_cast<std::size_t>(c)] = EndPoints(black, white);
  }
  {
    std::lock_guard guard(m_curveBox.lock);
    const auto& stored = m_channelPoints[static_cast<std::size_t>(current)];
    m_curveBox.m_points.assign(stored.begin(), stored.begin() + 2);
    std::memcpy(m_curveBox.m_lut.data(), Table(current), kTableSize * sizeof(std::uint16_t));
    m_curveBox.dirty = 1;
  }
  RestartAlgorithm();
}

void CCurveDlg::SetSampling(bool on) {
  if (on == (m_sampling != 0)) return;
  m_sampling = on ? 1 : 0;
  if (on) {
    m_savedViewMode = m_viewMode;
    SetViewMode(kViewBefore);
    m_beforeView.reportClicks = 1;
    m_beforeView.SetImageCursor(UIResources().pickCursor);
    return;
  }
  m_toolPanel.SetItemChecked(kItemSample, false);
  m_beforeView.reportClicks = 0;
  m_beforeView.SetImageCursor(std::nullopt);
  if (m_savedViewMode >= 0) SetViewMode(m_savedViewMode);
}

void CCurveDlg::UpdateToolPanel() {
  const bool eight = m_curveBox.m_bitMode == CCurveModel::kBitMode8;
  m_toolPanel.SetItemChecked(kItem8Bit, eight);
  m_toolPanel.SetItemChecked(kItem16Bit, !eight);
  m_toolPanel.SetItemChecked(kItemStraight, m_curveBox.m_smooth == 0);
  m_toolPanel.SetItemChecked(kItemSpline, m_curveBox.m_smooth != 0);
  m_toolPanel.SetItemChecked(kItemSample, m_sampling != 0);
  if (CDialogControl* button = FindControl(kChannelButton))
    button->SetValue(Text(kChannelKeys[static_cast<std::size_t>(std::clamp(m_curveBox.m_channel, 0, 4))]));
  const CBgraImage* icon = m_toolIcons.At(kSampleIcon);
  if (Luminance(m_pickedColor) == 0 || !icon) return;
  const std::uint16_t pixel16[4] = {BlueOf(m_pickedColor), GreenOf(m_pickedColor), RedOf(m_pickedColor),
                                    65535};
  std::uint8_t pixel8[4] = {};
  ConvertPixels16To8(pixel16, pixel8, 1);
  if (!m_sampleIcon.CopyFrom(*icon)) return;
  for (std::uint32_t y = 0; y <= 7 && y < m_sampleIcon.height; ++y)
    for (std::uint32_t x = 1; x <= 7 && x < m_sampleIcon.width; ++x) {
      std::uint8_t* p = m_sampleIcon.At(x, y);
      std::memcpy(p, pixel8, 3);
      p[3] = 255;
    }
  m_toolPanel.SetItemImage(kItemSample, &m_sampleIcon);
}

void CCurveDlg::ShowChannelMenu() {
  for (std::int32_t c = 0; c < kChannels; ++c) {
    if (m_channelMenu.FindItem({}, kChannelMenuId + c) < 0)
      static_cast<void>(m_channelMenu.AddItem({}, kChannelMenuId + c,
                                              Text(kChannelKeys[static_cast<std::size_t>(c)]),
                                              nullptr));  // -1: added; an index: already there
  }
  CDialogControl* button = FindControl(kChannelButton);
  CRenderWindow* window = RenderWindowOf(*this);
  if (!button || !window) return;
  window->ShowPopupMenu(&m_channelMenu, button->PointToWindow({button->rect.Width(), 0}), true, true, this);
}

bool CCurveDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kCurveBoxMsgChanged && message.sender == &m_curveBox) {
    TakeBoxCurve();
    return true;
  }
  if (message.code == kPicViewMsg && message.wparam == kPicViewClicked && message.sender == &m_beforeView &&
      m_sampling) {
    SetSampling(false);
    const Point point{static_cast<std::int32_t>(message.lparam % 65536),
                      static_cast<std::int32_t>(message.lparam / 65536)};
    m_pickedColor = AverageColorInDisc(m_backup, point, kSampleRadius);
    UpdateToolPanel();
    dirty = 1;
    return true;
  }
  if (message.code == kMenuMsgCommand && message.sender != nullptr &&
      message.wparam >= static_cast<std::uint64_t>(kChannelMenuId) &&
      message.wparam < static_cast<std::uint64_t>(kChannelMenuId + kChannels)) {
    SelectChannel(static_cast<std::int32_t>(message.wparam) - kChannelMenuId, true);
    return true;
  }
  if (message.code == kPanelMsgItemClicked && message.sender == &m_toolPanel) {
    switch (static_cast<std::int32_t>(message.wparam)) {
      case kItem8Bit:
      case kItem16Bit:
        if (askBitMode && askBitMode() == kIdYes) {
          const bool eight = message.wparam == kItem8Bit;
          ResetCurves();
          {
            std::lock_guard guard(m_curveBox.lock);
            m_curveBox.m_bitMode = eight ? CCurveModel::kBitMode8 : CCurveModel::kBitMode16;
            m_curveBox.m_rangeMode = eight ? CCurveModel::kRange8 : CCurveModel::kRange16;
            m_curveBox.m_rangeLow = 0;
            m_curveBox.m_rangeHigh = 65535;
          }
          m_curveBox.BuildLut(true);
          RestartAlgorithm();
        }
        break;
      case kItemStraight:
      case kItemSpline:
        m_curveBox.m_smooth = message.wparam == kItemSpline ? 1 : 0;
        m_curveBox.BuildLut(true);
        // The shown curve is what runs.
        TakeBoxCurve();
        break;
      case kItemSample:
        SetSampling(!m_sampling);
        break;
      case kItemStretch:
        AutoCurve(true);
        break;
      case kItemAdaptive:
        AutoCurve(false);
        break;
      default:
        break;
    }
    UpdateToolPanel();
    return true;
  }
  if (message.code == kSpriteMsgButtonClicked && message.wparam == kResetButton) {
    ResetCurves();
    RestartAlgorithm();
    return true;
  }
  if (message.code == kSpriteMsgButtonClicked && message.wparam == kChannelButton) {
    ShowChannelMenu();
    return true;
  }
  return CFilterDialog::OnSpriteMessage(message);
}

void CCurveDlg::Apply() {
  CFilterDialog::Apply();
  ResetCurves();
}

std::vector<std::uint8_t> CCurveDlg::StepBlock() const {
  CurveRecord record;
  const std::int32_t channel = m_curveBox.m_channel;
  record.mode = static_cast<std::uint8_t>(channel);
  if (!m_channelTables) return {};
  const bool colours = channel >= 1 && channel <= 3;
  const std::size_t first = colours ? 1 : static_cast<std::size_t>(channel);
  for (std::size_t k = 0; k < (colours ? 3u : 1u); ++k)
    SampleCurvePoints(std::span<const std::uint16_t, kToneTableSize>(
                          m_channelTables.get() + kTableSize * (first + k), kToneTableSize),
                      record.curves[k]);
  return CurveRecordToBytes(record);
}

bool CCurveDlg::OnOK() {
  if (!CFilterDialog::OnOK()) return false;
  if (m_history && !RecordFilterHistory(u"hisCurve", kStepType, StepBlock()))
    UIResources().WriteLog("History step not recorded");
  return true;
}

bool CCurveDlg::Draw(std::uint32_t now) {
  const bool wasDirty = dirty != 0;
  const bool drawn = CFilterDialog::Draw(now);
  if (!wasDirty || !drawn || surface.IsEmpty() || Luminance(m_pickedColor) == 0 || !m_boxMade || !m_panelMade)
    return drawn;
  const std::int32_t channel = m_curveBox.m_channel;
  const std::int32_t level = channel == 0 || channel == 4 ? Luminance(m_pickedColor)
                             : channel == 1               ? RedOf(m_pickedColor)
                             : channel == 2               ? GreenOf(m_pickedColor)
                                                          : BlueOf(m_pickedColor);
  const Rect box = m_curveBox.rect;
  const Rect panel = m_toolPanel.rect;
  const std::int64_t width = box.Width() - 20;
  const std::int64_t position =
      m_curveBox.m_bitMode == CCurveModel::kBitMode8
          ? std::int64_t{LinearToSrgbTable[static_cast<std::size_t>(level)]} * width / 255
          : std::int64_t{level} * width / 65535;
  const auto x = static_cast<std::int32_t>(box.left + 12 + position);
  CSkinSet& skins = UIResources().skins;
  if (const CBgraImage* marker = skins.icons.At(kIconColorMarker))
    BlendImage(surface, *marker, x - 6, box.top + 1, true, {}, 256);
  const std::int32_t middle = (box.top + panel.top + 12) / 2;
  skins.penPoint = {x, box.top + 13};
  skins.DrawLineTo(surface, {x, middle}, kMarkerLineColor, 10, 0, 255);
  skins.DrawLineTo(surface, {box.left + 225, middle}, kMarkerLineColor, 10, 0, 255);
  skins.DrawLineTo(surface, {box.left + 225, panel.top - 1}, kMarkerLineColor, 10, 0, 255);
  return drawn;
}
