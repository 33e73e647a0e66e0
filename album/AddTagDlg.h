#pragma once
// CAddTagDlg (template 135): the tags of one photo. The known tags (the
// search page's tag words) at the left can be moved over, a new tag typed
// and added, a tag of the photo removed; OK writes the tags text into the
// photo file and makes the photo's record in the photo-info cache again.
//
// The photo's own words load whole, however many and however long they
// are, so OK on an untouched photo writes its tags text back as it was.
// Tags added in the dialog follow the dialog's entry rule (31 characters or
// more: the first 29 and "..").

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "image/ImageArray.h"
#include "ui/DialogSprite.h"

class CFlatSimpleList;
class CTreeNode;
class PhotoInfoCache;

class CAddTagDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 135;
  static constexpr std::int32_t kDefinedListId = 1013;
  static constexpr std::int32_t kNewTagId = 1014;
  static constexpr std::int32_t kAddDefinedId = 1015;
  static constexpr std::int32_t kAddNewId = 1017;
  static constexpr std::int32_t kPhotoListId = 1018;
  static constexpr std::int32_t kRemoveId = 1020;
  static constexpr std::int32_t kNewTagLength = 30;
  static constexpr std::size_t kEntryLength = 31;  // an entry this long keeps 29 characters and ".."
  static constexpr std::size_t kMaxTagsText = 255;
  static constexpr std::int32_t kArrowSide = 16;

  ~CAddTagDlg() override;
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  void OnCommand(std::int32_t commandId) override;
  [[nodiscard]] bool OnInitDialog() override;
  [[nodiscard]] bool OnOK() override;

  void LoadPhotoTags();
  void LoadDefinedTags();
  void UpdateButtons();
  void FillLists();
  // False for a tag with a blank (after saying so) or one the photo has
  // already, in any case of A to Z.
  [[nodiscard]] bool AddTag(std::u16string_view text);
  void RemoveSelectedTag();

  // The dialog's entry rule for a tag text.
  static std::u16string EntryText(std::u16string_view text);
  // The photo's words: split at blanks, each whole, in order.
  static std::vector<std::u16string> PhotoWords(std::u16string_view tagsText);

  CImageArray arrowIcons;
  std::vector<std::u16string> definedTags;
  std::vector<std::u16string> photoTags;
  CFlatSimpleList* definedList = nullptr;
  CFlatSimpleList* photoList = nullptr;
  std::filesystem::path photoPath;       // set by the caller
  const CTreeNode* tagSource = nullptr;  // set by the caller; not owned; may be null
  PhotoInfoCache* cache = nullptr;       // the cache to refresh; null: the program's
  std::u16string newTag;
};

// Runs the dialog for the photo; the known tags are the children of
// tagSource (may be null).
void EditPhotoTags(const std::filesystem::path& photo, const CTreeNode* tagSource);
