#include "album/AddCatalogDlg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "platform/Utf16.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/ParseFraction.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// Row ids.
enum CatalogRow : std::int32_t {
  kRowTitle = 1,
  kRowFileType = 2,
  kRowFileLength = 3,
  kRowLengthFrom = 4,
  kRowLengthTo = 5,
  kRowShape = 6,
  kRowShapeFrom = 71,
  kRowShapeTo = 72,
  kRowTimeRange = 10,
  kRowTimeFrom = 11,
  kRowTimeTo = 12,
  kRowTagWords = 25,
  kRowTagMode = 26,
  kRowHaveExif = 9,
  kRowMaker = 13,
  kRowModel = 14,
  kRowFlash = 15,
  kRowIso = 16,
  kRowIsoFrom = 17,
  kRowIsoTo = 18,
  kRowFNumber = 19,
  kRowFNumberFrom = 20,
  kRowFNumberTo = 21,
  kRowShutter = 22,
  kRowShutterFrom = 23,
  kRowShutterTo = 24,
};

constexpr std::int32_t kGroupBasic = 1001;
constexpr std::int32_t kGroupExif = 1002;
constexpr std::int32_t kGroupTagTime = 1003;
// "FileTypeEnum" value for the types other than JPEG and RAW.
constexpr std::int32_t kOtherTypes = 100;
constexpr std::int32_t kIsoUnit = 50;
constexpr std::int32_t kTitleRowLength = 62;
constexpr std::int32_t kKeywordRowLength = 31;
constexpr std::size_t kDateFieldLength = 100;
constexpr std::size_t kMessageField = 256;

bool IsDateSeparator(char16_t c) {
  return c == u' ' || c == u'-' || c == u'/' || c == u':' || c == u'\\' || c == u'_';
}

std::u16string DateText(std::int32_t date) {
  if (date == 0) return TextOf(u"Unknown");
  return FormatText(u"%d-%02d-%02d", {date / 10000, date / 100 % 100, date % 100});
}

bool SlotSet(const SearchCriteria& criteria, std::size_t slot) { return criteria.slots[slot].kind != 0; }

CPropItem* AddGroup(CTreeNode& root, std::int32_t id, std::u16string_view key, bool expanded) {
  auto group = std::make_unique<CPropItem>();
  group->propertyId = id;
  group->text = TextOf(key);
  group->expanded = expanded ? 1 : 0;
  return static_cast<CPropItem*>(root.AppendChild(std::move(group)));
}

void AddEnum(CTreeNode& group, std::int32_t id, std::u16string_view label, std::u16string_view options,
             std::int32_t value) {
  (void)CSPropertyList::AddEnumProperty(id, TextOf(label), TextOf(options), value, group, true);
}

// 0 shows as "Unknown".
void AddInt(CTreeNode& group, std::int32_t id, std::u16string_view label, std::int32_t value) {
  (void)CSPropertyList::AddIntProperty(id, value, TextOf(label), group, 0, true);
}

void AddText(CTreeNode& group, std::int32_t id, std::u16string_view label, std::u16string_view text,
             std::int32_t maxLength, EditFilter filter) {
  CPropItem* item = CSPropertyList::AddTextProperty(id, text, TextOf(label), group, true);
  // A text row keeps its edit field's length and filter in these two.
  item->minimum = maxLength;
  item->maximum = static_cast<std::int32_t>(filter);
}

void AddFraction(CTreeNode& group, std::int32_t id, std::u16string_view label, const SearchCondition& slot,
                 bool high, std::int32_t scale) {
  // An empty slot shows no value: the denominator 0.
  const std::int32_t numerator = high ? slot.high : slot.low;
  const std::uint32_t denominator = slot.kind != 0 ? static_cast<std::uint32_t>(scale) : 0;
  (void)CSPropertyList::AddRationalProperty(
      id, static_cast<std::uint32_t>(numerator) | (std::uint64_t{denominator} << 32), TextOf(label), group,
      true);
}

const CPropItem* Row(const CTreeNode& root, std::int32_t id) { return FindCatalogRow(root, id); }

std::int32_t Choice(const CTreeNode& root, std::int32_t id) {
  const CPropItem* item = Row(root, id);
  return item ? item->enumValue : 0;
}

std::u16string_view RowText(const CTreeNode& root, std::int32_t id) {
  const CPropItem* item = Row(root, id);
  return item && item->valueKnown ? std::u16string_view(item->valueText) : std::u16string_view();
}

// A row's integer; false beyond 32 bits.
bool RowInteger(const CTreeNode& root, std::int32_t id, std::int32_t& value) {
  const std::int64_t wide = LeadingInteger64(RowText(root, id));
  if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(wide);
  return true;
}

// A row's fraction times scale, truncated; false without a fraction or
// beyond 32 bits.
bool RowScaledFraction(const CTreeNode& root, std::int32_t id, double scale, double& fraction,
                       std::int32_t& scaled) {
  const std::u16string_view text = RowText(root, id);
  if (text.empty() || !ParseFraction(text, fraction)) return false;
  const double value = std::trunc(fraction * scale);
  if (!(value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max()))
    return false;
  scaled = static_cast<std::int32_t>(value);
  return true;
}

SearchCondition WordsCondition(std::u16string_view text) {
  SearchCondition condition = SearchCondition::Make(ConditionKind::Words, 0, 0);
  condition.SetText(text);
  return condition;
}

}  // namespace

std::int32_t ParseCatalogDate(std::u16string_view text) {
  std::array<std::int64_t, 3> fields{};
  std::size_t count = 0;
  std::size_t i = 0;
  while (count < fields.size()) {
    while (i < text.size() && IsDateSeparator(text[i])) ++i;
    if (i == text.size()) break;
    const std::size_t start = i;
    while (i < text.size() && !IsDateSeparator(text[i])) ++i;
    if (i - start >= kDateFieldLength) return 0;
    // Digits from the field's start; a field without them reads 0.
    std::int64_t value = 0;
    for (std::size_t k = start; k < i && text[k] >= u'0' && text[k] <= u'9' && value < 100000; ++k)
      value = value * 10 + (text[k] - u'0');
    fields[count++] = value;
  }
  const std::int64_t year = fields[0];
  const std::int64_t month = fields[1];
  const std::int64_t day = fields[2];
  if (year < 1980 || year > 2100 || month < 1 || month > 12 || day > 31) return 0;
  return static_cast<std::int32_t>((year * 100 + month) * 100 + day);
}

CPropItem* FindCatalogRow(const CTreeNode& root, std::int32_t id) {
  for (const auto& group : root.children) {
    for (const auto& child : group->children) {
      auto* item = static_cast<CPropItem*>(child.get());
      if (item->propertyId == id) return item;
    }
  }
  return nullptr;
}

void BuildCatalogRows(const SearchCriteria& c, CTreeNode& root) {
  CPropItem* basic = AddGroup(root, kGroupBasic, u"Basic Information", true);
  AddText(*basic, kRowTitle, u"SubStringFileName", c.slots[kSlotTitle].Text(), kTitleRowLength,
          EditFilter::Ascii);
  const SearchCondition& type = c.slots[kSlotImageType];
  AddEnum(*basic, kRowFileType, u"FileType", u"FileTypeEnum",
          type.kind == 1 ? type.low : (type.kind == 2 ? kOtherTypes : 0));
  const SearchCondition& length = c.slots[kSlotFileSize];
  AddEnum(*basic, kRowFileLength, u"Filelength", u"SetRange", static_cast<std::int32_t>(length.kind));
  AddInt(*basic, kRowLengthFrom, u"From", length.low);
  AddInt(*basic, kRowLengthTo, u"To", length.high);
  std::int32_t shape = 0;
  if (SlotSet(c, kSlotLandscape))
    shape = c.slots[kSlotLandscape].low + 4;
  else if (SlotSet(c, kSlotLongerSide))
    shape = 3;
  else if (SlotSet(c, kSlotHeight))
    shape = 2;
  else if (SlotSet(c, kSlotWidth))
    shape = 1;
  AddEnum(*basic, kRowShape, u"FileShape", u"FileShapeEnum", shape);
  const SearchCondition& measure = c.slots[shape >= 1 && shape <= 3 ? kSlotWidth + shape - 1 : kSlotWidth];
  AddInt(*basic, kRowShapeFrom, u"From", measure.low);
  AddInt(*basic, kRowShapeTo, u"To", measure.high);

  CPropItem* tagTime = AddGroup(root, kGroupTagTime, u"TagTime", true);
  const SearchCondition& date = c.slots[kSlotDate];
  AddEnum(*tagTime, kRowTimeRange, u"TimeRange", u"SetRange", date.kind != 0 ? 1 : 0);
  AddText(*tagTime, kRowTimeFrom, u"FromTime", DateText(date.low), kKeywordRowLength, EditFilter::Ascii);
  AddText(*tagTime, kRowTimeTo, u"ToTime", DateText(date.high), kKeywordRowLength, EditFilter::Ascii);
  AddText(*tagTime, kRowTagWords, u"TagKeyword", c.TagWords(), kKeywordRowLength, EditFilter::Any);
  AddEnum(*tagTime, kRowTagMode, u"TagANDOR", u"ORAND", c.tagMatchMode);

  CPropItem* exif = AddGroup(root, kGroupExif, u"Exif", false);
  const auto yesNo = [&](std::size_t slot) { return SlotSet(c, slot) ? c.slots[slot].low + 1 : 0; };
  AddEnum(*exif, kRowHaveExif, u"HaveExif", u"AllYesNo", yesNo(kSlotCameraData));
  AddText(*exif, kRowMaker, u"MakerKeyword", c.slots[kSlotMaker].Text(), kKeywordRowLength,
          EditFilter::Ascii);
  AddText(*exif, kRowModel, u"ModelKeyword", c.slots[kSlotModel].Text(), kKeywordRowLength,
          EditFilter::Ascii);
  AddEnum(*exif, kRowFlash, u"exifFlash", u"AllYesNo", yesNo(kSlotFlash));
  const SearchCondition& iso = c.slots[kSlotIso];
  AddEnum(*exif, kRowIso, u"exifISO", u"SetRange", iso.kind != 0 ? 1 : 0);
  AddInt(*exif, kRowIsoFrom, u"From", iso.low * kIsoUnit);
  AddInt(*exif, kRowIsoTo, u"To", iso.high * kIsoUnit);
  const SearchCondition& fNumber = c.slots[kSlotFNumber];
  AddEnum(*exif, kRowFNumber, u"exifFnumber", u"SetRange", fNumber.kind != 0 ? 1 : 0);
  AddFraction(*exif, kRowFNumberFrom, u"From", fNumber, false, 10);
  AddFraction(*exif, kRowFNumberTo, u"To", fNumber, true, 10);
  const SearchCondition& shutter = c.slots[kSlotExposure];
  AddEnum(*exif, kRowShutter, u"exifShutter", u"SetRange", shutter.kind != 0 ? 1 : 0);
  AddFraction(*exif, kRowShutterFrom, u"From", shutter, false, 10000);
  AddFraction(*exif, kRowShutterTo, u"To", shutter, true, 10000);
  UpdateCatalogRowStates(root);
}

void UpdateCatalogRowStates(CTreeNode& root) {
  const auto set = [&](std::int32_t id, bool editable) {
    if (CPropItem* item = FindCatalogRow(root, id)) {
      item->editable = editable ? 1 : 0;
      item->enabled = editable ? 1 : 0;
    }
  };
  for (const std::int32_t id : {kRowTitle, kRowFileType, kRowFileLength, kRowShape, kRowHaveExif,
                                kRowTimeRange, kRowTagWords, kRowTagMode})
    set(id, true);
  const bool length = Choice(root, kRowFileLength) != 0;
  set(kRowLengthFrom, length);
  set(kRowLengthTo, length);
  const std::int32_t shape = Choice(root, kRowShape);
  set(kRowShapeFrom, shape >= 1 && shape <= 3);
  set(kRowShapeTo, shape >= 1 && shape <= 3);
  const bool time = Choice(root, kRowTimeRange) != 0;
  set(kRowTimeFrom, time);
  set(kRowTimeTo, time);
  const bool exif = Choice(root, kRowHaveExif) == 2;
  for (const std::int32_t id : {kRowMaker, kRowModel, kRowFlash, kRowIso, kRowFNumber, kRowShutter})
    set(id, exif);
  const bool iso = exif && Choice(root, kRowIso) != 0;
  set(kRowIsoFrom, iso);
  set(kRowIsoTo, iso);
  const bool fNumber = exif && Choice(root, kRowFNumber) != 0;
  set(kRowFNumberFrom, fNumber);
  set(kRowFNumberTo, fNumber);
  const bool shutter = exif && Choice(root, kRowShutter) != 0;
  set(kRowShutterFrom, shutter);
  set(kRowShutterTo, shutter);
}

bool IsCatalogRangeError(std::u16string_view key) {
  return key == u"Filelength" || key == u"FileShape" || key == u"TimeRange" || key == u"exifISO" ||
         key == u"exifFnumber" || key == u"exifShutter";
}

std::u16string CollectCatalogCriteria(const CTreeNode& root, std::u16string_view name, SearchCriteria& c) {
  c = SearchCriteria{};
  int conditions = 0;
  const auto range = [&](std::size_t slot, std::int32_t low, std::int32_t high) {
    c.slots[slot] = SearchCondition::Make(ConditionKind::Range, low, high);
    ++conditions;
  };
  const auto equal = [&](std::size_t slot, std::int32_t value) {
    c.slots[slot] = SearchCondition::Make(ConditionKind::Equal, value, 0);
    ++conditions;
  };
  // Integer pairs; false (refused) beyond 32 bits or out of order.
  const auto integers = [&](std::int32_t fromId, std::int32_t toId, std::int32_t& from, std::int32_t& to) {
    return RowInteger(root, fromId, from) && RowInteger(root, toId, to) && from < to;
  };

  if (const std::u16string_view title = RowText(root, kRowTitle); !title.empty()) {
    c.slots[kSlotTitle] = WordsCondition(title);
    ++conditions;
  }
  switch (const std::int32_t type = Choice(root, kRowFileType)) {
    case 1:
    case 8:
      equal(kSlotImageType, type);
      break;
    case kOtherTypes:
      range(kSlotImageType, 2, 8);
      break;
    default:
      break;
  }
  if (Choice(root, kRowFileLength) != 0) {
    std::int32_t from = 0;
    std::int32_t to = 0;
    if (!integers(kRowLengthFrom, kRowLengthTo, from, to)) return u"Filelength";
    range(kSlotFileSize, from, to);
  }
  const std::int32_t shape = Choice(root, kRowShape);
  if (shape >= 1 && shape <= 3) {
    std::int32_t from = 0;
    std::int32_t to = 0;
    if (!integers(kRowShapeFrom, kRowShapeTo, from, to)) return u"FileShape";
    range(kSlotWidth + static_cast<std::size_t>(shape - 1), from, to);
  } else if (shape == 4 || shape == 5) {
    equal(kSlotLandscape, shape - 4);
  }
  if (Choice(root, kRowTimeRange) != 0) {
    const std::int32_t from = ParseCatalogDate(RowText(root, kRowTimeFrom));
    const std::int32_t to = ParseCatalogDate(RowText(root, kRowTimeTo));
    if (from == 0 || to == 0 || from >= to) return u"TimeRange";
    c.slots[kSlotDate] = SearchCondition::Make(ConditionKind::DateRange, from, to);
    ++conditions;
  }
  if (const std::u16string_view tags = RowText(root, kRowTagWords); !tags.empty()) {
    c.SetTagWords(tags);
    c.tagMatchMode = Choice(root, kRowTagMode);
    ++conditions;
  }
  if (const std::int32_t exif = Choice(root, kRowHaveExif); exif != 0) {
    equal(kSlotCameraData, exif - 1);
    if (exif == 2) {
      if (const std::u16string_view maker = RowText(root, kRowMaker); !maker.empty()) {
        c.slots[kSlotMaker] = WordsCondition(maker);
        ++conditions;
      }
      if (const std::u16string_view model = RowText(root, kRowModel); !model.empty()) {
        c.slots[kSlotModel] = WordsCondition(model);
        ++conditions;
      }
      if (const std::int32_t flash = Choice(root, kRowFlash); flash != 0) equal(kSlotFlash, flash - 1);
      if (Choice(root, kRowIso) != 0) {
        std::int32_t from = 0;
        std::int32_t to = 0;
        if (!RowInteger(root, kRowIsoFrom, from) || !RowInteger(root, kRowIsoTo, to) ||
            from / kIsoUnit >= to / kIsoUnit)
          return u"exifISO";
        range(kSlotIso, from / kIsoUnit, to / kIsoUnit);
      }
      const auto fractions = [&](std::int32_t fromId, std::int32_t toId, double scale, std::size_t slot) {
        double from = 0;
        double to = 0;
        std::int32_t low = 0;
        std::int32_t high = 0;
        if (!RowScaledFraction(root, fromId, scale, from, low) ||
            !RowScaledFraction(root, toId, scale, to, high) || !(to > from))
          return false;
        range(slot, low, high);
        return true;
      };
      if (Choice(root, kRowFNumber) != 0 && !fractions(kRowFNumberFrom, kRowFNumberTo, 10, kSlotFNumber))
        return u"exifFnumber";
      if (Choice(root, kRowShutter) != 0 && !fractions(kRowShutterFrom, kRowShutterTo, 10000, kSlotExposure))
        return u"exifShutter";
    }
  }
  if (conditions == 0) return u"NoCondition";
  if (name.empty()) return u"NameNotSet";
  return {};
}

// The dialog -------------------------------------------------------------------------------

CAddCatalogDlg::~CAddCatalogDlg() { rootItem.ClearSubtree(); }

void CAddCatalogDlg::Destroy(int final) {
  CDialogSprite::Destroy(final);
  {
    std::lock_guard guard(propertyList.lock);
    propertyList.SetRoot(nullptr);
    rootItem.DeleteChildren();
  }
  propertyList.Destroy(final);
}

bool CAddCatalogDlg::OnInitDialog() {
  rootItem.DeleteChildren();
  BuildCatalogRows(criteria, rootItem);
  if (!propertyList.Create(this, renderWindow, kListId,
                           {kListAt.x, kListAt.y, rect.Width() - kListAt.x, rect.Height() - 40}, 1))
    return false;
  AppendChild(&propertyList);
  propertyList.labelColumn = kLabelColumn;
  {
    CSTree::EditGuard guard(propertyList);
    propertyList.SetRoot(&rootItem);
  }
  if (!BindControl(kNameId, name)) return false;
  if (auto* field = dynamic_cast<CEditSprite*>(FindControl(kNameId))) {
    field->filterKind = EditFilter::FileName;
    field->maxLength = kNameLength;
  }
  return UpdateData(false);
}

void CAddCatalogDlg::RebuildRows() {
  CSTree::EditGuard guard(propertyList);
  propertyList.dirty = 1;
}

void CAddCatalogDlg::UpdateRowStates() {
  {
    std::lock_guard guard(propertyList.lock);
    UpdateCatalogRowStates(rootItem);
  }
  propertyList.dirty = 1;
}

bool CAddCatalogDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.sender == &propertyList) {
    if (message.code == kTreeMsgExpandToggled) {
      RebuildRows();
    } else if (message.code == kTreeMsgSelectionChanged && message.lparam != 0) {
      auto* node = reinterpret_cast<CTreeNode*>(message.lparam);
      if (node->HasChildren()) {
        {
          std::lock_guard guard(propertyList.lock);
          node->expanded = node->expanded ? 0 : 1;
        }
        RebuildRows();
      }
    } else if (message.code == kPropMsgEditEnded) {
      UpdateRowStates();
    }
  }
  return CDialogSprite::OnSpriteMessage(message);
}

bool CAddCatalogDlg::CollectCriteria() {
  SearchCriteria collected;
  std::u16string error;
  {
    std::lock_guard guard(propertyList.lock);
    error = CollectCatalogCriteria(rootItem, name, collected);
  }
  if (!error.empty()) {
    std::u16string text =
        IsCatalogRangeError(error)
            ? TruncatedText(FormatText(TextOf(u"ErrorPropSet"), {TextOf(error)}), kMessageField)
            : TextOf(error);
    (void)ShowMessageBox(text, MessageBoxIcon::Error, MessageBoxButtons::Ok);  // the answer is always OK
    return false;
  }
  criteria = collected;
  return true;
}

bool CAddCatalogDlg::OnOK() {
  if (!UpdateData(true) || !propertyList.EndEdit() || !CollectCriteria() || !UpdateData(true)) return false;
  EndModal(kIdOk);
  return true;
}
