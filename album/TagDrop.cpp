#include "album/TagDrop.h"

#include <mutex>
#include <string>

#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "album/SearchNode.h"
#include "album/TagWords.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "platform/Utf16.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// The message box's text field: a longer lead text keeps 1021 characters.
constexpr std::size_t kLeadField = 1024;

void ShowError(std::u16string_view text) {
  (void)ShowMessageBox(text, MessageBoxIcon::Error, MessageBoxButtons::Ok);  // an OK box answers OK
}

}  // namespace

void AddTagToPhotoFiles(const CSearchNode* node, std::span<const std::filesystem::path> files,
                        PhotoInfoCache& cache) {
  if (node == nullptr || node->tagNode == 0) return;
  TagWordSlots words;
  if (SplitTagWords(node->criteria.TagWords(), words) != 1) {
    ShowError(TextOf(u"AddTagFailed"));
    return;
  }
  const std::u16string_view word = TagWordText(words[0]);
  bool skipped = false;
  for (const std::filesystem::path& file : files) {
    if (GetImageType(file) != ImageFileType::Jpeg) {
      skipped = true;
      continue;
    }
    ImageInfo info;
    if (info.AddTag(file, word) == 0) {
      ShowError(TruncatedText(TextOf(u"AddTagFailed"), kLeadField) + PathToUtf16(file));
      break;
    }
    PhotoInfoEntry entry;
    if (!PhotoScanThread().BuildPhotoInfo(file, entry)) continue;
    // Appending the new record takes the valid bit from the old one; when
    // the block cannot grow the old record stays, tags and all out of date.
    std::lock_guard guard(cache.lock);
    (void)cache.Append(entry);
  }
  if (skipped) ShowError(TextOf(u"Cannotaddtag"));
  std::lock_guard guard(cache.lock);
  (void)cache.Compact();  // a lost marker leaves the invalid records in place; the walks skip them
}
