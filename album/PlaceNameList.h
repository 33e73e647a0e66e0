#pragma once
// PlaceNameList: the names the user gave to places of the search page,
// kept in the preset file "gpsname.set" (user copy in the maker folder, a
// shipped copy beside the program). A name is tied to a position and a
// resolution, not to a node, because place nodes are rebuilt from the
// photos: a node takes the name whose centre lies within the stored
// tolerance of its own and whose tolerance equals its own.
//
// Record (344 bytes): the latitude and longitude conditions (140 bytes each,
// kind near, centre degrees x 10000, tolerance) and the name, 32 UTF-16
// characters, zero-terminated.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "album/SearchCondition.h"
#include "platform/PresetFile.h"

class CSearchNode;

struct PlaceNameRecord {
  static constexpr std::size_t kBytes = 344;
  static constexpr std::size_t kNameLength = 32;

  SearchCondition latitude;
  SearchCondition longitude;
  std::array<char16_t, kNameLength> name{};

  std::u16string_view Name() const;
  // The name, cut to 31 characters so that it always ends in its field.
  void SetName(std::u16string_view text);
  void Write(ByteWriter& out) const;
  // Reads kBytes from bytes; the name's last character is forced to 0.
  void Read(std::span<const std::uint8_t> bytes);
};

static_assert(PlaceNameRecord::kBytes == 2 * SearchCondition::kBytes + 2 * PlaceNameRecord::kNameLength);

class PlaceNameList {
public:
  static constexpr char kFileName[] = "gpsname.set";

  // shippedFolder: where the program's own copy lies (empty: none).
  explicit PlaceNameList(std::filesystem::path shippedFolder);

  // Finds the user copy's place; false when there is none.
  [[nodiscard]] bool MakeFilePath();
  // Replaces the names with the file's. False, the names kept, when the
  // file is refused (a record size above 344, a read error, no user folder);
  // true with no names when neither copy exists.
  [[nodiscard]] bool Load();
  // Writes every name to the user copy through a temporary file; false, the
  // old file kept, when that fails.
  [[nodiscard]] bool Save() const;
  // The index of the name of a place node (by its latitude and longitude
  // slots), or -1.
  std::int32_t Find(const CSearchNode& node) const;
  // Stores a name for the node's position: replaces the found record's
  // name or appends a record.
  void SetName(const CSearchNode& node, std::u16string_view name);

  // The records from bytes (whole records only).
  void SetRecords(std::span<const std::uint8_t> bytes);

  std::vector<PlaceNameRecord> records;

private:
  CPresetFile m_file;
};

// Whether a stored condition (centre and tolerance) names a node's slot:
// equal tolerance and centres less than that tolerance apart, in 64 bits.
bool PlaceConditionMatches(const SearchCondition& stored, const SearchCondition& node);
