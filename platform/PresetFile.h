#pragma once
// The preset files of the maker folder ("lockratio.set" and the other small
// files of named settings): a u16 record size, then records of that size to
// the end of the file, little-endian. A reader has its own record size R and
// takes files written with any size up to R, each record read into R zeroed
// bytes, so the records of an older, shorter layout load with their newer
// fields zero; a file with a larger size is refused whole, and a partial
// last record is dropped. A stored size of 0 reads as an empty file.
//
// The user copy lives in the maker folder (GetMakerFolder). When it cannot
// be opened, the copy that ships in the data folder beside the program is
// read instead; saving always writes the user copy, through a temporary file
// and a rename, so a failed save leaves the presets as they were.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/File.h"

enum class PresetFileRead : std::int32_t {
  Refused = 0,  // a record size above the reader's, a read error, or no maker folder
  Read = 1,     // the records of a file
  Missing = 2,  // neither copy could be opened: no presets, and no error
};

// From the file's current position: the stored size, then the records, each
// widened to recordSize bytes (1 or more), appended to nothing: records is
// replaced. False, records untouched, when the stored size is above
// recordSize or a read fails. A file shorter than the size field has no
// records.
[[nodiscard]] bool ReadPresetRecords(CFile& file, std::size_t recordSize, std::vector<std::uint8_t>& records);

class CPresetFile {
public:
  // fileName: the bare name of both copies; recordSize: the reader's record
  // size (1 or more); fallbackFolder: where the copy that ships with the
  // program lies (empty: none).
  CPresetFile(std::filesystem::path fileName, std::uint16_t recordSize, std::filesystem::path fallbackFolder);

  // Finds the user copy's place once: makes the config home and the maker
  // folder when missing. False when there is no config home or a level of
  // it cannot be made; a maker folder refused for another reason still
  // gives the path, and the writes there fail.
  [[nodiscard]] bool GetFilePath();
  // The user copy; empty until GetFilePath succeeded.
  const std::filesystem::path& FilePath() const { return m_filePath; }

  // GetFilePath, then the user copy, else the fallback copy. records is
  // replaced only by Read (recordSize bytes a record).
  [[nodiscard]] PresetFileRead Load(std::vector<std::uint8_t>& records);
  // Writes the size and the records (a whole number of recordSize bytes)
  // over the user copy. False, the old copy kept, when GetFilePath has not
  // succeeded, the bytes are no whole number of records, or a write fails.
  [[nodiscard]] bool Save(std::span<const std::uint8_t> records) const;

private:
  std::filesystem::path m_fileName;
  std::uint16_t m_recordSize;
  std::filesystem::path m_fallbackPath;
  std::filesystem::path m_filePath;
};
