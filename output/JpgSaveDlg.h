#pragma once
// CJpgSaveDlg: the JPEG options of the save chooser (template 154, caption
// "dlgJpg"). The user sets quality, full-resolution chroma, the photo's own
// luminance table, extra optimisation, softening, a size limit and a
// file-size policy; every change runs the optimiser on the algorithm thread
// as a preview (nothing written), whose decoded result the after view shows
// beside the original, with a panel of the original's and the JPEG's sizes.
// "Adjust to a file size" searches the highest quality that fits a typed
// size. OK asks for a path and runs the optimiser once more to write it.
//
// The layer is never touched: the original is the document's composite in
// 8 bits, and each run writes an image of its own that becomes the shown
// result only when the run ended whole. A save writes a temporary file
// beside the target, which receives the pixels and then the photo's
// information and replaces the target only then. While it runs every
// setting, OK and the adjust button are off; a save that was cancelled or
// failed writes nothing and leaves the dialog open (Cancel ends it).
//
// UI thread, except Draw (render thread, under the dialog's lock).

#include <cstdint>
#include <filesystem>
#include <string>

#include "dialogs/FilterDialog.h"
#include "image/BgraImage.h"
#include "output/JpegOptimize.h"
#include "output/JpegOptimizeParams.h"
#include "output/JpegSaveSettings.h"
#include "output/TemporaryTarget.h"
#include "ui/widgets/SMenu.h"

class CBFDoc;
struct ImageInfo;

class CJpgSaveDlg final : public CFilterDialog {
public:
  static constexpr std::int32_t kTemplateId = 154;
  static constexpr std::int32_t kQualitySlider = 1084;
  static constexpr std::int32_t kAdjustButton = 1085;
  static constexpr std::int32_t kChromaCheck = 1086;
  static constexpr std::int32_t kChromaTip = 1087;
  static constexpr std::int32_t kChromaAuto = 1088;
  static constexpr std::int32_t kAdaptiveTip = 1089;
  static constexpr std::int32_t kMetadataButton = 1090;
  static constexpr std::int32_t kAdaptiveCheck = 1091;
  static constexpr std::int32_t kOptimiseTip = 1092;
  static constexpr std::int32_t kSofteningSlider = 1093;
  static constexpr std::int32_t kOptimiseCheck = 1094;
  static constexpr std::int32_t kSizeModeButton = 1095;
  static constexpr std::int32_t kTargetEdit = 1096;
  static constexpr std::int32_t kPolicyButton = 1097;
  static constexpr std::int32_t kPolicyTip = 1098;
  static constexpr std::int32_t kPanelArea = 1099;
  static constexpr std::int32_t kSizeValueEdit = 1001;
  static constexpr std::int32_t kMenuId = 9992;
  // Menu commands: 100 x group + value.
  static constexpr std::int32_t kSizeModeGroup = 2;
  static constexpr std::int32_t kPolicyGroup = 3;
  static constexpr std::int32_t kMetadataGroup = 5;
  // The job commands.
  static constexpr std::int32_t kPreviewCommand = 1;
  static constexpr std::int32_t kSaveCommand = 101;
  static constexpr std::int32_t kTargetInputLength = 6;

  // document and info belong to the edit page (info may be null).
  CJpgSaveDlg(CBFDoc* document, ImageInfo* info);
  ~CJpgSaveDlg() override;

  // The base, then the original, the bindings, the menus and the first
  // preview; false without a document or when the original cannot be made.
  [[nodiscard]] bool OnInitDialog() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // The preview run.
  void RunAlgorithm() override;
  void OnAlgorithmDone(std::int32_t command, std::int32_t success) override;
  // Asks for the path and starts the save run; the dialog ends when it has
  // written the file.
  [[nodiscard]] bool OnOK() override;
  void OnCancel() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  // The dialog works on the chooser's document, never on a layer.
  CBFDoc* GetSourceDocument() override { return nullptr; }

  // The composite in 8 bits, the chroma choice of it and the size S0.
  [[nodiscard]] bool PrepareSource();
  // The save: the path, then the run with command 101; false when nothing
  // was started (cancelled question, refused value, no engine).
  [[nodiscard]] bool SaveJpeg();
  // The quality search for a typed size on the UI thread; true when the
  // slider was set.
  [[nodiscard]] bool AdjustToFileSize();
  // While a save run is going.
  bool Saving() const { return m_saving; }
  // The texts and numbers of the information panel after a run.
  void UpdatePanel();

  CBFDoc* document = nullptr;
  ImageInfo* info = nullptr;
  std::filesystem::path documentPath;
  JpegSaveSettings settings;
  CBgraImage original;             // the composite, 8 bits
  CBgraImage result;               // the decoded JPEG of the last finished run
  std::uint64_t originalSize = 0;  // S0
  bool originalIsFile = false;
  bool resultAvailable = false;
  std::uint32_t encodedSize = 0;   // of the last finished run
  std::int32_t chosenQuality = 0;  // of the last finished run (0: no search)
  std::int32_t runQuality = 90;    // the block's quality of that run
  std::filesystem::path savePath;  // the chosen file of the save run

private:
  struct PanelText {
    CBgraImage original, current, quality, size;
    std::int64_t s0 = 0, c = 0;
    std::uint32_t resultWidth = 0, resultHeight = 0;
    bool sizeChanged = false;
    bool shown = false;
  };
  void FillRunBlock(const std::filesystem::path& path, std::uint8_t runFlags);
  [[nodiscard]] bool StartRun(std::int32_t command);
  // On or off for every setting, OK and the adjust button.
  void EnableSettings(bool enabled);
  void ShowMenu(std::int32_t buttonId);
  void TakeMenuChoice(std::int32_t group, std::int32_t value);
  void UpdateCaptions();
  void ShowTip(std::u16string_view key) const;
  void DrawPanel();
  void EndSave();

  JpegOptimizeParams m_runBlock;  // what the running job reads
  CJpegOptimize m_optimizer;
  CBgraImage m_runWorking;  // what the running job writes
  CTemporaryTarget m_saveFile;
  CSMenu m_menu;
  PanelText m_panel;  // under lock
  bool m_saving = false;
  bool m_editChanged = false;
};

// Moves each channel of the rectangle's pixels (clipped to the image)
// toward color by the pixel's alpha / 255, an alpha of 0 counting as 255;
// the pixels become opaque. The bars of the information panel.
void TintPanelBar(CBgraImage& image, const Rect& bar, std::uint32_t color);
