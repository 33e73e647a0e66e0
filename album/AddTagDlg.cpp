#include "album/AddTagDlg.h"

#include <mutex>

#include "album/PhotoInfoCache.h"
#include "album/PhotoInfoEntry.h"
#include "album/PhotoScanThread.h"
#include "image/ImageInfo.h"
#include "platform/Utf16.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/FlatSimpleList.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/TreeNode.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

void ShowError(std::u16string_view key) {
  (void)ShowMessageBox(TextOf(key), MessageBoxIcon::Error, MessageBoxButtons::Ok);  // an OK box answers OK
}

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

void SetButton(CDialogControl* control, bool enabled) {
  if (!control) return;
  control->acceptsInput = enabled ? 1 : 0;
  control->alpha = enabled ? 255 : 100;
  control->dirty = 1;
}

}  // namespace

std::u16string CAddTagDlg::EntryText(std::u16string_view text) {
  if (text.size() < kEntryLength) return std::u16string(text);
  return std::u16string(text.substr(0, kEntryLength - 2)) + u"..";
}

std::vector<std::u16string> CAddTagDlg::PhotoWords(std::u16string_view tagsText) {
  std::vector<std::u16string> words;
  std::size_t i = 0;
  while (i < tagsText.size()) {
    while (i < tagsText.size() && tagsText[i] == u' ') ++i;
    const std::size_t start = i;
    while (i < tagsText.size() && tagsText[i] != u' ') ++i;
    if (i > start) words.emplace_back(tagsText.substr(start, i - start));
  }
  return words;
}

CAddTagDlg::~CAddTagDlg() = default;

void CAddTagDlg::Destroy(int final) {
  CDialogSprite::Destroy(final);
  definedList = nullptr;
  photoList = nullptr;
  arrowIcons.Clear();
}

bool CAddTagDlg::OnInitDialog() {
  if (!CDialogSprite::OnInitDialog()) return false;
  arrowIcons.Clear();
  if (arrowIcons.LoadStrip(UIResources().skins.SkinFilePath(u"arrow.png"), kArrowSide) == 0 ||
      arrowIcons.Count() < 3)
    return false;
  const auto icon = [&](std::int32_t id, std::size_t piece) {
    auto* button = dynamic_cast<CSButton*>(FindControl(id));
    if (!button) return false;
    std::lock_guard guard(button->lock);
    return button->iconImage.CopyFrom(*arrowIcons.At(piece)) != 0;
  };
  if (!icon(kAddDefinedId, 2) || !icon(kAddNewId, 1)) return false;
  if (auto* remove = dynamic_cast<CSButton*>(FindControl(kRemoveId));
      !remove || !remove->SetIcon(u"close.png"))
    return false;
  if (auto* field = dynamic_cast<CEditSprite*>(FindControl(kNewTagId))) field->maxLength = kNewTagLength;
  if (!BindControl(kNewTagId, newTag)) return false;
  definedList = dynamic_cast<CFlatSimpleList*>(FindControl(kDefinedListId));
  photoList = dynamic_cast<CFlatSimpleList*>(FindControl(kPhotoListId));
  if (!definedList || !photoList) return false;
  LoadPhotoTags();
  LoadDefinedTags();
  UpdateButtons();
  FillLists();
  return true;
}

void CAddTagDlg::LoadPhotoTags() {
  photoTags.clear();
  ImageInfo info;
  if (!info.ReadFromFile(photoPath) || !info.tagsText) return;
  photoTags = PhotoWords(*info.tagsText);
}

void CAddTagDlg::LoadDefinedTags() {
  definedTags.clear();
  if (!tagSource) return;
  for (const auto& child : tagSource->children) {
    if (!child->text.empty()) definedTags.push_back(EntryText(child->text));
  }
}

void CAddTagDlg::UpdateButtons() {
  const auto hasSelection = [](CFlatSimpleList* list) {
    if (!list) return false;
    std::lock_guard guard(list->lock);
    return list->selectedRow >= 0;
  };
  SetButton(FindControl(kAddDefinedId), hasSelection(definedList));
  const auto* field = dynamic_cast<CEditSprite*>(FindControl(kNewTagId));
  SetButton(FindControl(kAddNewId), field && !field->GetText().empty());
  SetButton(FindControl(kRemoveId), hasSelection(photoList));
}

void CAddTagDlg::FillLists() {
  const auto fill = [](CFlatSimpleList* list, const std::vector<std::u16string>& entries) {
    if (!list) return;
    list->DeleteAllItems();
    for (const std::u16string& entry : entries) {
      if (list->AddItem(entry, nullptr) < 0) break;
    }
    list->dirty = 1;
  };
  fill(definedList, definedTags);
  fill(photoList, photoTags);
  UpdateButtons();
}

bool CAddTagDlg::AddTag(std::u16string_view text) {
  if (text.find(u' ') != std::u16string_view::npos) {
    ShowError(u"Tagnoblank");
    return false;
  }
  for (const std::u16string& tag : photoTags) {
    if (EqualIgnoringAsciiCase(tag, text)) return false;
  }
  photoTags.push_back(EntryText(text));
  FillLists();
  return true;
}

void CAddTagDlg::RemoveSelectedTag() {
  std::int32_t row = -1;
  if (photoList) {
    std::lock_guard guard(photoList->lock);
    row = photoList->selectedRow;
  }
  if (row >= 0 && row < static_cast<std::int32_t>(photoTags.size())) photoTags.erase(photoTags.begin() + row);
  FillLists();
}

bool CAddTagDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kTreeMsgSelectionChanged || message.code == kEditMsgTextChanged) UpdateButtons();
  return CDialogSprite::OnSpriteMessage(message);
}

void CAddTagDlg::OnCommand(std::int32_t commandId) {
  switch (commandId) {
    case kAddDefinedId: {
      std::u16string text;
      if (definedList) {
        std::lock_guard guard(definedList->lock);
        if (const CTreeNode* node = definedList->GetSelectedNode()) text = node->text;
      }
      if (!text.empty()) (void)AddTag(text);  // a tag the photo has already is simply not added
      break;
    }
    case kAddNewId:
      if (UpdateData(true) && !newTag.empty() && AddTag(newTag)) {
        newTag.clear();
        (void)UpdateData(false);  // empties the field; a text binding cannot be refused
        UpdateButtons();
      }
      break;
    case kRemoveId:
      RemoveSelectedTag();
      break;
    default:
      break;
  }
  CDialogSprite::OnCommand(commandId);
}

bool CAddTagDlg::OnOK() {
  std::u16string joined;
  for (const std::u16string& tag : photoTags) {
    if (!joined.empty()) joined += u' ';
    joined += tag;
  }
  if (joined.size() > kMaxTagsText) {
    ShowError(u"TagTooLong");
    return false;
  }
  ImageInfo info;
  if (!info.ReadFromFile(photoPath)) {
    ShowError(u"AddTagFailed");
    return false;
  }
  info.tagsText = joined;
  if (!RewriteImageMetadata(photoPath, info)) {
    ShowError(u"AddTagFailed");
    return false;
  }
  PhotoInfoCache& target = cache ? *cache : GlobalPhotoInfoCache();
  PhotoInfoEntry entry;
  if (PhotoScanThread().BuildPhotoInfo(photoPath, entry)) {
    // Appending takes the valid bit from the old record; when the block
    // cannot grow the old record stays valid, out of date.
    std::lock_guard guard(target.lock);
    (void)target.Append(entry);
  }
  if (!UpdateData(true)) return false;
  EndModal(kIdOk);
  return true;
}

void EditPhotoTags(const std::filesystem::path& photo, const CTreeNode* tagSource) {
  CAddTagDlg dialog;
  dialog.photoPath = photo;
  dialog.tagSource = tagSource;
  if (!dialog.Create(CAddTagDlg::kTemplateId)) return;
  (void)dialog.RunModal();  // OK has written the file itself; the end code adds nothing
}
