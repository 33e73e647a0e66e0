#include "editor/SelColorDlg.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "document/BFDoc.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/SCheckBox.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

constexpr std::int32_t kSelectorGap = 10;
constexpr std::int32_t kSelectorInset = 10;
constexpr std::int32_t kSelectorHeight = 32;
constexpr std::int32_t kChildLayer = 2;
constexpr std::int32_t kViewTop = 40;
constexpr std::int32_t kViewRightMargin = 15;
constexpr std::int32_t kViewBottomGap = 40;
constexpr std::int32_t kMenuOpensAbove = 20;

bool IsChecked(const CDialogControl* control) {
  const auto* box = dynamic_cast<const CSCheckBox*>(control);
  return box && box->IsChecked();
}

void SetChecked(CDialogControl* control, bool checked) {
  if (!control) return;
  control->SetValue(checked ? u"1" : u"0");
  control->dirty = 1;
}

}  // namespace

CSelColorDlg::CSelColorDlg() = default;

// The selector and the view are children and members: they leave the
// dialog's tree before they are destroyed.
CSelColorDlg::~CSelColorDlg() {
  ReleaseMenu();
  Destroy(1);
}

void CSelColorDlg::ReleaseMenu() {
  if (presetMenu.key == 0) return;
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    if (presetMenu.visible) presetMenu.CloseMenu(false);
    window->RemoveTopLevelSprite(&presetMenu);
  }
}

void CSelColorDlg::Destroy(int final) {
  ReleaseMenu();
  if (final) presetMenu.Destroy(final);
  {
    std::lock_guard guard(previewView.lock);
    previewView.SetImage(nullptr, {});
  }
  CDialogSprite::Destroy(final);
}

bool CSelColorDlg::OnInitDialog() {
  scope = 1;
  combineMode = 0;
  previewStyle = 2;
  hueFlag = 0;
  const auto hueEntry = std::find_if(
      templates.begin(), templates.end(),
      [](const DialogControlTemplate& entry) { return entry.controlId == kHueCheck && entry.control; });
  const CDialogControl* previewButton = FindControl(kPreviewButton);
  if (hueEntry == templates.end() || !previewButton) return false;

  const Rect hue = hueEntry->rect;
  const std::int32_t top = hue.bottom + kSelectorGap;
  const Rect selectorRect{hue.left + kSelectorInset, top, hue.right - kSelectorInset, top + kSelectorHeight};
  if (!selector.Create(this, nullptr, kSelectorId, selectorRect, kChildLayer)) return false;
  AppendChild(&selector);

  if (!presetMenu.Create(nullptr, renderWindow, kMenuId, {0, 0, 100, 100}, kPopupMenuLayer)) return false;
  presetMenu.visible = 0;

  const Rect viewRect{previewButton->rect.left, kViewTop, rect.Width() - kViewRightMargin,
                      previewButton->rect.top - kViewBottomGap};
  if (!previewView.Create(this, nullptr, kViewId, viewRect, kChildLayer)) return false;
  AppendChild(&previewView);
  previewView.SetSpriteRect(viewRect.left, viewRect.top, viewRect.Width(), viewRect.Height());
  ShowControl(FindControl(kPreviewButton), false);

  timerPeriod = kTimerFrames;
  if (!BindControl(kHueCheck, hueFlag) || !BindControl(kHighlightCheck, highlightFlag) ||
      !BindControl(kMidtoneCheck, midtoneFlag) || !BindControl(kShadowCheck, shadowFlag) ||
      !BindControl(kEdgeCheck, edgeFlag) || !UpdateData(false)) {
    return false;
  }
  UpdateControls();
  return true;
}

void CSelColorDlg::UpdateControls() {
  SetChecked(FindControl(kScopeAll), scope == 1);
  SetChecked(FindControl(kScopeSelection), scope == 0);
  SetChecked(FindControl(kReplace), combineMode == 0);
  SetChecked(FindControl(kAdd), combineMode == 1);
  SetChecked(FindControl(kSubtract), combineMode == 2);
  SetChecked(FindControl(kStyleMask), previewStyle == 1);
  SetChecked(FindControl(kStyleTransparent), previewStyle == 2);
  const bool hueOn = IsChecked(FindControl(kHueCheck));
  if (selector.IsEnabled() != hueOn) {
    std::lock_guard guard(selector.lock);
    selector.acceptsInput = hueOn ? 1 : 0;
    selector.dirty = 1;
  }
}

bool CSelColorDlg::AnyOption() const {
  return hueFlag || highlightFlag || midtoneFlag || shadowFlag || edgeFlag;
}

bool CSelColorDlg::ReadControls() { return UpdateData(true); }

ColorRangeOptions CSelColorDlg::Options() const {
  ColorRangeOptions options;
  {
    std::lock_guard guard(selector.lock);
    options.handles = selector.handles;
    options.marker = selector.marker;
  }
  options.hue = hueFlag != 0;
  options.highlight = highlightFlag != 0;
  options.midtone = midtoneFlag != 0;
  options.shadow = shadowFlag != 0;
  options.edge = edgeFlag != 0;
  return options;
}

bool CSelColorDlg::BuildMask(CPlane8& mask) const {
  const CBFLayer* layer = document ? document->GetCurrentLayer() : nullptr;
  if (!layer) return false;
  return BuildColorRangeMask({&layer->m_image, layer->m_x, layer->m_y}, document->m_width, document->m_height,
                             Options(), mask) != 0;
}

void CSelColorDlg::MultiplyBySelection(CPlane8& mask) const {
  const CPlane8& selection = document->m_selection;
  if (scope != 0 || selection.IsEmpty() || selection.width != mask.width || selection.height != mask.height)
    return;
  for (std::uint32_t i = 0; i < mask.byteSize; ++i)
    mask.pixels[i] = static_cast<std::uint8_t>(mask.pixels[i] * selection.pixels[i] / 255);
}

void CSelColorDlg::Preview() {
  previewNeeded = 0;
  if (!ReadControls() || !AnyOption()) return;
  CRenderWindow* window = RenderWindowOf(*this);
  if (window)
    window->ShowProgress(
        previewView.RectToWindow({0, 0, previewView.rect.Width(), previewView.rect.Height()}));
  CPlane8 mask;
  CBgraImage picture;
  const CBFLayer* layer = document ? document->GetCurrentLayer() : nullptr;
  bool built = layer && BuildMask(mask);
  if (built) {
    MultiplyBySelection(mask);
    built =
        RenderColorRangePreview({&layer->m_image, layer->m_x, layer->m_y}, mask, previewStyle, picture) != 0;
  }
  if (built) {
    bool shown = false;
    {
      std::lock_guard guard(previewView.lock);
      shown = !previewPicture.IsEmpty() && previewPicture.width == picture.width &&
              previewPicture.height == picture.height;
      previewPicture = std::move(picture);
      previewView.dirty = 1;
    }
    if (!shown) previewView.SetImage(&previewPicture, TextOf(u"dlgCRPreview"));
  }
  if (window) window->HideProgress();
}

void CSelColorDlg::ApplyPreset(std::int32_t preset) {
  if (preset < 1 || preset > static_cast<std::int32_t>(kPresets.size())) return;
  const Preset& chosen = kPresets[static_cast<std::size_t>(preset - 1)];
  {
    std::lock_guard guard(selector.lock);
    selector.handles = chosen.handles;
    selector.marker = chosen.marker;
    selector.dirty = 1;
  }
  SetChecked(FindControl(kHueCheck), true);
  SetChecked(FindControl(kHighlightCheck), false);
  SetChecked(FindControl(kMidtoneCheck), preset == kSkinPreset);
  SetChecked(FindControl(kShadowCheck), false);
  SetChecked(FindControl(kEdgeCheck), false);
  previewNeeded = 1;
  UpdateControls();
}

void CSelColorDlg::ShowPresetMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  const CDialogControl* button = FindControl(kPresetButton);
  if (!window || !button) return;
  presetMenu.Destroy(0);
  static constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 6> kColours = {{
      {u"R", u"Red"},
      {u"Y", u"Yellow"},
      {u"G", u"Green"},
      {u"C", u"Cyan"},
      {u"B", u"Blue"},
      {u"M", u"Magenta"},
  }};
  std::int32_t command = 1;
  for (const auto& [letter, key] : kColours) presetMenu.AddItem(letter, command++, TextOf(key), nullptr);
  presetMenu.AddItem({}, 0, {}, nullptr);
  presetMenu.AddItem(u"S", kSkinPreset, TextOf(u"selSkin"), nullptr);
  const Point at = button->PointToWindow({button->rect.Width(), button->rect.Height() - kMenuOpensAbove});
  window->ShowPopupMenu(&presetMenu, at, true, true, this);
}

bool CSelColorDlg::OnSpriteMessage(const SpriteMessage& message) {
  const auto id = static_cast<std::int64_t>(message.wparam);
  bool known = true;
  switch (message.code) {
    case kSpriteMsgButtonClicked:
      if (id == kPresetButton) {
        ShowPresetMenu();
      } else if (id == kPreviewButton) {
        if (ReadControls() && AnyOption())
          Preview();
        else
          ShowMessageBox(TextOf(u"atleastonesel"), MessageBoxIcon::Information, MessageBoxButtons::Ok);
      }
      break;
    case kMenuMsgCommand:
      ApplyPreset(static_cast<std::int32_t>(id));
      break;
    case kCheckMsgChanged:
      if (id == kScopeAll || id == kScopeSelection) {
        scope = id == kScopeAll ? 1 : 0;
        previewNeeded = 1;
      } else if (id >= kReplace && id <= kSubtract) {
        combineMode = static_cast<std::int32_t>(id - kReplace);
      } else if (id == kEdgeCheck) {
        for (const std::int32_t box : {kHueCheck, kHighlightCheck, kMidtoneCheck, kShadowCheck})
          SetChecked(FindControl(box), false);
        previewNeeded = 1;
      } else if (id == kStyleMask || id == kStyleTransparent) {
        previewStyle = id == kStyleMask ? 1 : 2;
        UpdateControls();
        Preview();
      } else {
        previewNeeded = 1;
      }
      break;
    case kRangeSelectorMsgDragged:
      previewNeeded = 1;
      break;
    case kDialogMsgTimer:
      if (previewNeeded) Preview();
      break;
    default:
      known = false;
  }
  if (known) UpdateControls();
  return CDialogSprite::OnSpriteMessage(message);
}

bool CSelColorDlg::OnOK() {
  if (!ReadControls()) return false;
  if (!AnyOption()) {
    ShowMessageBox(TextOf(u"atleastonesel"), MessageBoxIcon::Information, MessageBoxButtons::Ok);
    return false;
  }
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->ShowProgress({});
  CPlane8 mask;
  const bool built = BuildMask(mask);
  if (window) window->HideProgress();
  if (!built) {
    ShowMessageBox(TextOf(u"errselcolor"), MessageBoxIcon::Information, MessageBoxButtons::Ok);
    return false;
  }
  CBFDoc& doc = *document;
  if (!doc.m_selection.IsEmpty()) {
    MultiplyBySelection(mask);
    // Nothing is kept when the outgoing selection holds no selected pixel.
    static_cast<void>(doc.StoreSelectionAsMask(TextOf(u"Lastarea")));
  }
  // The new selection is made aside; the document's changes only once it is
  // complete.
  CPlane8 next;
  bool made = false;
  if (combineMode == 0 || doc.m_selection.IsEmpty()) {
    made = next.CopyFrom(mask) != 0;
  } else {
    made = next.CopyFrom(doc.m_selection) != 0 &&
           (combineMode == 1 ? next.AddPlane(mask) : next.SubtractPlane(mask)) != 0;
  }
  if (!made) {
    ShowMessageBox(TextOf(u"errselcolor"), MessageBoxIcon::Information, MessageBoxButtons::Ok);
    return false;
  }
  {
    std::lock_guard guard(doc.m_lock);
    doc.m_selection = std::move(next);
  }
  doc.m_modified = 1;
  EndModal(kIdOk);
  return true;
}
