#include "album/SearchTreeBuilder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "album/PhotoInfoCache.h"
#include "album/PlaceNameList.h"
#include "album/SearchNode.h"
#include "album/TagWords.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

constexpr std::array<std::u16string_view, 12> kMonthKeys = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                            u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr double kCoarseDegrees = 0.1;
constexpr double kFineDegrees = 0.02;
constexpr std::int32_t kCoarseTolerance = 1000;
constexpr std::int32_t kFineTolerance = 200;
constexpr std::int32_t kRawType = 8;

// Walks the valid records under the cache's lock.
void Walk(PhotoInfoCache& cache, const std::function<bool(const PhotoInfoRecord&, std::uint32_t)>& visit) {
  std::lock_guard guard(cache.lock);
  cache.ForEachRecord(visit);
}

CSearchNode* AppendNode(CTreeNode& parent, std::u16string caption, const CBgraImage* icon) {
  auto node = std::make_unique<CSearchNode>();
  node->text = std::move(caption);
  node->icon = icon;
  node->hasCriteria = 1;
  return static_cast<CSearchNode*>(parent.AppendChild(std::move(node)));
}

// Degrees x 10000 truncated toward zero, as the latitude and longitude slots
// test them; 0 for values no position has.
std::int32_t ScaledPosition(double degrees) {
  if (!(degrees > -1000 && degrees < 1000)) return 0;
  return static_cast<std::int32_t>(degrees * 10000);
}

void SortChildren(CTreeNode& node, bool (*less)(const CTreeNode*, const CTreeNode*)) {
  std::stable_sort(node.children.begin(), node.children.end(),
                   [less](const std::unique_ptr<CTreeNode>& a, const std::unique_ptr<CTreeNode>& b) {
                     return less(a.get(), b.get());
                   });
}

struct Position {
  double latitude;
  double longitude;
};

void AddDistinct(std::vector<Position>& list, Position p, double within) {
  for (const Position& q : list) {
    if (std::fabs(q.latitude - p.latitude) < within && std::fabs(q.longitude - p.longitude) < within) return;
  }
  list.push_back(p);
}

CSearchNode* AppendPlace(CTreeNode& parent, Position p, bool fine, const PlaceNameList& names,
                         const SearchNodeIcons& icons) {
  CSearchNode* node = AppendNode(parent, {}, icons.place);
  const std::int32_t tolerance = fine ? kFineTolerance : kCoarseTolerance;
  node->criteria.slots[kSlotLatitude] =
      SearchCondition::Make(ConditionKind::Near, ScaledPosition(p.latitude), tolerance);
  node->criteria.slots[kSlotLongitude] =
      SearchCondition::Make(ConditionKind::Near, ScaledPosition(p.longitude), tolerance);
  const std::int32_t named = names.Find(*node);
  node->text = named >= 0 ? std::u16string(names.records[static_cast<std::size_t>(named)].Name())
                          : PlaceCaption(p.latitude, p.longitude, fine);
  return node;
}

}  // namespace

std::u16string PlaceCaption(double latitude, double longitude, bool fine) {
  const char16_t northSouth = latitude > 0 ? u'N' : u'S';
  const char16_t westEast = longitude > 0 ? u'W' : u'E';
  return FormatText(
      fine ? u"%.2f%c,%.2f%c" : u"%.1f%c,%.1f%c",
      {std::fabs(latitude), std::int32_t{northSouth}, std::fabs(longitude), std::int32_t{westEast}});
}

void BuildDateNodes(PhotoInfoCache& cache, CSearchNode& dateRoot, const SearchNodeIcons& icons) {
  dateRoot.DeleteChildren();
  std::vector<std::uint32_t> years;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> months;
  Walk(cache, [&](const PhotoInfoRecord& record, std::uint32_t) {
    const std::uint32_t year = record.Year();
    if (year == 0) return true;
    if (std::find(years.begin(), years.end(), year) == years.end()) years.push_back(year);
    const std::pair<std::uint32_t, std::uint32_t> month{year, record.Month()};
    if (std::find(months.begin(), months.end(), month) == months.end()) months.push_back(month);
    return true;
  });
  for (const std::uint32_t year : years) {
    const auto y = static_cast<std::int32_t>(year);
    CSearchNode* yearNode = AppendNode(dateRoot, FormatText(u"%d", {y}), icons.year);
    yearNode->criteria.slots[kSlotDate] =
        SearchCondition::Make(ConditionKind::DateRange, y * 10000, y * 10000 + 9999);
    for (const auto& [monthYear, month] : months) {
      if (monthYear != year || month < 1 || month > 12) continue;
      const std::int32_t first = (y * 100 + static_cast<std::int32_t>(month)) * 100;
      CSearchNode* monthNode = AppendNode(*yearNode, TextOf(kMonthKeys[month - 1]), nullptr);
      monthNode->sortKey = month;
      monthNode->criteria.slots[kSlotDate] =
          SearchCondition::Make(ConditionKind::DateRange, first, first + 32);
    }
    SortChildren(*yearNode, CompareTreeNodesByKey);
  }
  SortChildren(dateRoot, CompareTreeNodesByText);
}

void BuildPlaceNodes(PhotoInfoCache& cache, CSearchNode& placeRoot, const PlaceNameList& names,
                     const SearchNodeIcons& icons) {
  placeRoot.DeleteChildren();
  std::vector<Position> coarse;
  std::vector<Position> fine;
  Walk(cache, [&](const PhotoInfoRecord& record, std::uint32_t) {
    if (record.latitude == 0) return true;
    const Position p{record.latitude, record.longitude};
    AddDistinct(coarse, p, kCoarseDegrees);
    AddDistinct(fine, p, kFineDegrees);
    return true;
  });
  for (const Position& c : coarse) {
    CSearchNode* node = AppendPlace(placeRoot, c, false, names, icons);
    const SearchCondition& latitude = node->criteria.slots[kSlotLatitude];
    const SearchCondition& longitude = node->criteria.slots[kSlotLongitude];
    for (const Position& f : fine) {
      if (latitude.Test(ScaledPosition(f.latitude), nullptr) &&
          longitude.Test(ScaledPosition(f.longitude), nullptr))
        AppendPlace(*node, f, true, names, icons);
    }
  }
}

void BuildTagNodes(PhotoInfoCache& cache, CSearchNode& tagRoot, const SearchNodeIcons& icons) {
  tagRoot.DeleteChildren();
  std::vector<std::u16string> words;
  Walk(cache, [&](const PhotoInfoRecord& record, std::uint32_t) {
    if (record.tagsBytes == 0) return true;
    TagWordSlots slots;
    const int count = SplitTagWords(record.Tags(), slots);
    for (int i = 0; i < count; ++i) {
      const std::u16string_view word = TagWordText(slots[static_cast<std::size_t>(i)]);
      const bool known = std::any_of(words.begin(), words.end(), [&](const std::u16string& w) {
        return CompareAsciiNoCase(w, word) == 0;
      });
      if (!known) words.emplace_back(word);
    }
    return true;
  });
  for (const std::u16string& word : words) {
    CSearchNode* node = AppendNode(tagRoot, word, icons.tag);
    node->tagNode = 1;
    node->criteria.SetTagWords(word);
    node->criteria.tagMatchMode = 1;
  }
}

void BuildNoExifNodes(PhotoInfoCache& cache, CSearchNode& root, CSearchNode*& noExifRoot,
                      const SearchNodeIcons& icons) {
  if (noExifRoot == nullptr) {
    auto node = std::make_unique<CSearchNode>();
    node->text = TextOf(u"noexif");
    node->icon = icons.noExif;
    noExifRoot = static_cast<CSearchNode*>(root.AppendChild(std::move(node)));
  } else {
    noExifRoot->DeleteChildren();
  }
  std::vector<std::uint8_t> types;
  Walk(cache, [&](const PhotoInfoRecord& record, std::uint32_t) {
    if (std::find(types.begin(), types.end(), record.imageType) == types.end())
      types.push_back(record.imageType);
    return true;
  });
  bool other = false;
  for (const std::uint8_t type : types) {
    const auto noCameraData = SearchCondition::Make(ConditionKind::Equal, 0, 0);
    if (type == static_cast<std::uint8_t>(ImageFileType::Jpeg) || type == kRawType) {
      CSearchNode* node =
          AppendNode(*noExifRoot, TextOf(type == kRawType ? u"RAWFile" : u"JPGFile"), nullptr);
      node->criteria.slots[kSlotImageType] = SearchCondition::Make(ConditionKind::Equal, type, 0);
      node->criteria.slots[kSlotCameraData] = noCameraData;
    } else if (!other) {
      other = true;
      CSearchNode* node = AppendNode(*noExifRoot, TextOf(u"OtherType"), nullptr);
      node->criteria.slots[kSlotImageType] = SearchCondition::Make(ConditionKind::Range, 2, kRawType);
    }
  }
}

std::int32_t SearchPhotos(PhotoInfoCache& cache, CSearchNode& node,
                          const std::function<void(const PhotoInfoRecord& record)>& add,
                          const std::function<void(std::int32_t percent)>& progress) {
  SearchCriteria criteria;
  CSearchNode::GetEffectiveCriteria(&node, criteria);
  node.matchCount = 0;
  std::lock_guard guard(cache.lock);
  const std::uint64_t used = std::max<std::uint32_t>(cache.UsedBytes(), 1);
  cache.ForEachRecord([&](const PhotoInfoRecord& record, std::uint32_t next) {
    const std::u16string_view path = record.Path();
    const auto type = static_cast<std::int32_t>(GetImageType(PathFromUtf16(path)));
    if (MatchPhotoRecord(record, PhotoTitle(path), type, criteria) && MatchTagWords(record.Tags(), &node)) {
      ++node.matchCount;
      add(record);
    }
    if (progress) progress(static_cast<std::int32_t>(std::uint64_t{next} * 100 / used));
    return node.matchCount < kMaxSearchMatches;
  });
  return node.matchCount;
}
