#include "album/SearchNode.h"

#include "album/TagWords.h"
#include "platform/Utf16.h"

void CSearchNode::GetEffectiveCriteria(const CSearchNode* node, SearchCriteria& out) {
  out = SearchCriteria{};
  for (; node != nullptr && node->hasCriteria != 0; node = node->SearchParent()) out.Merge(node->criteria);
}

namespace {

bool HasWord(const TagWordSlots& words, int count, std::u16string_view word) {
  for (int i = 0; i < count; ++i) {
    if (CompareAsciiNoCase(TagWordText(words[i]), word) == 0) return true;
  }
  return false;
}

}  // namespace

bool MatchTagWords(std::u16string_view photoTags, const CSearchNode* node) {
  // Iterative: catalogs nest as deep as the user made them.
  TagWordSlots photoWords;
  int photoCount = -1;
  for (; node != nullptr;) {
    const CSearchNode* parent = node->SearchParent();
    const CSearchNode* next = parent != nullptr && parent->userCatalog != 0 ? parent : nullptr;
    TagWordSlots wanted;
    const int wantedCount = SplitTagWords(node->criteria.TagWords(), wanted);
    if (wantedCount > 0) {
      if (photoCount < 0) photoCount = SplitTagWords(photoTags, photoWords);
      if (photoCount == 0) return false;
      if (node->criteria.tagMatchMode == 0) {
        bool any = false;
        for (int i = 0; i < wantedCount && !any; ++i)
          any = HasWord(photoWords, photoCount, TagWordText(wanted[i]));
        if (!any) return false;
      } else {
        for (int i = 0; i < wantedCount; ++i) {
          if (!HasWord(photoWords, photoCount, TagWordText(wanted[i]))) return false;
        }
      }
    }
    node = next;
  }
  return true;
}
