#include "album/ConfigFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/SystemMessage.h"
#include "platform/UserFolders.h"
#include "platform/Utf16.h"

std::vector<FavouriteFolder> g_FavouriteFolders;
std::u16string g_AlbumRootFolder;
std::vector<std::u16string> g_SearchScopeFolders;
std::filesystem::path g_ConfigFilePath;
std::filesystem::path g_DataFolder;

namespace {

constexpr std::uint8_t kConfigVersion = 1;

std::u16string DefaultAlbumRoot() {
  return TruncatedText(PathToUtf16(GetPicturesFolder()), kAlbumRootLength);
}

// A fixed text field of the file, read as the text before the first NUL. The
// last character is taken as the terminator even when the file has none.
std::u16string ReadTextField(ByteReader& reader, std::size_t length) {
  std::u16string text = reader.Text16(length);
  if (text.size() >= length) text.resize(length - 1);
  return text;
}

// Fills a field with a text that fits (ReadTextField leaves room for the
// terminator); the rest of the field is zero.
void StoreField(std::span<char16_t> field, std::u16string_view text) {
  std::fill(std::copy(text.begin(), text.end(), field.begin()), field.end(), u'\0');
}

[[nodiscard]] bool ReadFavourite(CFile& file, FavouriteFolder& favourite) {
  std::array<std::uint8_t, kFavouriteFolderBytes> bytes;
  if (!file.ReadExact(bytes.data(), bytes.size())) return false;
  ByteReader reader(bytes);
  StoreField(favourite.name, ReadTextField(reader, kFavouriteNameLength));
  StoreField(favourite.path, ReadTextField(reader, kFolderPathLength));
  return true;  // the reserved bytes are ignored
}

[[nodiscard]] bool ReadU16(CFile& file, std::uint16_t& value) {
  std::uint8_t bytes[2];
  if (!file.ReadExact(bytes, 2)) return false;
  value = LoadLE16(bytes);
  return true;
}

// Everything up to and with the album root. False when the file is damaged.
[[nodiscard]] bool ReadFavouritesAndRoot(CFile& file, std::size_t count,
                                         std::vector<FavouriteFolder>& favourites, std::u16string& root) {
  for (std::size_t i = 0; i < count; ++i) {
    FavouriteFolder favourite;
    if (!ReadFavourite(file, favourite)) return false;
    favourites.push_back(favourite);
  }
  std::uint16_t length = 0;
  if (!ReadU16(file, length) || length >= kAlbumRootLength) return false;
  std::vector<std::uint8_t> bytes(std::size_t{length} * 2);
  if (!file.ReadExact(bytes.data(), bytes.size())) return false;
  ByteReader reader(bytes);
  root = reader.Text16(length);
  std::error_code error;
  return !root.empty() && std::filesystem::is_directory(PathFromUtf16(root), error);
}

void ReadSearchScopes(CFile& file) {
  std::uint16_t count = 0;
  if (!ReadU16(file, count)) return;
  g_SearchScopeFolders.clear();
  std::array<std::uint8_t, kSearchScopeFieldBytes> bytes;
  for (std::size_t i = 0; i < count; ++i) {
    if (!file.ReadExact(bytes.data(), bytes.size())) return;
    ByteReader reader(bytes);
    g_SearchScopeFolders.push_back(ReadTextField(reader, kSearchScopeLength));
  }
}

}  // namespace

bool LoadConfigFile() {
  g_FavouriteFolders.clear();
  g_AlbumRootFolder.clear();

  CFile file;
  if (!file.Open(g_ConfigFilePath, CFile::OpenMode::Read)) {
    g_AlbumRootFolder = DefaultAlbumRoot();
    // A failed save has told the user; the defaults serve this run.
    static_cast<void>(SaveConfigFile());
    return true;
  }

  std::uint8_t header[3];
  const bool headerRead = file.ReadExact(header, sizeof header);
  const std::size_t count = headerRead ? LoadLE16(header + 1) : 0;
  if (count > kMaxFavouriteFolders) return false;

  std::vector<FavouriteFolder> favourites;
  std::u16string root;
  if (!headerRead || !ReadFavouritesAndRoot(file, count, favourites, root)) {
    // Damaged: default favourites and root; the search folders stay as they
    // are, and the file stays until the next save replaces it.
    g_AlbumRootFolder = DefaultAlbumRoot();
    return true;
  }
  g_FavouriteFolders = std::move(favourites);
  g_AlbumRootFolder = std::move(root);
  ReadSearchScopes(file);
  return true;
}

bool SaveConfigFile() {
  ByteWriter writer;
  writer.U8(kConfigVersion);
  const std::size_t favourites = std::min(g_FavouriteFolders.size(), kMaxFavouriteFolders);
  writer.U16(static_cast<std::uint16_t>(favourites));
  for (std::size_t i = 0; i < favourites; ++i) {
    const FavouriteFolder& favourite = g_FavouriteFolders[i];
    writer.Text16(favourite.Name(), kFavouriteNameLength);
    writer.Text16(favourite.Path(), kFolderPathLength);
    writer.Zeros(kFavouriteReservedBytes);
  }
  const std::u16string root = TruncatedText(g_AlbumRootFolder, kAlbumRootLength);
  writer.U16(static_cast<std::uint16_t>(root.size()));
  for (char16_t c : root) writer.U16(c);
  const std::size_t scopes =
      std::min<std::size_t>(g_SearchScopeFolders.size(), std::numeric_limits<std::uint16_t>::max());
  writer.U16(static_cast<std::uint16_t>(scopes));
  for (std::size_t i = 0; i < scopes; ++i) {
    writer.Text16(TruncatedText(g_SearchScopeFolders[i], kSearchScopeLength), kSearchScopeLength);
  }

  CAtomicFile file;
  if (!file.Open(g_ConfigFilePath) || !file.Write(writer.bytes()) || !file.Commit()) {
    ShowSystemMessage(u"Can not write application data. The changes to this program settings may loss.");
    return false;
  }
  return true;
}
