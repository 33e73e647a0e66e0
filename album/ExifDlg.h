#pragma once
// CExifDlg (template 131): what the program knows of one photo file (the
// file, its EXIF texts and camera values, its GPS position) in a grouped
// property grid. Edit unlocks the descriptive and camera rows of a JPEG
// file, and the same button (now OK) writes the edited rows back into the
// file. The map button opens the photo's position in the web browser when
// the map service address is set (Album "MapService" in the settings).
//
// Only rows the user changed are written: an untouched row keeps the exact
// value read from the file, so a rational like 1/3200 or a long text does
// not come back rounded or cut.

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "image/ExifRational.h"
#include "image/ImageArray.h"
#include "image/SystemTime.h"
#include "ui/DialogSprite.h"
#include "ui/widgets/PropItem.h"
#include "ui/widgets/SPropertyList.h"

struct ImageInfo;

// Row ids of the grid (there is no 13; both GPS rows are 26).
enum ExifRowId : std::int32_t {
  kExifRowName = 1,
  kExifRowWidth = 2,
  kExifRowHeight = 3,
  kExifRowLength = 4,
  kExifRowModified = 5,
  kExifRowMaker = 6,
  kExifRowModel = 7,
  kExifRowSoftware = 8,
  kExifRowDescription = 9,
  kExifRowArtist = 10,
  kExifRowCopyright = 11,
  kExifRowTaken = 12,
  kExifRowColorSpace = 14,
  kExifRowFNumber = 15,
  kExifRowExposureTime = 16,
  kExifRowIso = 17,
  kExifRowProgram = 18,
  kExifRowBias = 19,
  kExifRowMetering = 20,
  kExifRowFlash = 21,
  kExifRowFlashEnergy = 22,
  kExifRowLight = 23,
  kExifRowFocal = 24,
  kExifRowDistance = 25,
  kExifRowGps = 26,
};

inline constexpr std::int32_t kExifGroupFile = 1001;
inline constexpr std::int32_t kExifGroupGeneral = 1002;
inline constexpr std::int32_t kExifGroupCamera = 1003;
inline constexpr std::int32_t kExifGroupGps = 1004;

// A UTC calendar time in the local time zone (TZ, else the system's); no
// date when it cannot be placed.
SystemTime LocalFromUtc(const SystemTime& utc);

// `N 48*51'29.500"`: the letter, degrees and minutes rounded, seconds with
// three decimals; a part with a zero denominator counts 0.
std::u16string GpsText(char16_t reference, const std::array<ExifRational, 3>& parts);
// The decimal degrees of the three parts.
double GpsDegrees(const std::array<ExifRational, 3>& parts);
// Whether the record holds a latitude the map can show.
bool HasGpsLatitude(const ImageInfo& info);
// The service address followed by "?q=%f%c,%f%c" with the position.
std::u16string MapAddress(std::u16string_view service, const ImageInfo& info);

// The rows the grid shows, built from the record under root; groups that
// would be empty are left out. icons (four, or null) are the groups' icons.
// The texts shown in the rows at the start are kept in shown, by row id.
struct ExifRowsShown {
  std::map<std::int32_t, std::u16string> texts;
  std::map<std::int32_t, std::int32_t> choices;
};
void BuildExifRows(const ImageInfo& info, CTreeNode& root, const CImageArray* icons, ExifRowsShown& shown);
// Marks the rows the user may edit.
void UnlockExifRows(CTreeNode& root);
// The row with the id under root (the first for 26), or null.
CPropItem* FindExifRow(const CTreeNode& root, std::int32_t id);

// Writes the rows the user changed into the record. Empty on success; else
// the message that refuses a value (the record then is unchanged): the
// range message for an ISO speed above 65534, an unsigned rational outside
// 0..429496.7295 or a signed one outside +-214748.3647.
std::u16string CollectExifRows(const CTreeNode& root, const ExifRowsShown& shown, ImageInfo& info);

class CExifDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 131;
  static constexpr std::int32_t kListId = 100;
  static constexpr std::int32_t kMapId = 1126;
  static constexpr std::int32_t kLabelColumn = 200;
  static constexpr std::int32_t kIconSide = 16;

  ~CExifDlg() override;
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  void OnCommand(std::int32_t commandId) override;
  [[nodiscard]] bool OnInitDialog() override;
  [[nodiscard]] bool OnOK() override;

  [[nodiscard]] bool BuildRows();
  void UpdateButtons();
  // The changed rows into the record, then the file; false keeps the
  // dialog open (a refused value has said why).
  [[nodiscard]] bool WriteBack();
  void OpenMap();

  CSPropertyList propertyList;
  CPropItem root;
  CImageArray groupIcons;
  std::int32_t editMode = 0;
  ImageInfo* info = nullptr;   // set by the opener; not owned
  std::filesystem::path path;  // set by the opener
  std::u16string mapService;   // the map's address; empty: no map
  ExifRowsShown shown;

private:
  void RebuildRows();
};

// Reads the photo's information and runs the dialog over it; false when the
// file cannot be read (nothing is shown).
[[nodiscard]] bool ShowPhotoPropertiesDialog(const std::filesystem::path& path, ImageInfo& info);
// The map service's address from the settings (Album "MapService"), empty
// when not set.
std::u16string MapServiceAddress();
// The edit page's photo properties command: the dialog over the page's
// file ("cannotloadexif" when it cannot be read), then the page's record
// read again from the file.
void RegisterPhotoPropertiesCommand();
