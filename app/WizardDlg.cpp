#include "app/WizardDlg.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <span>
#include <string_view>

#include "editor/CommandRegistry.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/SCheckBox.h"

namespace {

struct WizardEntry {
  std::uint32_t id;
  std::u16string_view caption;
  std::size_t icon;  // the cell of "wizard.png"
};

struct WizardCard {
  std::uint32_t id;
  std::u16string_view picture;
  std::u16string_view title;
  std::array<std::u16string_view, 4> lines;  // empty ones end the list
  std::u16string_view tip;
  std::array<WizardEntry, 4> entries;  // id 0 ends the list
};

constexpr std::array<WizardCard, 9> kCards = {{
    {10,
     u"EXPOSURE.jpg",
     u"wzExposure",
     {u"wzUnderExposure", u"wzNarrowDynamic"},
     {},
     {{{11, u"wzExClick", 0}, {12, u"wzExVisual", 1}, {13, u"wxExDynamic", 2}}}},
    {20,
     u"COLOR.jpg",
     u"wzColor",
     {u"wzTemp", u"wzColorBias"},
     {},
     {{{21, u"WhiteBalance", 0}, {22, u"VisualChanges", 1}, {23, u"menuColorAuto", 3}}}},
    {30,
     u"CONTRASTY.jpg",
     u"wzSharpen",
     {u"wzSpBlur", u"wzSpFoggy"},
     {},
     {{{31, u"dlgspSharpenPixel", 10}, {32, u"dlgspSharenContrast", 11}, {33, u"hisDefog", 12}}}},
    {40,
     u"noise.jpg",
     u"wzNoise",
     {u"wzDescreen", u"wzHighISO"},
     {},
     {{{41, u"hisNR", 8}, {42, u"hisDescreen", 9}}}},
    {50,
     u"LENSERROR.jpg",
     u"wzDistort",
     {u"wzBarrel", u"wzPerspective", u"wzPurple", u"wzChromatic"},
     {},
     {{{51, u"Free Rotate", 4},
       {52, u"Correct Barrel Distort", 5},
       {53, u"menuFreeCrop", 6},
       {54, u"hisPurpleFringe", 7}}}},
    {60,
     u"PORTRAIT.jpg",
     u"wzPortrait",
     {u"wzSkinClean", u"wzRemoveSpot", u"wzRedeye", u"wzShape"},
     {},
     {{{61, u"dlgSkin", 16},
       {62, u"wzEraseSpot", 15},
       {63, u"wzChangeShape", 14},
       {64, u"wzRemoveRedeye", 13}}}},
    {70, u"VIVIDCOLOR.jpg", u"wzVividColor", {}, {}, {}},
    {80, u"inpaint.jpg", u"wzObject", {}, u"smarerasewizardtip", {}},
    {90, u"instantfilter.png", u"wzInstantFilter", {}, {}, {}},
}};

constexpr bool IsDirectTask(std::uint32_t id) { return id >= 70; }

std::u16string_view Text(std::u16string_view key) {
  const char16_t* text = UIResources().texts.LookupText(key);
  return text ? std::u16string_view(text) : key;
}

// The card's rectangle and those of its entries, in panel coordinates.
struct CardLayout {
  Rect card;
  std::array<Rect, 4> entries;
};

CardLayout LayoutOf(std::uint32_t id, std::int32_t u, std::int32_t v) {
  const std::int32_t e3 = 4 * u / 3;
  const auto staircase = [&](std::int32_t top) {
    std::array<Rect, 4> entries{};
    for (std::int32_t i = 0; i < 3; ++i)
      entries[static_cast<std::size_t>(i)] = {i * e3, top + 10 * i, (i + 1) * e3, top + 3 * v - 20 + 10 * i};
    return entries;
  };
  switch (id) {
    case 10:
      return {{0, 0, 4 * u, 3 * v}, staircase(0)};
    case 20:
      return {{0, 3 * v, 4 * u, 6 * v}, staircase(3 * v)};
    case 30:
      return {{0, 6 * v, 6 * u, 8 * v},
              {{{0, 6 * v, 2 * u, 8 * v}, {2 * u, 6 * v, 4 * u, 8 * v}, {4 * u, 6 * v, 6 * u, 8 * v}}}};
    case 40:
      return {{4 * u, 0, 8 * u, 2 * v}, {{{4 * u, 0, 6 * u, 2 * v}, {6 * u, 0, 8 * u, 2 * v}}}};
    case 50:
      return {{4 * u, 2 * v, 8 * u, 6 * v},
              {{{4 * u, 2 * v, 6 * u, 4 * v},
                {6 * u, 2 * v, 8 * u, 4 * v},
                {4 * u, 4 * v, 6 * u, 6 * v},
                {6 * u, 4 * v, 8 * u, 6 * v}}}};
    case 60:
      return {{8 * u, 0, 12 * u, 4 * v},
              {{{8 * u, 0, 10 * u, 2 * v},
                {10 * u, 0, 12 * u, 2 * v},
                {8 * u, 2 * v, 10 * u, 4 * v},
                {10 * u, 2 * v, 12 * u, 4 * v}}}};
    case 70:
      return {{6 * u, 6 * v, 8 * u, 8 * v}, {}};
    case 80:
      return {{8 * u, 4 * v, 10 * u, 6 * v}, {}};
    default:
      return {{10 * u, 6 * v, 12 * u, 8 * v}, {}};
  }
}

// Renders a text into a coverage picture; the caller holds the skin lock.
bool RenderLine(std::u16string_view key, std::int32_t size, std::int32_t maxWidth, CBgraImage& picture) {
  return UIResources().skins.RenderText(Text(key), picture, {}, size, maxWidth);
}

// The card's picture: its photo near the top, the title below it and the
// description lines below the title; a card too low for that puts the
// photo at the left and the texts beside it.
bool DrawCard(const WizardCard& card, const Rect& rect, CBgraImage& image) {
  const auto width = static_cast<std::uint32_t>(std::max(rect.Width() - 2, 1));
  const auto height = static_cast<std::uint32_t>(std::max(rect.Height() - 2, 1));
  if (!image.Create(width, height)) return false;
  const Rect all{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
  FillRect(image, all, 0);
  CBgraImage picture;
  if (!picture.LoadFile(UIResources().skins.SkinFilePath(card.picture))) return false;
  std::size_t lines = 0;
  while (lines < card.lines.size() && !card.lines[lines].empty()) ++lines;
  const auto pictureHeight = static_cast<std::int32_t>(picture.height);
  const auto pictureWidth = static_cast<std::int32_t>(picture.width);
  const std::int32_t pictureTop = IsDirectTask(card.id) ? 8 : 4;
  const std::int32_t stackedHeight =
      pictureTop + pictureHeight + 8 + 32 + static_cast<std::int32_t>(lines) * 16;
  const bool stacked = stackedHeight <= all.bottom;
  const std::int32_t pictureLeft = stacked ? (all.right - pictureWidth) / 2 : 8;
  BlendImage(image, picture, pictureLeft, pictureTop, true, all, 256);

  const std::int32_t textLeft = stacked ? 0 : pictureLeft + pictureWidth + 8;
  const std::int32_t bandTop = stacked ? pictureTop + pictureHeight + 8 : 8;
  std::lock_guard guard(UIResources().skins);
  CBgraImage text;
  // The narrow direct-task cards give their title the whole width.
  const std::int32_t titleLeft = textLeft + (IsDirectTask(card.id) ? 4 : 11);
  if (!RenderLine(card.title, CWizardDlg::kTitleSize, all.right - titleLeft - 4, text)) return false;
  BlendColorMask(image, text, titleLeft, bandTop, CWizardDlg::kTitleColour, all);
  for (std::size_t i = 0; i < lines; ++i) {
    if (!RenderLine(card.lines[i], CWizardDlg::kDescriptionSize, all.right - textLeft - 20, text))
      return false;
    BlendColorMask(image, text, textLeft + 16, bandTop + 32 + static_cast<std::int32_t>(i) * 16,
                   CWizardDlg::kDescriptionColour, all);
  }
  return true;
}

}  // namespace

CWizardDlg::~CWizardDlg() { Destroy(1); }

void CWizardDlg::Destroy(int final) {
  // The panel is a member: it leaves the children before it goes.
  if (final) panel.Destroy(final);
  CDialogSprite::Destroy(final);
}

bool CWizardDlg::OnInitDialog() {
  if (!CDialogSprite::OnInitDialog()) return false;
  if (!wizardIcons.LoadStrip(UIResources().skins.SkinFilePath(u"wizard.png"), kIconWidth)) return false;
  const DialogControlTemplate* frame = nullptr;
  for (const DialogControlTemplate& entry : templates) {
    if (entry.controlId == kPanelFrameId) frame = &entry;
  }
  if (!frame) return false;
  if (!panel.Create(this, renderWindow, kPanelId, frame->rect, kPanelLayer)) return false;
  if (!BuildPages()) return false;
  AppendChild(&panel);
  showAfterOpen = GetRegDword(RegistryProfile::kAutoWizard, true);
  if (!BindControl(kAfterOpenId, showAfterOpen)) return false;
  return UpdateData(false);
}

bool CWizardDlg::BuildPages() {
  if (!panelPicture.LoadFile(UIResources().theme.basicFolder / "mpanel.png")) return false;
  const std::int32_t u = panel.rect.Width() / 12;
  const std::int32_t v = panel.rect.Height() / 8;
  accordionIds.clear();
  for (const WizardCard& card : kCards) {
    const CardLayout layout = LayoutOf(card.id, u, v);
    CBgraImage picture;
    if (!DrawCard(card, layout.card, picture)) return false;
    if (!panel.AddIconItem(card.id, layout.card, picture, card.tip.empty() ? u"" : Text(card.tip)))
      return false;
    if (!IsDirectTask(card.id)) accordionIds.push_back(card.id);
    for (std::size_t i = 0; i < card.entries.size() && card.entries[i].id != 0; ++i) {
      const WizardEntry& entry = card.entries[i];
      if (!panel.AddItem(entry.id, layout.entries[i], 1, Text(entry.caption), u"",
                         wizardIcons.At(entry.icon)))
        return false;
      accordionIds.push_back(entry.id);
    }
  }
  ShowCategory(0);
  return true;
}

void CWizardDlg::ShowCategory(std::int32_t category) {
  if (const PanelItem* card = panel.FindItem(static_cast<std::uint32_t>(category) * 10);
      card && category > 0) {
    if (CRenderWindow* window = RenderWindowOf(*this)) {
      if (!window->StartFadeEffect(panel.RectToWindow(card->rect), CBgraImage{}))
        UIResources().WriteLog("Wizard fade not started");
    }
  }
  for (std::uint32_t id : accordionIds) {
    const bool isCard = id % 10 == 0;
    const bool inCategory = id / 10 == static_cast<std::uint32_t>(category);
    panel.ShowItem(id, isCard != inCategory);
  }
  panel.dirty = 1;
}

bool CWizardDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kPanelMsgItemClicked) {
    const auto id = static_cast<std::uint32_t>(message.wparam);
    if (id % 10 == 0 && id >= 10 && id <= 60) {
      ShowCategory(static_cast<std::int32_t>(id / 10));
    } else {
      chosenEntry = static_cast<std::int32_t>(id);
      fadeOutOnClose = 0;
      if (UpdateData(true)) EndModal(kIdOk);
    }
  } else if (message.code == kCheckMsgChanged && message.wparam == static_cast<std::uint64_t>(kAfterOpenId)) {
    if (!UpdateData(true) ||
        !SetRegDword(RegistryProfile::kAutoWizard.section, RegistryProfile::kAutoWizard.name, showAfterOpen))
      UIResources().WriteLog("AutoWizard not stored");
  }
  return CDialogSprite::OnSpriteMessage(message);
}

void RegisterWizardCommand() {
  EditCommands().Register(kCmdWizard, [](CSEditPage&, const SpriteMessage&) {
    CWizardDlg wizard;
    wizard.chosenEntry = -1;
    if (!wizard.Create(CWizardDlg::kTemplateId)) return 0;
    if (wizard.RunModal() != kIdOk) return 0;
    return wizard.chosenEntry > 0 ? wizard.chosenEntry : 0;
  });
}
