#include "dialogs/FilterBlendDlg.h"

#include "document/BlendMode.h"
#include "editor/MenuCatalogue.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/SliderSprite.h"

CFilterBlendDlg::CFilterBlendDlg() = default;
CFilterBlendDlg::~CFilterBlendDlg() { m_modeMenu.RemoveFromWindow(); }

std::u16string_view CFilterBlendDlg::ModeKey(std::uint16_t mode) {
  static const std::array<std::u16string, kBlendModeTexts.size()> keys = [] {
    std::array<std::u16string, kBlendModeTexts.size()> out;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = FromUtf8(kBlendModeTexts[i].textKey);
    return out;
  }();
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (kBlendModeTexts[i].mode == mode) return keys[i];
  return keys[0];
}

bool CFilterBlendDlg::OnInitDialog() {
  if (!BindControl(kOpacitySlider, m_opacity, 100, 0)) return false;
  if (auto* slider = dynamic_cast<CSliderSprite*>(FindControl(kOpacitySlider)))
    slider->SetRange(0, 100, m_opacity, 1, u"%");
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window || !m_modeMenu.Create(nullptr, window, 2, {0, 0, 100, 100}, kPopupMenuLayer)) return false;
  if (!UpdateData(false)) return false;
  UpdateModeText();
  return true;
}

void CFilterBlendDlg::Destroy(int final) {
  m_modeMenu.RemoveFromWindow();
  CDialogSprite::Destroy(final);
}

void CFilterBlendDlg::UpdateModeText() {
  if (auto* button = dynamic_cast<CSButton*>(FindControl(kModeButton)))
    button->SetText(UIResources().texts.TextOrKey(ModeKey(m_blendMode)) + u" \u25BE");
}

void CFilterBlendDlg::ShowModeMenu() {
  CSprite* button = FindControl(kModeButton);
  CRenderWindow* window = RenderWindowOf(*this);
  if (!button || !window) return;
  BuildPopupMenu(m_modeMenu, kModeMenuType, {}, nullptr);
  Rect place;
  {
    std::lock_guard guard(button->lock);
    place = button->rect;
  }
  window->ShowPopupMenu(&m_modeMenu, PointToWindow({place.right, place.top}), true, false, this);
}

bool CFilterBlendDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked && message.wparam == kModeButton) {
    ShowModeMenu();
    return true;
  }
  if (message.code == kMenuMsgCommand && message.wparam >= kBlendMenuFirstId &&
      message.wparam < kBlendMenuFirstId + 100) {
    m_blendMode = static_cast<std::uint16_t>(message.wparam - kBlendMenuFirstId);
    UpdateModeText();
    return true;
  }
  return CDialogSprite::OnSpriteMessage(message);
}
