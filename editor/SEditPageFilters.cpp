// The edit page's colour and filter commands that run without a dialog:
// automatic white balance, the one-click sharpen, texture sharpen, edge
// enhancement and blur, and smart erase. The dialog commands of the same
// menus reach their dialogs through the command registry.

#include <array>
#include <mutex>
#include <span>

#include "algorithms/CurveModel.h"
#include "algorithms/GaussBlur.h"
#include "algorithms/tone/WhiteBalance.h"
#include "editor/CommandRegistry.h"
#include "editor/ProgressRunner.h"
#include "editor/SEditPage.h"
#include "filters/ResEnhance.h"
#include "filters/Sharpen.h"
#include "platform/LittleEndian.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

constexpr std::uint16_t kAutoColorStepType = 15;
constexpr std::uint16_t kSharpenStepType = 25;
constexpr std::uint16_t kEdgeShrinkStepType = 26;
constexpr std::uint16_t kBlurStepType = 27;
constexpr double kOneClickRadius = 0.8;
constexpr std::int32_t kOneClickAmount = 30;
constexpr double kEdgeShrinkStrength = 1.6;

// Curve point kinds of the one-click response curves.
constexpr std::int32_t kCorner = 3;
constexpr std::int32_t kSmooth = 4;

struct CurveSpec {
  std::int32_t x, y, kind;
};
constexpr std::array<CurveSpec, 4> kSharpenCurve = {{
    {0, 0, kCorner},
    {8000, 16000, kSmooth},
    {32767, 16000, kSmooth},
    {65535, 0, kCorner},
}};
constexpr std::array<CurveSpec, 4> kTextureCurve = {{
    {0, 0, kCorner},
    {500, 2000, kSmooth},
    {2000, 0, kSmooth},
    {65535, 0, kCorner},
}};

void BuildResponse(CCurveModel& curve, std::span<const CurveSpec> points) {
  curve.m_points.clear();
  for (const CurveSpec& p : points) {
    CurvePoint point;
    point.x = p.x;
    point.y = p.y;
    point.kind = p.kind;
    curve.m_points.push_back(point);
  }
  curve.BuildLut();
}

}  // namespace

bool CSEditPage::AutoColor() {
  CBFLayer* layer = document.GetCurrentLayer();
  if (!layer || layer->m_image.IsEmpty()) return false;
  ShowProgress();
  CWhiteBalance balance;
  CBgraImage16 result;
  const WhiteBalanceParams params{};  // mode 0: automatic
  balance.m_source = &layer->m_image;
  balance.m_target = &result;
  balance.m_params = &params;
  const bool applied = balance.Process() && !result.IsEmpty();
  if (applied) {
    {
      std::lock_guard guard(layer->m_lock);
      layer->m_image = std::move(result);
    }
    document.m_modified = 1;
    if (!history.AddStep(kStepLayer, document.m_currentLayer, Text(u"menuColorAuto"), StepBlock::Replayable,
                         kAutoColorStepType, {}))
      UIResources().WriteLog("Auto colour step not recorded");
  }
  HideProgress();
  return applied;
}

bool CSEditPage::OneClickFilter(std::int32_t id) {
  CBFLayer* layer = document.GetCurrentLayer();
  if (!layer || layer->m_image.IsEmpty()) return false;
  // The result was limited to the selection: a scheme could not repeat it.
  const StepBlock replay = document.m_selection.IsEmpty() ? StepBlock::Replayable : StepBlock::None;
  switch (id) {
    case kCmdSharpen:
    case kCmdTextureSharpen: {
      const bool texture = id == kCmdTextureSharpen;
      CCurveModel curve;
      BuildResponse(curve, texture ? std::span<const CurveSpec>(kTextureCurve) : kSharpenCurve);
      SharpenParams params;
      params.radius = kOneClickRadius;
      params.amount = kOneClickAmount;
      params.responseTable = curve.m_lut.data();
      const std::u16string_view title = Text(texture ? u"hisSharpenTexture" : u"hisSharpen");
      CSharpen sharpen;
      if (!RunWithProgress(sharpen, &params, title)) return false;
      const auto block = SharpenRecordToBytes(params);
      if (!history.AddStep(kStepLayer, -1, title, replay, kSharpenStepType, block))
        UIResources().WriteLog("Sharpen step not recorded");
      return true;
    }
    case kCmdEdgeShrink: {
      ResEnhanceParams params;
      params.strength = kEdgeShrinkStrength;
      CResEnhance enhance;
      if (!RunWithProgress(enhance, &params, Text(u"hisEdgeShrink"))) return false;
      if (!history.AddStep(kStepLayer, -1, Text(u"hisEdgeShrink"), replay, kEdgeShrinkStepType,
                           ResEnhanceParamsToBytes(params)))
        UIResources().WriteLog("Edge step not recorded");
      return true;
    }
    case kCmdBlur: {
      const GaussBlurParams params{kOneClickRadius};
      CGaussBlur blur;
      if (!RunWithProgress(blur, &params, Text(u"menuBlur"))) return false;
      ByteWriter bytes;
      bytes.F64(params.radius);
      if (!history.AddStep(kStepLayer, -1, Text(u"menuBlur"), replay, kBlurStepType, bytes.bytes()))
        UIResources().WriteLog("Blur step not recorded");
      return true;
    }
    default:
      return false;
  }
}

std::int32_t CSEditPage::SmartErase() {
  if (document.m_selection.IsEmpty()) {
    (void)ShowMessageBox(Text(u"smartEraseNeedSelection"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return 0;
  }
  return canvas.InpaintSelection();
}
