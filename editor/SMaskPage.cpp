#include "editor/SMaskPage.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "document/BFDoc.h"
#include "editor/SavedMask.h"
#include "ui/DialogSprite.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/UITheme.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

std::u16string_view Text(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

struct StripItem {
  std::uint32_t id;
  Rect rect;
  std::u16string_view tipKey;
  std::size_t cell;
};
constexpr StripItem kItems[] = {
    {CSMaskPage::kItemLoad, {0, 0, 30, 30}, u"mask2sel", 6},
    {CSMaskPage::kItemStore, {0, 30, 30, 60}, u"sel2mask", 7},
    {CSMaskPage::kItemDelete, {0, 60, 30, 90}, u"del sel", 1},
    {CSMaskPage::kItemMore, {0, 128, 30, 168}, u"more...", 5},
};

}  // namespace

void CSMaskPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CSTabPage::SetSpriteRect(x, y, w, h);
  list.SetSpriteRect(kStripWidth, 0, std::max(w - kStripWidth, 1), std::max(h, 1));
  strip.SetSpriteRect(0, 0, kStripWidth, std::max(h, 1));
}

bool CSMaskPage::OnSpriteCreate() {
  const std::int32_t w = std::max(rect.Width(), kStripWidth + 1);
  const std::int32_t h = std::max(rect.Height(), 1);
  if (!list.Create(this, renderWindow, kListId, {kStripWidth, 0, w, h}, 2)) return false;
  list.rowHeight = CSMaskList::kRowHeight;
  AppendChild(&list);
  if (!icons.LoadStrip(UIResources().skins.SkinFilePath(u"layertool.png"), kIconWidth)) return false;
  if (!strip.Create(this, renderWindow, kStripId, {0, 0, kStripWidth, h}, 2)) return false;
  strip.drawBackground = 0;
  strip.backgroundGrey = GreyOf(UIResources().theme.colors[5]);
  for (const StripItem& item : kItems) {
    if (!strip.AddItem(item.id, item.rect, 1, {}, Text(item.tipKey), icons.At(item.cell))) return false;
  }
  AppendChild(&strip);
  UpdateStrip();
  return true;
}

bool CSMaskPage::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kTreeMsgSelectionChanged && message.sender == &list) {
    UpdateStrip();
  } else if (message.code == kPanelMsgItemClicked && message.sender == &strip) {
    switch (message.wparam) {
      case kItemDelete:
        DeleteMask(list.selectedRow);
        break;
      case kItemLoad:
        (void)LoadMaskAsSelection(list.selectedRow);  // a refusal is told to the user
        break;
      case kItemStore:
        (void)StoreSelectionAsNamedMask();  // cancelled or nothing selected: nothing to do
        break;
      default:
        break;
    }
  } else if (message.code == kTreeMsgDoubleClicked && message.sender == &list) {
    (void)LoadMaskAsSelection(static_cast<std::int32_t>(message.wparam));  // a refusal is told to the user
  }
  return CSTabPage::OnSpriteMessage(message);
}

bool CSMaskPage::RefreshMasks() {
  if (!document) return false;
  list.DeleteAllItems();
  for (const auto& mask : document->m_masks) {
    if (!BuildMaskThumbnail(*mask, document->m_width, document->m_height, mask->thumbnail)) continue;
    if (!list.AddMask(mask->Name(), mask->thumbnail)) UIResources().WriteLog("Mask row not made");
  }
  return true;
}

void CSMaskPage::UpdateStrip() {
  if (!document) return;
  const bool rowSelected = list.selectedRow >= 0;
  strip.EnableItem(kItemLoad, rowSelected);
  strip.EnableItem(kItemDelete, rowSelected);
  strip.EnableItem(kItemStore, !document->m_selection.IsEmpty());
}

bool CSMaskPage::StoreSelectionAsMask(std::u16string_view name) {
  if (!document) return false;
  const bool stored = document->StoreSelectionAsMask(name) != 0;
  return RefreshMasks() && stored;
}

std::u16string CSMaskPage::ProposedName() const {
  std::int64_t largest = 0;
  if (document) {
    for (const auto& mask : document->m_masks)
      largest = std::max<std::int64_t>(largest, LeadingInteger(mask->Name()));
  }
  const std::int64_t next = std::min<std::int64_t>(largest + 1, std::numeric_limits<std::int32_t>::max());
  return FormatText(u"%02d", {next});
}

bool CSMaskPage::StoreSelectionAsNamedMask() {
  if (!document) return false;
  std::u16string name = ProposedName();
  if (!InputString(name, kNameLength, {}, Text(u"InputChannelName"))) return false;
  MaskRecord probe;
  probe.SetName(name);
  const bool exists = std::any_of(document->m_masks.begin(), document->m_masks.end(),
                                  [&](const auto& mask) { return mask->Name() == probe.Name(); });
  if (exists &&
      ShowMessageBox(Text(u"Areaexist"), MessageBoxIcon::Question, MessageBoxButtons::YesNo) != kIdYes)
    return false;
  return StoreSelectionAsMask(name);
}

bool CSMaskPage::LoadMaskAsSelection(std::int32_t index) {
  if (!document || index < 0 || index >= static_cast<std::int32_t>(document->m_masks.size())) return false;
  // What is loaded is fixed now: storing the outgoing selection below may
  // rewrite or remove this very record.
  const MaskRecord* record = document->m_masks[static_cast<std::size_t>(index)].get();
  CPlane8 plane;
  if (!record->plane.IsEmpty() && !plane.CopyFrom(record->plane)) return false;
  const std::int32_t x = record->x;
  const std::int32_t y = record->y;
  const std::uint32_t width = record->documentWidth;
  const std::uint32_t height = record->documentHeight;

  bool rewritten = false;
  if (!document->m_selection.IsEmpty()) {
    const std::u16string_view lastArea = Text(u"Lastarea");
    (void)StoreSelectionAsMask(lastArea);  // an all-zero selection keeps nothing, as intended
    MaskRecord probe;
    probe.SetName(lastArea);
    rewritten = std::any_of(document->m_masks.begin(), document->m_masks.end(), [&](const auto& mask) {
      return mask.get() == record && mask->Name() == probe.Name();
    });
    std::lock_guard guard(document->m_lock);
    document->m_selection.Free();
    document->m_modified = 1;
  }
  if (width != document->m_width || height != document->m_height) {
    (void)ShowMessageBox(Text(u"failedmaskbycavaschanged"), MessageBoxIcon::Error,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    // The record is found again by identity: the store above may have moved
    // or removed it, or (loading "Lastarea") filled it with what must stay.
    if (!rewritten) {
      const auto it = std::find_if(document->m_masks.begin(), document->m_masks.end(),
                                   [&](const auto& mask) { return mask.get() == record; });
      if (it != document->m_masks.end())
        DeleteMask(static_cast<std::int32_t>(it - document->m_masks.begin()));
    }
    return false;
  }
  CPlane8 selection;
  if (!selection.Create(document->m_width, document->m_height)) return false;
  LoadSavedMask(selection, plane, x, y);
  {
    std::lock_guard guard(document->m_lock);
    document->m_selection = std::move(selection);
  }
  document->m_modified = 1;
  return true;
}

void CSMaskPage::DeleteMask(std::int32_t index) {
  if (!document || index < 0 || index >= static_cast<std::int32_t>(document->m_masks.size())) return;
  {
    std::lock_guard guard(document->m_lock);
    document->m_masks.erase(document->m_masks.begin() + index);
  }
  (void)RefreshMasks();  // only fails without a document
  UpdateStrip();
}
