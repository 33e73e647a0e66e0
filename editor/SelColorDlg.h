#pragma once
// CSelColorDlg: the colour range dialog (template 137). It makes or changes
// the document's selection from the colours of the current layer: a hue
// band picked on a range selector, the tonal zones highlight, midtone and
// shadow, and an edge option (ColorRangeMask.h), combined into a mask that
// replaces, is added to or is subtracted from the selection, optionally only
// inside the current selection. Seven presets set the hue band; a preview
// shows the mask as a grey picture or as the layer made transparent where
// nothing is selected.
//
// The caller sets document, creates the dialog (Create(kTemplateId)) and
// runs it; everything it changes it changes on OK: the outgoing selection
// is kept as the saved mask named by "Lastarea", the selection changes and
// the document is marked modified. Cancel and the preview leave the
// document alone. The preview is built on the UI thread under the progress
// indicator, when a control changed, at the dialog's next timer message.

#include <array>
#include <cstdint>

#include "editor/ColorRangeMask.h"
#include "image/BgraImage.h"
#include "image/Plane8.h"
#include "ui/DialogSprite.h"
#include "ui/widgets/RangeSelector.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/SPicView.h"

class CBFDoc;

class CSelColorDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 137;
  enum ControlId : std::int32_t {
    kScopeAll = 1034,
    kScopeSelection = 1035,
    kHueCheck = 1036,
    kHighlightCheck = 1037,
    kMidtoneCheck = 1038,
    kShadowCheck = 1039,
    kReplace = 1040,
    kAdd = 1041,
    kSubtract = 1042,
    kEdgeCheck = 1043,
    kPresetButton = 1044,
    kStyleMask = 1046,
    kStyleTransparent = 1047,
    kPreviewButton = 1048,
  };
  static constexpr std::int32_t kSelectorId = 9999;
  static constexpr std::int32_t kMenuId = 9998;
  static constexpr std::int32_t kViewId = 9997;
  static constexpr std::int32_t kTimerFrames = 20;

  // A preset of the menu (commands 1 to 7): the band and the marker.
  struct Preset {
    std::array<std::int32_t, 4> handles;
    std::int32_t marker;
  };
  static constexpr std::array<Preset, 7> kPresets = {{
      {{7712, 15904, 24096, 32288}, 20000},   // red
      {{8000, 15904, 24096, 26000}, 8912},    // yellow
      {{7712, 15904, 24096, 32288}, 63776},   // green
      {{7712, 15904, 24096, 32288}, 52768},   // cyan
      {{7712, 15904, 24096, 32288}, 42016},   // blue
      {{7712, 15904, 24096, 32288}, 31008},   // magenta
      {{14563, 16803, 24925, 29966}, 18204},  // skin
  }};
  static constexpr std::int32_t kSkinPreset = 7;

  CSelColorDlg();
  ~CSelColorDlg() override;
  // Closes the preset menu and takes it out of the window.
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  [[nodiscard]] bool OnInitDialog() override;
  [[nodiscard]] bool OnOK() override;

  // The options as the controls and the selector hold them now.
  ColorRangeOptions Options() const;
  // The mask of the current layer; false without a layer, without any
  // option or when memory is short.
  [[nodiscard]] bool BuildMask(CPlane8& mask) const;
  // Builds and shows the preview (when an option is set).
  void Preview();
  void ApplyPreset(std::int32_t preset);
  void ShowPresetMenu();
  // Writes scope, combine mode and preview style into the radios and
  // enables the selector with the hue box.
  void UpdateControls();

  CBFDoc* document = nullptr;    // the caller's; not owned
  std::int32_t scope = 1;        // 1 the whole layer, 0 inside the selection
  std::int32_t combineMode = 0;  // 0 replace, 1 add, 2 subtract
  std::int32_t hueFlag = 0;
  std::int32_t highlightFlag = 0;
  std::int32_t midtoneFlag = 0;
  std::int32_t shadowFlag = 0;
  std::int32_t edgeFlag = 0;
  CRangeSelector selector;
  CSMenu presetMenu;
  CBgraImage previewPicture;  // under previewView's lock once shown
  CSPicView previewView;
  std::int32_t previewStyle = 2;  // 1 mask, 2 transparent
  std::int32_t previewNeeded = 0;

private:
  void ReleaseMenu();
  bool AnyOption() const;
  void MultiplyBySelection(CPlane8& mask) const;
  [[nodiscard]] bool ReadControls();
};
