#pragma once
// CFilterDialog: the base of the parameter dialogs of the edit page. Built
// with its algorithm on the command handler's stack, it copies the current
// layer's image (m_backup, the source of every run), runs the algorithm into
// an image of its own (m_work) whenever a control changes, and at each
// completed run mixes that result with m_backup by blend mode and opacity,
// limits it to the selection or a saved mask, and exchanges it with the
// layer's pixels under the layer's lock: the algorithm never writes an image
// that the canvas or the previews read.
//
// Previews: a before view (m_backup) and an after view (the layer image) in
// one of five layouts (FilterViewMode), or the result on the edit canvas
// with the dialog narrowed to its controls. Apply makes the result so far
// the new starting point; the first Apply keeps the layer as it was before
// the dialog in an undo file of raw 16-bit pixels. Cancel puts the layer
// back as it was (from the undo file after an Apply); OK leaves the result
// and the concrete dialog records its history step (RecordFilterHistory)
// only when OK ended the dialog.
//
// OK, Apply and a restart wait for the running job and handle its completion
// (with a pending restart and that run's completion) before they commit, so
// what they keep is always a finished, mixed result.
//
// UI thread.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "dialogs/AlgorithmDialog.h"
#include "image/BgraImage16.h"
#include "image/ImageArray.h"
#include "image/Plane8.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/SPicView.h"

class CBFLayer;
class CFile;
struct MaskRecord;

enum FilterViewMode : std::int32_t {
  kViewBefore = 0,
  kViewAfter = 1,
  kViewSideBySide = 2,
  kViewTopAndBottom = 3,
  kViewOnCanvas = 4,
};

class CFilterDialog : public CAlgorithmDialog {
public:
  static constexpr std::int32_t kApplyId = 1049;
  static constexpr std::int32_t kPanelId = 10000;
  static constexpr std::int32_t kFirstModeItem = 10001;  // + mode
  static constexpr std::int32_t kBlendItem = 10006;
  static constexpr std::int32_t kMaskItem = 10007;
  static constexpr std::int32_t kBeforeViewId = 10011;
  static constexpr std::int32_t kAfterViewId = 10012;
  static constexpr std::int32_t kMaskMenuId = 10013;
  static constexpr std::int32_t kMaskWholeImage = 100;
  static constexpr std::int32_t kMaskSelection = 101;
  static constexpr std::int32_t kFirstSavedMask = 9001;
  static constexpr std::int32_t kLastSavedMask = 9098;  // 98 saved masks can be chosen
  static constexpr std::int32_t kBlendTemplateId = 192;
  static constexpr std::int32_t kMaskIconOn = 6;
  static constexpr std::int32_t kMaskIconOff = 7;
  static constexpr std::u16string_view kUndoPrefix = u"filter";

  CFilterDialog();
  ~CFilterDialog() override;

  // Hook after a successful Apply.
  virtual void OnApplied() {}
  // Makes the result so far the starting point (button 1049).
  virtual void Apply();

  // Source, work area, panel, views, mask menu, view mode 1, the undo
  // file's name; the Apply button starts disabled. False ends the dialog
  // before it shows.
  [[nodiscard]] bool OnInitDialog() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  void OnCancel() override;
  // True when the dialog ended with 1; the subclass then records its step.
  [[nodiscard]] bool OnOK() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;

  // The document's current layer becomes the source and target; null
  // clears both. False when the backup copy cannot be made.
  [[nodiscard]] bool SetSource(CBFDoc* doc);
  void SetViewMode(std::int32_t mode);
  // A layer step of the current layer named by the text of key; replayable
  // only without restriction, Apply, blend or lowered opacity. False when
  // the history refused it (true without a history).
  [[nodiscard]] bool RecordFilterHistory(std::u16string_view key, std::uint16_t stepType,
                                         std::span<const std::uint8_t> block);
  // Starts algorithm from m_backup into m_work (what RunAlgorithm of a
  // concrete dialog calls).
  [[nodiscard]] bool StartFilterJob(CAlgorithm& algorithm, const void* params);

  // The mixes on m_work against m_backup.
  void BlendResult();
  void ApplyMask(const CPlane8* plane);
  // Fills menu with the region choices of doc; current is null (whole
  // image), the selection plane or a saved mask's record.
  static void BuildMaskMenu(CSMenu& menu, const void* current, const CBFDoc& doc);
  void ShowMaskMenu();
  void ShowBlendDialog();
  // A choice of the mask menu (100, 101, 9001 + n).
  void ChooseMask(std::int32_t commandId);

  CPanelSprite m_viewPanel;
  CSPicView m_beforeView;
  CSPicView m_afterView;
  Rect m_viewArea;
  CImageArray m_viewIcons;
  std::int32_t m_viewMode = -1;
  std::filesystem::path m_undoFile;
  std::int32_t m_applied = 0;
  CBgraImage16 m_backup;
  CBgraImage16 m_work;               // what the algorithm writes
  CBgraImage16* m_target = nullptr;  // the current layer's image
  CBFLayer* m_layer = nullptr;       // its layer
  const CPlane8* m_restriction = nullptr;
  CSMenu m_maskMenu;
  std::int32_t m_maskIndex = -1;
  CPlane8 m_maskPlane;
  std::uint16_t m_blendMode = 0;
  std::uint16_t m_opacity = 100;

protected:
  // Completion of a preview run: mixes and exchange, redraws, Apply on.
  void TakeResult();
  // Copies image into the layer under its lock.
  [[nodiscard]] bool PutIntoLayer(const CBgraImage16& image);
  void EnableApply(bool enabled);
  void ShowErrorApply();
  // Places OK, Cancel and Apply along the bottom.
  void PlaceButtons();

private:
  bool m_panelMade = false;
};

// The undo file: u32 width, u32 height, then the pixels as u16 B, G, R, A,
// little-endian. Writing fails when any byte does; reading fails for a
// short, long or oversized file and leaves image untouched.
[[nodiscard]] bool WriteUndoImage(const std::filesystem::path& path, const CBgraImage16& image);
[[nodiscard]] bool ReadUndoImage(const std::filesystem::path& path, CBgraImage16& image);
// The same from an open stream at the record's start.
[[nodiscard]] bool ReadUndoImage(CFile& file, CBgraImage16& image);
// A document-sized plane holding saved mask at its place (clipped), built
// aside: plane changes only on success.
[[nodiscard]] bool LoadSavedMaskPlane(const CBFDoc& doc, const MaskRecord& mask, CPlane8& plane);
