#include "output/JpgSaveDlg.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <system_error>

#include "algorithms/AlgorithmThread.h"
#include "document/BFDoc.h"
#include "image/ImageInfo.h"
#include "output/JpegOptimizeSteps.h"
#include "output/LastFolder.h"
#include "output/SaveDlg.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/SCheckBox.h"
#include "ui/widgets/SliderSprite.h"

namespace {

std::u16string Text(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// The template's preset row, which this dialog does not use.
constexpr std::array<std::int32_t, 6> kHiddenControls = {1236, 1052, 1082, 1083, 1237, 1049};
// Everything a save run must not see changed.
constexpr std::array<std::int32_t, 18> kSettingControls = {CJpgSaveDlg::kQualitySlider,
                                                           CJpgSaveDlg::kAdjustButton,
                                                           CJpgSaveDlg::kChromaCheck,
                                                           CJpgSaveDlg::kChromaTip,
                                                           CJpgSaveDlg::kChromaAuto,
                                                           CJpgSaveDlg::kAdaptiveCheck,
                                                           CJpgSaveDlg::kAdaptiveTip,
                                                           CJpgSaveDlg::kOptimiseCheck,
                                                           CJpgSaveDlg::kOptimiseTip,
                                                           CJpgSaveDlg::kSofteningSlider,
                                                           CJpgSaveDlg::kMetadataButton,
                                                           CJpgSaveDlg::kSizeModeButton,
                                                           CJpgSaveDlg::kSizeValueEdit,
                                                           CJpgSaveDlg::kPolicyButton,
                                                           CJpgSaveDlg::kTargetEdit,
                                                           CJpgSaveDlg::kPolicyTip,
                                                           kIdOk,
                                                           kIdCancel};

struct MenuEntry {
  std::int32_t value;
  std::u16string_view key;
};
constexpr std::array<MenuEntry, 3> kMetadataEntries = {
    {{kMetadataAll, u"exifAll"}, {kMetadataLimited, u"exiflimit"}, {kMetadataNone, u"exifnone"}}};
constexpr std::array<MenuEntry, 5> kSizeEntries = {{{kSizeKeep, u"imagesizenone"},
                                                    {kSizeWidth, u"imagesizewidth"},
                                                    {kSizeHeight, u"imagesizeheight"},
                                                    {kSizeLongSide, u"imagesizelong"},
                                                    {kSizeTotalPixels, u"imagesizetotal"}}};
constexpr std::array<MenuEntry, 3> kPolicyEntries = {
    {{kPolicyNone, u"polycynochange"}, {kPolicyShrink, u"polycyshrink"}, {kPolicyQuality, u"polycyquality"}}};

template <std::size_t N>
std::u16string_view KeyOf(const std::array<MenuEntry, N>& entries, std::int32_t value) {
  for (const MenuEntry& entry : entries)
    if (entry.value == value) return entry.key;
  return entries[0].key;
}

constexpr std::uint32_t kOriginalBarGrey = 80;
constexpr std::uint32_t kResultBarColor = 0xFF80C080u;  // red 128, green 192, blue 128
constexpr std::uint32_t kPanelTextColor = 0xFFE6E6E6u;
constexpr std::int32_t kPanelTextSize = 12;

void ShowBusy(bool busy) {
  CRenderWindow* window = g_RenderWindow.load();
  if (!window) return;
  if (busy) {
    window->ShowProgress({});
  } else {
    window->HideProgress();
  }
}

}  // namespace

void TintPanelBar(CBgraImage& image, const Rect& bar, std::uint32_t color) {
  const std::int32_t left = std::max(bar.left, 0), top = std::max(bar.top, 0);
  const std::int32_t right = std::min<std::int32_t>(bar.right, static_cast<std::int32_t>(image.width));
  const std::int32_t bottom = std::min<std::int32_t>(bar.bottom, static_cast<std::int32_t>(image.height));
  const std::array<std::int32_t, 3> target = {static_cast<std::int32_t>(color & 0xFF),
                                              static_cast<std::int32_t>((color >> 8) & 0xFF),
                                              static_cast<std::int32_t>((color >> 16) & 0xFF)};
  for (std::int32_t y = top; y < bottom; ++y) {
    std::uint8_t* p = image.At(static_cast<std::uint32_t>(left), static_cast<std::uint32_t>(y));
    for (std::int32_t x = left; x < right; ++x, p += 4) {
      const std::int32_t a = p[3] == 0 ? 255 : p[3];
      for (std::size_t c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint8_t>(p[c] + (target[c] - p[c]) * a / 255);
      p[3] = 255;
    }
  }
}

CJpgSaveDlg::CJpgSaveDlg(CBFDoc* doc, ImageInfo* photoInfo) : document(doc), info(photoInfo) {
  if (document) documentPath = PathFromUtf16(document->Path());
}

CJpgSaveDlg::~CJpgSaveDlg() {
  // A job still running writes into this object's images.
  if (JobsInFlight() > 0) {
    theAlgorithmThread.Cancel();
    theAlgorithmThread.WaitWhileBusy();
  }
  m_menu.RemoveFromWindow();
}

void CJpgSaveDlg::Destroy(int final) {
  m_menu.RemoveFromWindow();
  m_beforeView.SetImage(nullptr, {});
  m_afterView.SetImage(nullptr, {});
  CFilterDialog::Destroy(final);
}

bool CJpgSaveDlg::PrepareSource() {
  if (!CompositeForSaving(document, original)) return false;
  settings.chromaFull = DetectFullChroma(original);
  originalSize = std::uint64_t{original.width} * original.height * 3;
  originalIsFile = false;
  std::error_code error;
  if (!documentPath.empty()) {
    const std::uintmax_t length = std::filesystem::file_size(documentPath, error);
    if (!error) {
      originalSize = length;
      originalIsFile = true;
    }
  }
  return true;
}

bool CJpgSaveDlg::OnInitDialog() {
  if (!document) return false;
  if (!CFilterDialog::OnInitDialog()) return false;
  static_cast<void>(SetTitle(Text(u"dlgJpg")));  // the template's caption stays on failure
  for (const std::int32_t id : kHiddenControls) ShowControl(FindControl(id), false);
  // The result is a file, not a change of the photo.
  for (const std::int32_t item : {kFirstModeItem + kViewOnCanvas, kBlendItem, kMaskItem})
    m_viewPanel.EnableItem(static_cast<std::uint32_t>(item), false);

  if (!BindControl(kQualitySlider, settings.quality, 100, 1) ||
      !BindControl(kChromaCheck, settings.chromaFull) || !BindControl(kAdaptiveCheck, settings.adaptive) ||
      !BindControl(kOptimiseCheck, settings.optimiseMore) ||
      !BindControl(kSofteningSlider, settings.softening, 100, 0) ||
      !BindControl(kSizeValueEdit, settings.sizeValue) || !BindControl(kTargetEdit, settings.targetKb))
    return false;
  if (auto* slider = dynamic_cast<CSliderSprite*>(FindControl(kQualitySlider)))
    slider->SetRange(1, 100, settings.quality, 1, u"");
  if (auto* slider = dynamic_cast<CSliderSprite*>(FindControl(kSofteningSlider)))
    slider->SetRange(0, 100, settings.softening, 1, u"%");
  for (const std::int32_t id : {kSizeValueEdit, kTargetEdit}) {
    if (auto* field = dynamic_cast<CEditSprite*>(FindControl(id))) {
      field->filterKind = EditFilter::Listed;
      field->allowedChars = u"0123456789";
    }
  }
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window || !m_menu.Create(nullptr, window, kMenuId, {0, 0, 100, 100}, kPopupMenuLayer)) return false;

  ShowBusy(true);
  const bool prepared = PrepareSource();
  ShowBusy(false);
  if (!prepared || !result.CopyFrom(original)) return false;
  m_beforeView.SetImage(&original, Text(u"viewBefore"));
  m_afterView.SetImage(&result, Text(u"viewAfter"));
  if (!UpdateData(false)) return false;
  UpdateCaptions();
  RunAlgorithm();
  return true;
}

void CJpgSaveDlg::FillRunBlock(const std::filesystem::path& path, std::uint8_t runFlags) {
  m_runBlock = JpegOptimizeParams{};
  settings.FillBlock(m_runBlock, info, path, runFlags);
  ValidateJpegOptimizeParams(m_runBlock);
  m_runBlock.source = &original;
  m_runBlock.third = &original;
  m_runBlock.working = &m_runWorking;
}

bool CJpgSaveDlg::StartRun(std::int32_t command) {
  return StartJob(m_optimizer, nullptr, nullptr, &m_runBlock, command);
}

void CJpgSaveDlg::RunAlgorithm() {
  if (m_saving || original.IsEmpty()) return;
  FillRunBlock({}, kRunEncode | kRunMeasure);
  if (!StartRun(kPreviewCommand)) UIResources().WriteLog("JPEG preview not started");
}

void CJpgSaveDlg::EnableSettings(bool enabled) {
  for (const std::int32_t id : kSettingControls) {
    if (CDialogControl* control = FindControl(id)) {
      control->acceptsInput = enabled ? 1 : 0;
      control->dirty = 1;
    }
  }
  closeButton.acceptsInput = enabled ? 1 : 0;
  closeButton.dirty = 1;
  if (enabled) UpdateCaptions();  // the target field follows the policy
}

void CJpgSaveDlg::UpdateCaptions() {
  const auto caption = [this](std::int32_t id, std::u16string_view key) {
    if (auto* button = dynamic_cast<CSButton*>(FindControl(id))) button->SetText(Text(key) + u" \u25BE");
  };
  caption(kMetadataButton, KeyOf(kMetadataEntries, settings.metadataMode));
  caption(kSizeModeButton, KeyOf(kSizeEntries, settings.sizeMode));
  caption(kPolicyButton, KeyOf(kPolicyEntries, settings.policy));
  if (CDialogControl* target = FindControl(kTargetEdit)) {
    target->acceptsInput = settings.policy != kPolicyNone && !m_saving ? 1 : 0;
    target->dirty = 1;
  }
  dirty = 1;
}

void CJpgSaveDlg::ShowMenu(std::int32_t buttonId) {
  CSprite* button = FindControl(buttonId);
  CRenderWindow* window = RenderWindowOf(*this);
  if (!button || !window) return;
  m_menu.Destroy(0);
  const auto fill = [this](std::int32_t group, auto entries, std::int32_t current) {
    for (const MenuEntry& entry : entries) {
      const std::int32_t id = 100 * group + entry.value;
      static_cast<void>(
          m_menu.AddItem(u"", id, Text(entry.key), nullptr));  // a missing row is only not offered
      m_menu.CheckItem(id, entry.value == current);
    }
  };
  if (buttonId == kMetadataButton) fill(kMetadataGroup, kMetadataEntries, settings.metadataMode);
  if (buttonId == kSizeModeButton) fill(kSizeModeGroup, kSizeEntries, settings.sizeMode);
  if (buttonId == kPolicyButton) fill(kPolicyGroup, kPolicyEntries, settings.policy);
  Rect place;
  {
    std::lock_guard guard(button->lock);
    place = button->rect;
  }
  window->ShowPopupMenu(&m_menu, PointToWindow({place.right, place.top}), true, true, this);
}

void CJpgSaveDlg::TakeMenuChoice(std::int32_t group, std::int32_t value) {
  std::uint8_t* setting = &settings.metadataMode;
  std::int32_t limit = kMetadataAll;
  if (group == kSizeModeGroup) {
    setting = &settings.sizeMode;
    limit = kSizeTotalPixels;
  } else if (group == kPolicyGroup) {
    setting = &settings.policy;
    limit = kPolicyQuality;
  } else if (group != kMetadataGroup) {
    return;
  }
  if (value < 0 || value > limit || value == *setting) return;
  *setting = static_cast<std::uint8_t>(value);
  UpdateCaptions();
  RestartAlgorithm();
}

void CJpgSaveDlg::ShowTip(std::u16string_view key) const {
  static_cast<void>(
      ShowMessageBox(Text(key), MessageBoxIcon::Information, MessageBoxButtons::Ok));  // OK only
}

bool CJpgSaveDlg::OnSpriteMessage(const SpriteMessage& message) {
  // A save run reads the settings as they were when it started: nothing
  // may restart (and so cancel) it. The controls are off meanwhile; this
  // also holds for messages already queued.
  const bool settingMessage =
      message.code == kSliderMsgChanged || message.code == kCheckMsgChanged ||
      message.code == kEditMsgTextChanged || message.code == kMenuMsgCommand ||
      (message.code == kSpriteMsgButtonClicked && message.wparam != kIdOk && message.wparam != kIdCancel);
  if (m_saving && settingMessage) return true;
  switch (message.code) {
    case kSpriteMsgButtonClicked:
      switch (message.wparam) {
        case kAdjustButton:
          static_cast<void>(AdjustToFileSize());  // a cancelled question changes nothing
          return true;
        case kChromaAuto:
          if (UpdateData(true)) {
            settings.chromaFull = DetectFullChroma(original);
            static_cast<void>(UpdateData(false));  // writing the controls cannot refuse
            RestartAlgorithm();
          }
          return true;
        case kChromaTip:
          ShowTip(u"highHQCTip");
          return true;
        case kAdaptiveTip:
          ShowTip(u"adpQTableTip");
          return true;
        case kOptimiseTip:
          ShowTip(u"optMoreTip");
          return true;
        case kPolicyTip:
          ShowTip(u"policyTip");
          return true;
        case kMetadataButton:
        case kSizeModeButton:
        case kPolicyButton:
          ShowMenu(static_cast<std::int32_t>(message.wparam));
          return true;
        default:
          break;
      }
      break;
    case kMenuMsgCommand: {
      const auto id = static_cast<std::int32_t>(message.wparam);
      const std::int32_t group = id / 100;
      if (group == kSizeModeGroup || group == kPolicyGroup || group == kMetadataGroup) {
        TakeMenuChoice(group, id % 100);
        return true;
      }
      break;
    }
    case kEditMsgTextChanged:
      m_editChanged = true;
      return true;
    case kSpriteMsgFocusChanged:
      if (message.wparam != 0 && m_editChanged) {
        m_editChanged = false;
        RestartAlgorithm();
      }
      break;
    case kSliderMsgChanged:
    case kCheckMsgChanged:
      RestartAlgorithm();
      return true;
    default:
      break;
  }
  return CFilterDialog::OnSpriteMessage(message);
}

void CJpgSaveDlg::OnAlgorithmDone(std::int32_t command, std::int32_t success) {
  const bool whole = success != 0 && !m_optimizer.Cancelled() && !m_completionSuperseded;
  if (whole) {
    // The finished run's picture becomes the shown result; the next run
    // writes over the previous one.
    {
      std::lock_guard guard(m_afterView.lock);
      result.Swap(m_runWorking);
    }
    m_afterView.dirty = 1;
    resultAvailable = true;
    encodedSize = m_optimizer.EncodedSize();
    chosenQuality = m_optimizer.ChosenQuality();
    runQuality = m_runBlock.quality;
    UpdatePanel();
  }
  if (command == kSaveCommand) {
    EndSave();
    bool saved = false;
    if (whole) {
      // The information goes into the temporary file too; a failure is
      // told, and the pixels are kept all the same.
      if (!WriteJpegMetadata(m_saveFile.Path(), info, m_runBlock.metadataMode)) ShowTip(u"errormeta");
      saved = m_saveFile.Commit();
      if (!saved) ShowTip(u"ErrorSave");
    }
    m_saveFile.Discard();
    CAlgorithmDialog::OnAlgorithmDone(command, success);
    if (saved) {
      document->m_modified = 1;
      static_cast<void>(CAlgorithmDialog::OnOK());  // the run has ended: nothing to wait for
    }
    return;
  }
  CAlgorithmDialog::OnAlgorithmDone(command, success);
}

void CJpgSaveDlg::EndSave() {
  m_saving = false;
  EnableSettings(true);
}

bool CJpgSaveDlg::SaveJpeg() {
  if (m_saving || m_settling) return false;
  if (!SettleJobs() || !UpdateData(true)) return false;
  const std::filesystem::path proposed =
      ProposedJpegName(documentPath, Text(u"untitle"), original.width, original.height, result.width,
                       result.height, settings, encodedSize, info);
  std::filesystem::path chosen;
  if (!FileChooser().ChooseSavePath(u"dlgJpg", proposed, u".jpg", chosen)) return false;
  if (!m_saveFile.Make(chosen)) {
    ShowTip(u"Cannotopenfile");
    return false;
  }
  savePath = chosen;
  FillRunBlock(m_saveFile.Path(), kRunEncode);
  m_saving = true;
  EnableSettings(false);
  if (!StartRun(kSaveCommand)) {
    m_saveFile.Discard();
    EndSave();
    ShowTip(u"algorithmerror");
    return false;
  }
  if (!RememberLastFolder(chosen, u"SaveJPG")) UIResources().WriteLog("Last Path not stored");
  return true;
}

bool CJpgSaveDlg::OnOK() {
  // The dialog ends when the save run has written the file.
  static_cast<void>(SaveJpeg());  // a cancelled question or a refused value leaves the dialog as it was
  return false;
}

void CJpgSaveDlg::OnCancel() {
  // A running save is stopped; its completion then never arrives here, and
  // the temporary file goes with the dialog.
  CFilterDialog::OnCancel();
  if (EndCode() == kIdCancel) m_saveFile.Discard();
}

bool CJpgSaveDlg::AdjustToFileSize() {
  if (m_saving || m_settling) return false;
  std::u16string answer =
      resultAvailable
          ? FormatText(u"%d", {static_cast<std::int64_t>((std::int64_t{encodedSize} + 512) >> 10)})
          : std::u16string(u"200");
  Point at{-1, -1};
  if (CSprite* button = FindControl(kAdjustButton)) {
    Rect place;
    {
      std::lock_guard guard(button->lock);
      place = button->rect;
    }
    at = PointToWindow({place.left, place.bottom});
  }
  if (!InputString(answer, kTargetInputLength, Text(u"inputsize"), Text(u"inKB"), at)) return false;
  if (!UpdateData(true)) return false;
  std::int64_t typed = 0;
  for (const char16_t c : answer) {
    if (c < u'0' || c > u'9') return false;
    typed = typed * 10 + (c - u'0');
  }
  if (typed < 1) return false;
  // The search must not share the algorithm thread's cancel switch with a
  // preview.
  if (!SettleJobs()) return false;
  JpegOptimizeParams block;
  settings.FillBlock(block, info, {}, kRunMeasure);
  block.targetKb = JpegPictureTargetKb(typed, JpegMetadataEstimate(info, settings.metadataMode));
  block.quality = 100;
  block.sizePolicy = kPolicyQuality;
  ValidateJpegOptimizeParams(block);
  CBgraImage working;
  block.source = &original;
  block.third = &original;
  block.working = &working;
  CJpegOptimize search;
  search.m_params = &block;
  ShowBusy(true);
  const bool searched = search.Process() != 0 && !search.Cancelled();
  ShowBusy(false);
  if (!searched) {
    ShowTip(u"algorithmerror");
    return false;
  }
  if (auto* slider = dynamic_cast<CSliderSprite*>(FindControl(kQualitySlider)))
    slider->SetSliderValue(AdjustedQuality(search.ChosenQuality()), true);
  return true;
}

void CJpgSaveDlg::UpdatePanel() {
  CSkinSet& skins = UIResources().skins;
  PanelText text;
  text.s0 = static_cast<std::int64_t>(std::min<std::uint64_t>(originalSize, INT64_MAX));
  text.c = std::int64_t{encodedSize} + (info ? JpegMetadataEstimate(info, settings.metadataMode) : 0);
  text.resultWidth = result.width;
  text.resultHeight = result.height;
  const std::uint64_t pixels = std::uint64_t{original.width} * original.height;
  text.sizeChanged = std::uint64_t{result.width} * result.height != pixels;
  const std::u16string first =
      originalIsFile
          ? FormatText(Text(u"orgfileinfo"), {static_cast<double>(text.s0) / 1024.0,
                                              CompressionRatio(pixels, static_cast<std::uint64_t>(text.s0))})
          : FormatText(Text(u"orgimageinfo"), {static_cast<double>(text.s0) / 1024.0});
  const std::u16string second = FormatText(
      Text(u"curfileinfo"),
      {static_cast<double>(text.c) / 1024.0,
       CompressionRatio(std::uint64_t{result.width} * result.height, static_cast<std::uint64_t>(text.c))});
  const std::u16string quality =
      FormatText(Text(u"actquality"), {chosenQuality >= 1 ? chosenQuality : runQuality});
  bool rendered = skins.RenderTextLocked(first, text.original, {}, kPanelTextSize) &&
                  skins.RenderTextLocked(second, text.current, {}, kPanelTextSize) &&
                  skins.RenderTextLocked(quality, text.quality, {}, kPanelTextSize);
  if (rendered && text.sizeChanged)
    rendered = skins.RenderTextLocked(FormatText(Text(u"imagesizechanged"), {result.width, result.height}),
                                      text.size, {}, kPanelTextSize);
  text.shown = rendered;
  {
    std::lock_guard guard(lock);
    m_panel = std::move(text);
  }
  dirty = 1;
}

bool CJpgSaveDlg::Draw(std::uint32_t now) {
  const bool drawn = CFilterDialog::Draw(now);
  if (drawn) DrawPanel();
  return drawn;
}

void CJpgSaveDlg::DrawPanel() {
  const CDialogControl* area = FindControl(kPanelArea);
  if (!area || !m_panel.shown || surface.IsEmpty()) return;
  const Rect r = area->rect;
  const std::int32_t left = r.left, top = r.top;
  const Rect clip{0, 0, static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)};
  const std::int64_t e = std::max<std::int64_t>(
      0, std::int64_t{r.right} - left - static_cast<std::int64_t>(m_panel.original.width) - 10);
  // M is at least 1: a zero size draws no bar rather than dividing by it.
  const std::int64_t m = std::max<std::int64_t>({m_panel.s0, m_panel.c, 1});
  const auto length1 = static_cast<std::int32_t>(std::max<std::int64_t>(1, e * m_panel.s0 / m));
  const auto length2 = static_cast<std::int32_t>(e * m_panel.c / m);
  TintPanelBar(surface, {left, top, left + length1, top + 20},
               0xFF000000u | kOriginalBarGrey << 16 | kOriginalBarGrey << 8 | kOriginalBarGrey);
  TintPanelBar(surface, {left, top + 24, left + length2, top + 44}, kResultBarColor);
  const auto centred = [](std::int32_t barTop, const CBgraImage& text) {
    return barTop + 10 - static_cast<std::int32_t>(text.height) / 2;
  };
  BlendColorMask(surface, m_panel.original, left + length1 + 5, centred(top, m_panel.original),
                 kPanelTextColor, clip);
  BlendColorMask(surface, m_panel.current, left + length2 + 5, centred(top + 24, m_panel.current),
                 kPanelTextColor, clip);
  BlendColorMask(surface, m_panel.quality, left, top + 48, kPanelTextColor, clip);
  if (m_panel.sizeChanged && !m_panel.size.IsEmpty() && original.height > 0) {
    BlendColorMask(surface, m_panel.size, left, top + 68, kPanelTextColor, clip);
    const std::int32_t boxLeft = left + static_cast<std::int32_t>(m_panel.size.width) + 10;
    const auto boxWidth = static_cast<std::int32_t>(
        std::min<std::int64_t>(32 * std::int64_t{original.width} / original.height, r.right - left));
    const Rect box{boxLeft, top + 68, boxLeft + boxWidth, top + 100};
    FillRect(surface, box, 0xFF3C3C3Cu);
    const auto innerW = static_cast<std::int32_t>(std::int64_t{boxWidth} * m_panel.resultWidth /
                                                  std::max<std::uint32_t>(original.width, 1));
    const auto innerH = static_cast<std::int32_t>(std::int64_t{32} * m_panel.resultHeight /
                                                  std::max<std::uint32_t>(original.height, 1));
    const std::int32_t ix = box.left + (boxWidth - innerW) / 2, iy = box.top + (32 - innerH) / 2;
    FillRect(surface, {ix, iy, ix + innerW, iy + innerH}, 0xFF808080u);
  }
  InvalidateArea({left, top, r.right, top + 100}, 1);
}
