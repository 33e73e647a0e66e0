#include "album/ExifDlg.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "editor/CommandRegistry.h"
#include "editor/SEditPage.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "platform/LocalTime.h"
#include "platform/Registry.h"
#include "platform/ShellOpen.h"
#include "platform/Utf16.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/ParseFraction.h"
#include "ui/widgets/SButton.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

constexpr double kTenThousandths = 10000.0;
constexpr std::int64_t kUnsignedRationalMax = 4294967295;
constexpr std::int64_t kSignedRationalMax = 2147483647;
constexpr std::int64_t kIsoMax = 65534;
constexpr std::uint16_t kMissingChoice = 0xFFFF;

std::u16string_view Text(const OwnedText& text) { return text ? std::u16string_view(*text) : u""; }

std::uint64_t Packed(const ExifRational& value) {
  return value.numerator | (std::uint64_t{value.denominator} << 32);
}

double Part(const ExifRational& value) {
  return value.denominator == 0 ? 0.0 : static_cast<double>(value.numerator) / value.denominator;
}

CPropItem* AddGroup(std::int32_t id, std::u16string_view key, const CImageArray* icons, std::size_t icon,
                    bool expanded) {
  auto* group = new CPropItem;
  group->propertyId = id;
  group->text = TextOf(key);
  group->expanded = expanded ? 1 : 0;
  if (icons) group->icon = icons->At(icon);
  return group;
}

// Attaches a group that holds rows, else deletes it.
CPropItem* Attach(CTreeNode& root, CPropItem* group) {
  std::unique_ptr<CTreeNode> owned(group);
  if (!group->HasChildren()) return nullptr;
  return static_cast<CPropItem*>(root.AppendChild(std::move(owned)));
}

std::int32_t Choice(std::int16_t field) { return static_cast<std::uint16_t>(field); }

// The number typed, as the range message shows it: whole, away from zero.
std::int64_t ShownNumber(double value) {
  const double whole = value < 0 ? std::floor(value) : std::ceil(value);
  if (!(whole > -9.2e18)) return std::numeric_limits<std::int64_t>::min();
  if (!(whole < 9.2e18)) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(whole);
}

}  // namespace

SystemTime LocalFromUtc(const SystemTime& utc) {
  using namespace std::chrono;
  if (!utc.IsSet()) return {};
  const year_month_day date{year{utc.year}, month{utc.month}, day{utc.day}};
  if (!date.ok()) return {};
  const sys_seconds point = sys_days(date) + hours(utc.hour) + minutes(utc.minute) + seconds(utc.second);
  std::tm local{};
  if (!ToLocalTime(system_clock::to_time_t(point), local) || local.tm_year + 1900 < 1601 ||
      local.tm_year + 1900 > 30827)
    return {};
  SystemTime t;
  t.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  t.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  t.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
  t.day = static_cast<std::uint16_t>(local.tm_mday);
  t.hour = static_cast<std::uint16_t>(local.tm_hour);
  t.minute = static_cast<std::uint16_t>(local.tm_min);
  t.second = static_cast<std::uint16_t>(local.tm_sec);
  t.milliseconds = utc.milliseconds;
  return t;
}

std::u16string GpsText(char16_t reference, const std::array<ExifRational, 3>& parts) {
  const auto rounded = [](double value) { return static_cast<std::int64_t>(value + 0.5); };
  return TruncatedText(FormatText(u"%c %d*%d'%.3f\"", {std::int32_t{reference}, rounded(Part(parts[0])),
                                                       rounded(Part(parts[1])), Part(parts[2])}),
                       64);
}

double GpsDegrees(const std::array<ExifRational, 3>& parts) {
  return Part(parts[0]) + Part(parts[1]) / 60.0 + Part(parts[2]) / 3600.0;
}

bool HasGpsLatitude(const ImageInfo& info) {
  return info.gpsLatitudeRef != 0 && info.gpsLatitude[0].denominator > 0;
}

std::u16string MapAddress(std::u16string_view service, const ImageInfo& info) {
  return std::u16string(service) +
         FormatText(u"?q=%f%c,%f%c", {GpsDegrees(info.gpsLatitude), std::int32_t{info.gpsLatitudeRef},
                                      GpsDegrees(info.gpsLongitude), std::int32_t{info.gpsLongitudeRef}});
}

CPropItem* FindExifRow(const CTreeNode& root, std::int32_t id) {
  for (const auto& group : root.children) {
    for (const auto& child : group->children) {
      auto* item = static_cast<CPropItem*>(child.get());
      if (item->propertyId == id) return item;
    }
  }
  return nullptr;
}

void BuildExifRows(const ImageInfo& info, CTreeNode& root, const CImageArray* icons, ExifRowsShown& shown) {
  CPropItem* file = AddGroup(kExifGroupFile, u"exifFile", icons, 0, true);
  std::u16string name;
  for (const char16_t c : info.fileName) {
    if (c == 0) break;
    name += c;
  }
  (void)CSPropertyList::AddTextProperty(kExifRowName, name, TextOf(u"exifName"), *file, false);
  (void)CSPropertyList::AddUIntProperty(kExifRowWidth, info.width, TextOf(u"exifWidth"), *file, 0, false);
  (void)CSPropertyList::AddUIntProperty(kExifRowHeight, info.height, TextOf(u"exifHeight"), *file, 0, false);
  // Shown unsigned: a file of 2 GiB or more is not a negative size.
  (void)CSPropertyList::AddUIntProperty(kExifRowLength, info.fileSize, TextOf(u"exifLength"), *file, 0,
                                        false);
  (void)CSPropertyList::AddDateProperty(kExifRowModified, LocalFromUtc(info.fileTime),
                                        TextOf(u"exifFileModifyTime"), *file, false);
  (void)Attach(root, file);

  CPropItem* general = AddGroup(kExifGroupGeneral, u"exifGeneral", icons, 1, true);
  const auto text = [&](std::int32_t id, std::u16string_view key, const OwnedText& value, bool always) {
    (void)CSPropertyList::AddTextProperty(id, Text(value), TextOf(key), *general, always);
  };
  text(kExifRowMaker, u"exifMaker", info.make, true);
  text(kExifRowModel, u"exifModel", info.model, true);
  text(kExifRowSoftware, u"exifSoft", info.software, false);
  text(kExifRowDescription, u"exifDesc", info.description, true);
  text(kExifRowArtist, u"exifArtist", info.artist, true);
  text(kExifRowCopyright, u"exifCopyright", info.copyright, true);
  (void)Attach(root, general);

  CPropItem* camera = AddGroup(kExifGroupCamera, u"exifCamera", icons, 2, true);
  const SystemTime& taken = info.dateTimeDigitized.IsSet() ? info.dateTimeDigitized : info.dateTimeOriginal;
  (void)CSPropertyList::AddDateProperty(kExifRowTaken, taken, TextOf(u"exifTime"), *camera, false);
  const auto choice = [&](std::int32_t id, std::u16string_view key, std::u16string_view options,
                          std::int32_t value) {
    (void)CSPropertyList::AddEnumProperty(id, TextOf(key), TextOf(options), value, *camera, true);
  };
  const auto rational = [&](std::int32_t id, std::u16string_view key, const ExifRational& value,
                            bool always) {
    (void)CSPropertyList::AddRationalProperty(id, Packed(value), TextOf(key), *camera, always);
  };
  if (info.colorSpace != ImageInfo::kColorSpaceNone)
    choice(kExifRowColorSpace, u"exifColorSpace", u"ColorSpaceEnum", info.colorSpace);
  rational(kExifRowFNumber, u"exifFnumber", info.fNumber, true);
  rational(kExifRowExposureTime, u"exifShutter", info.exposureTime, true);
  (void)CSPropertyList::AddUIntProperty(kExifRowIso, info.isoSpeed, TextOf(u"exifISO"), *camera,
                                        ImageInfo::kNoIso, true);
  choice(kExifRowProgram, u"exifProgram", u"ExposureProgram", Choice(info.exposureProgram));
  rational(kExifRowBias, u"exifBias", info.exposureBias, true);
  choice(kExifRowMetering, u"exifMeter", u"MeteringMode", Choice(info.meteringMode));
  choice(kExifRowFlash, u"exifFlash", u"TrueFalse", Choice(info.flash));
  rational(kExifRowFlashEnergy, u"exifFlashEnergy", info.flashEnergy, false);
  choice(kExifRowLight, u"exifLight", u"LightSource", Choice(info.lightSource));
  rational(kExifRowFocal, u"exifFocal", info.focalLength, true);
  rational(kExifRowDistance, u"exifDistance", info.subjectDistance, true);
  (void)Attach(root, camera);

  CPropItem* gps = AddGroup(kExifGroupGps, u"exifGPS", icons, 3, false);
  if (HasGpsLatitude(info))
    (void)CSPropertyList::AddTextProperty(kExifRowGps, GpsText(info.gpsLatitudeRef, info.gpsLatitude),
                                          TextOf(u"exifLatitude"), *gps, false);
  if (info.gpsLongitudeRef != 0 && info.gpsLongitude[0].denominator > 0)
    (void)CSPropertyList::AddTextProperty(kExifRowGps, GpsText(info.gpsLongitudeRef, info.gpsLongitude),
                                          TextOf(u"exifLongitude"), *gps, false);
  (void)Attach(root, gps);

  shown = {};
  for (const auto& group : root.children) {
    for (const auto& child : group->children) {
      const auto& item = static_cast<const CPropItem&>(*child);
      shown.texts.emplace(item.propertyId, item.valueText);
      shown.choices.emplace(item.propertyId, item.enumValue);
    }
  }
}

void UnlockExifRows(CTreeNode& root) {
  for (const std::int32_t id :
       {kExifRowMaker, kExifRowModel, kExifRowDescription, kExifRowArtist, kExifRowCopyright, kExifRowFNumber,
        kExifRowExposureTime, kExifRowIso, kExifRowProgram, kExifRowBias, kExifRowMetering, kExifRowFlash,
        kExifRowFocal, kExifRowDistance}) {
    if (CPropItem* item = FindExifRow(root, id)) item->editable = 1;
  }
}

std::u16string CollectExifRows(const CTreeNode& root, const ExifRowsShown& shown, ImageInfo& info) {
  // A row the user changed: its item; null for rows left as they were.
  const auto changedText = [&](std::int32_t id) -> const CPropItem* {
    const CPropItem* item = FindExifRow(root, id);
    if (!item) return nullptr;
    const auto before = shown.texts.find(id);
    return before != shown.texts.end() && before->second == item->valueText ? nullptr : item;
  };

  // Values are checked first, so that a refused one changes nothing.
  struct RationalChange {
    ExifRational* field;
    ExifRational value;
  };
  std::vector<RationalChange> rationals;
  const std::pair<std::int32_t, ExifRational*> rationalRows[] = {{kExifRowFNumber, &info.fNumber},
                                                                 {kExifRowExposureTime, &info.exposureTime},
                                                                 {kExifRowBias, &info.exposureBias},
                                                                 {kExifRowFocal, &info.focalLength},
                                                                 {kExifRowDistance, &info.subjectDistance}};
  for (const auto& [id, field] : rationalRows) {
    const CPropItem* item = changedText(id);
    double value = 0;
    if (!item || !item->valueKnown || item->valueText.empty() || !ParseFraction(item->valueText, value))
      continue;
    // Half away from zero: -0.7 is -7000/10000, not -6999.
    const double scaled = std::round(value * kTenThousandths);
    const bool isSigned = id == kExifRowBias;
    const std::int64_t low = isSigned ? -kSignedRationalMax : 0;
    const std::int64_t high = isSigned ? kSignedRationalMax : kUnsignedRationalMax;
    if (!(scaled >= static_cast<double>(low) && scaled <= static_cast<double>(high)))
      return CDialogSprite::RangeMessage(low / 10000, high / 10000, ShownNumber(value));
    const auto stored = static_cast<std::int64_t>(scaled);
    rationals.push_back({field, {static_cast<std::uint32_t>(stored), 10000}});
  }
  std::optional<std::uint16_t> iso;
  if (const CPropItem* item = changedText(kExifRowIso); item && item->valueKnown) {
    const std::int64_t value = LeadingInteger64(item->valueText);
    if (value < 0 || value > kIsoMax) return CDialogSprite::RangeMessage(0, kIsoMax, value);
    if (value != 0) iso = static_cast<std::uint16_t>(value);
  }

  const std::pair<std::int32_t, OwnedText*> textRows[] = {{kExifRowMaker, &info.make},
                                                          {kExifRowModel, &info.model},
                                                          {kExifRowDescription, &info.description},
                                                          {kExifRowArtist, &info.artist},
                                                          {kExifRowCopyright, &info.copyright}};
  for (const auto& [id, field] : textRows) {
    if (const CPropItem* item = changedText(id)) *field = item->valueText;
  }
  for (const RationalChange& change : rationals) *change.field = change.value;
  if (iso) info.isoSpeed = *iso;
  const std::pair<std::int32_t, std::int16_t*> choiceRows[] = {{kExifRowProgram, &info.exposureProgram},
                                                               {kExifRowMetering, &info.meteringMode},
                                                               {kExifRowFlash, &info.flash}};
  for (const auto& [id, field] : choiceRows) {
    const CPropItem* item = FindExifRow(root, id);
    const auto before = shown.choices.find(id);
    if (!item || (before != shown.choices.end() && before->second == item->enumValue)) continue;
    *field = static_cast<std::int16_t>(static_cast<std::uint16_t>(item->enumValue));
  }
  return {};
}

// The dialog -------------------------------------------------------------------------------

CExifDlg::~CExifDlg() { root.ClearSubtree(); }

void CExifDlg::Destroy(int final) {
  CDialogSprite::Destroy(final);
  {
    std::lock_guard guard(propertyList.lock);
    propertyList.SetRoot(nullptr);
    root.DeleteChildren();
  }
  groupIcons.Clear();
  propertyList.Destroy(final);
}

bool CExifDlg::BuildRows() {
  root.DeleteChildren();
  BuildExifRows(*info, root, &groupIcons, shown);
  return true;
}

bool CExifDlg::OnInitDialog() {
  if (!info || path.empty() || !CDialogSprite::OnInitDialog()) return false;
  if (groupIcons.LoadStrip(UIResources().skins.SkinFilePath(u"exiftag.png"), kIconSide) == 0) return false;
  if (!BuildRows()) return false;
  const std::int32_t w = rect.Width();
  const std::int32_t h = rect.Height();
  if (!propertyList.Create(this, renderWindow, kListId, {10, 40, w - 10, h - 40}, 2)) return false;
  AppendChild(&propertyList);
  propertyList.labelColumn = kLabelColumn;
  {
    CSTree::EditGuard guard(propertyList);
    propertyList.SetRoot(&root);
  }
  UpdateButtons();
  std::int32_t artistRow = -1;
  {
    std::lock_guard guard(propertyList.lock);
    const CPropItem* artist = FindExifRow(root, kExifRowArtist);
    for (std::size_t i = 0; i < propertyList.rows.size(); ++i) {
      if (artist && propertyList.rows[i].node == artist) artistRow = static_cast<std::int32_t>(i);
    }
  }
  UIResources().WriteLog("Photo properties at " + std::to_string(rect.left) + " " + std::to_string(rect.top) +
                         " " + std::to_string(w) + " " + std::to_string(h) + ", artist row " +
                         std::to_string(artistRow));
  return true;
}

void CExifDlg::UpdateButtons() {
  if (auto* edit = dynamic_cast<CSButton*>(FindControl(kIdOk))) {
    if (GetImageType(path) == ImageFileType::Jpeg) {
      edit->SetText(TextOf(editMode ? u"OK" : u"Edit"));
    } else {
      edit->acceptsInput = 0;
      edit->alpha = 100;
    }
    edit->dirty = 1;
  }
  if (auto* map = dynamic_cast<CSButton*>(FindControl(kMapId))) {
    const bool enabled = info && HasGpsLatitude(*info) && !mapService.empty();
    map->acceptsInput = enabled ? 1 : 0;
    map->alpha = enabled ? 255 : 100;
    map->dirty = 1;
  }
}

void CExifDlg::RebuildRows() {
  CSTree::EditGuard guard(propertyList);
  propertyList.dirty = 1;
}

bool CExifDlg::OnSpriteMessage(const SpriteMessage& message) {
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
    }
  }
  return CDialogSprite::OnSpriteMessage(message);
}

void CExifDlg::OnCommand(std::int32_t commandId) {
  if (commandId == kMapId) OpenMap();
  CDialogSprite::OnCommand(commandId);
}

bool CExifDlg::OnOK() {
  // Enter reaches here too: only JPEG files are edited.
  if (GetImageType(path) != ImageFileType::Jpeg) return false;
  if (!editMode) {
    {
      std::lock_guard guard(propertyList.lock);
      UnlockExifRows(root);
    }
    propertyList.dirty = 1;
    editMode = 1;
    UpdateButtons();
    return false;
  }
  if (!propertyList.EndEdit() || !WriteBack() || !UpdateData(true)) return false;
  EndModal(kIdOk);
  return true;
}

bool CExifDlg::WriteBack() {
  if (!info) return false;
  std::u16string refused;
  {
    std::lock_guard guard(propertyList.lock);
    refused = CollectExifRows(root, shown, *info);
  }
  if (!refused.empty()) {
    (void)ShowMessageBox(refused, MessageBoxIcon::Error, MessageBoxButtons::Ok);  // an OK box answers OK
    return false;
  }
  // A failed write keeps the dialog open and says nothing: the user may try
  // again or cancel.
  if (!RewriteImageMetadata(path, *info)) return false;
  UIResources().WriteLog("Photo properties written");
  return true;
}

void CExifDlg::OpenMap() {
  if (!info || !HasGpsLatitude(*info) || mapService.empty()) return;
  if (ShellOpen(MapAddress(mapService, *info)) == 0) UIResources().WriteLog("The map could not be opened");
}

std::u16string MapServiceAddress() {
  std::u16string address;
  // A field one longer than any stored text: an address is never cut.
  if (!GetRegString(u"Album", u"MapService", u"", address, kMaxRegTextLength + 2, true)) return {};
  return address;
}

bool ShowPhotoPropertiesDialog(const std::filesystem::path& path, ImageInfo& info) {
  if (!info.ReadFromFile(path)) return false;
  CExifDlg dialog;
  dialog.info = &info;
  dialog.path = path;
  dialog.mapService = MapServiceAddress();
  if (!dialog.Create(CExifDlg::kTemplateId)) return false;
  (void)dialog.RunModal();  // the file is written by the dialog itself; the end code adds nothing
  return true;
}

void RegisterPhotoPropertiesCommand() {
  EditCommands().Register(kCmdPhotoProperties, [](CSEditPage& page, const SpriteMessage&) {
    const std::filesystem::path path = PathFromUtf16(page.document.Path());
    ImageInfo info;
    if (path.empty() || !ShowPhotoPropertiesDialog(path, info)) {
      (void)ShowMessageBox(TextOf(u"cannotloadexif"), MessageBoxIcon::Error,
                           MessageBoxButtons::Ok);  // an OK box answers OK
      return 0;
    }
    // The page saves with its record: it takes what the file holds now.
    ImageInfo fresh;
    if (fresh.ReadFromFile(path)) {
      CopyImageInfo(page.imageInfo, fresh);
      page.imageInfo.properties = std::move(fresh.properties);
      page.imageInfo.userComment = fresh.userComment;
      page.imageInfo.metadataBytes = fresh.metadataBytes;
    }
    return 1;
  });
}
