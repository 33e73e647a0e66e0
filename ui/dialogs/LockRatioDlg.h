#pragma once
// The lock-ratio dialog (template 139): the user locks an aspect ratio
// (width : height) and keeps named ratios as presets in "lockratio.set"
// (RatioPresetList). The caller sets lockRatio, ratioWidth and ratioHeight,
// runs the dialog and reads them back after OK; the two fields take input
// only while the ratio is locked, and neither value may be 0.
//
// The button 1052 opens a menu of the presets sorted by name, a separator
// when there are any, "Add to preset" (asks for a name; a preset of exactly
// that name takes the ratio, else a new one is added) and "Remove current"
// (drops the first preset with the dialog's ratio, whatever its name).
// Choosing a preset copies its ratio into the fields and locks it. Every
// change of the presets is written at once; a failed write is not reported
// and leaves the old file. A presets file that cannot be read keeps the
// dialog from opening (RunModal gives 0) and stays as it is.

#include <cstddef>
#include <cstdint>

#include "ui/DialogSprite.h"
#include "ui/RatioPresetList.h"
#include "ui/widgets/SMenu.h"

class CLockRatioDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 139;
  static constexpr std::int32_t kWidthId = 1001;
  static constexpr std::int32_t kHeightId = 1002;
  static constexpr std::int32_t kLockId = 1050;
  static constexpr std::int32_t kPresetButtonId = 1052;
  static constexpr std::int32_t kMenuId = 200;
  // Menu commands. The presets have a range of their own, so that no
  // number of presets reaches the two commands.
  static constexpr std::int32_t kAddCommand = 101;
  static constexpr std::int32_t kRemoveCommand = 102;
  static constexpr std::int32_t kFirstPresetCommand = 1000;
  static constexpr std::int32_t kNameLength = 30;

  ~CLockRatioDlg() override;
  // Closes the preset menu and takes it out of the window.
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Saving refuses a width or height of 0 with "Valuenotzero".
  [[nodiscard]] bool UpdateData(bool save) override;
  // Loads the presets (a failure fails the dialog), makes the menu, binds
  // the controls and shows the values.
  [[nodiscard]] bool OnInitDialog() override;

  // Sorts the presets by name (UTF-16 code units; the list keeps that
  // order) and opens the menu below the button.
  void ShowPresetMenu();
  void AddToPreset();
  void RemoveCurrentPreset();

  std::int32_t lockRatio = 0;  // 1 when locked
  std::uint32_t ratioWidth = 0;
  std::uint32_t ratioHeight = 0;
  RatioPresetList presets;
  CSMenu presetMenu;

private:
  // The width and height fields take input exactly while the ratio is locked.
  void EnableRatioFields();
  void SavePresets();
  void ReleaseMenu();
};
