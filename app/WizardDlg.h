#pragma once
// CWizardDlg: the auto wizard (template 187), a chooser of what to fix in a
// photo. Its body is a panel of nine picture cards: six problem categories
// (exposure, colour, sharpness and haze, noise, lens errors, portrait) and
// three direct tasks (vivid colour, removing an object, instant filter).
// Clicking a category card fades it out and shows its entries in its place
// (the category open before closes again); clicking an entry or a direct
// task ends the dialog with OK and that item's id in chosenEntry. The check
// box 1011 writes Editor "AutoWizard" as soon as it changes.
//
// Item ids: categories 10 to 60, their entries 11 to 64 (id / 10 is the
// category), direct tasks 70, 80 and 90.

#include <cstdint>
#include <vector>

#include "image/BgraImage.h"
#include "image/ImageArray.h"
#include "ui/DialogSprite.h"
#include "ui/widgets/PanelSprite.h"

class CWizardDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 187;
  static constexpr std::int32_t kPanelFrameId = 1123;
  static constexpr std::int32_t kAfterOpenId = 1011;
  static constexpr std::int32_t kPanelId = 9990;
  static constexpr std::int32_t kPanelLayer = 2;
  static constexpr std::int32_t kIconWidth = 50;
  static constexpr std::int32_t kTitleSize = 20;
  static constexpr std::int32_t kDescriptionSize = 14;
  static constexpr std::uint32_t kTitleColour = 0xFFE6E6E6;        // opaque grey 230
  static constexpr std::uint32_t kDescriptionColour = 0xFF808080;  // opaque grey 128

  ~CWizardDlg() override;
  void Destroy(int final) override;
  // Panel clicks (96), the check box (100), then the dialog's own handling.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // "wizard.png" from the skin folder as 50-pixel icons, the card panel in
  // the frame 1123, the cards, the check box bound to Editor "AutoWizard".
  // False when a picture or the panel cannot be had.
  [[nodiscard]] bool OnInitDialog() override;

  // The cards and entries in the panel; every category closed. False when
  // "mpanel.png" of the basic folder, a card picture or an item cannot be
  // made.
  [[nodiscard]] bool BuildPages();
  // Opens the category (1 to 6; 0 closes them all), with a fade over its
  // card.
  void ShowCategory(std::int32_t category);

  std::int32_t chosenEntry = -1;
  std::uint32_t showAfterOpen = 1;
  CPanelSprite panel;
  CImageArray wizardIcons;
  CBgraImage panelPicture;                  // "mpanel.png": the wizard needs the basic skin whole
  std::vector<std::uint32_t> accordionIds;  // the six categories and their entries
};

// Registers the wizard as the editor's command 18001: its result is the
// chosen item, 0 when the wizard was closed or could not open.
void RegisterWizardCommand();
