#pragma once
// CFilterBlendDlg: the small dialog (template 192) in which the user picks
// the blend mode (a button that opens the blend-mode menu of the command
// catalogue) and the opacity (slider 1118, 0..100) of a parameter dialog's
// result. UI thread.

#include <cstdint>
#include <string_view>

#include "ui/DialogSprite.h"
#include "ui/widgets/SMenu.h"

class CFilterBlendDlg final : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 192;
  static constexpr std::int32_t kModeButton = 1207;
  static constexpr std::int32_t kOpacitySlider = 1118;
  static constexpr std::int32_t kModeMenuType = 25;

  CFilterBlendDlg();
  ~CFilterBlendDlg() override;

  [[nodiscard]] bool OnInitDialog() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  void Destroy(int final) override;
  void UpdateModeText();
  void ShowModeMenu();
  // The text key of a mode; modes without a menu entry read as normal.
  static std::u16string_view ModeKey(std::uint16_t mode);

  std::uint16_t m_blendMode = 0;
  std::int32_t m_opacity = 100;
  CSMenu m_modeMenu;
};
