#include "platform/PresetFile.h"

#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Folder.h"
#include "platform/LittleEndian.h"
#include "platform/UserFolders.h"

bool ReadPresetRecords(CFile& file, std::size_t recordSize, std::vector<std::uint8_t>& records) {
  if (recordSize == 0) return false;
  std::uint8_t sizeField[2] = {};
  const std::size_t got = file.Read(sizeField, sizeof sizeField);
  if (file.HasReadError()) return false;
  std::vector<std::uint8_t> read;
  const std::size_t stored = got == sizeof sizeField ? LoadLE16(sizeField) : 0;
  if (stored > recordSize) return false;
  // A size of 0 has no records: reading zero bytes would succeed forever.
  if (stored > 0) {
    std::vector<std::uint8_t> record(stored);
    while (file.Read(record.data(), stored) == stored) {
      read.insert(read.end(), record.begin(), record.end());
      read.resize(read.size() + (recordSize - stored), 0);
    }
    if (file.HasReadError()) return false;
  }
  records = std::move(read);
  return true;
}

CPresetFile::CPresetFile(std::filesystem::path fileName, std::uint16_t recordSize,
                         std::filesystem::path fallbackFolder)
    : m_fileName(std::move(fileName)), m_recordSize(recordSize) {
  if (!fallbackFolder.empty()) m_fallbackPath = fallbackFolder / m_fileName;
}

bool CPresetFile::GetFilePath() {
  if (!m_filePath.empty()) return true;
  const std::filesystem::path config = GetConfigHome();
  if (config.empty() || !CreateFolders(config)) return false;
  const std::filesystem::path folder = GetMakerFolder();
  // A folder that exists already is what is wanted; only a missing level
  // above it fails here, anything else shows when the file is written.
  if (MakeFolder(folder) == MakeFolderResult::NoParent) return false;
  m_filePath = folder / m_fileName;
  return true;
}

PresetFileRead CPresetFile::Load(std::vector<std::uint8_t>& records) {
  if (m_recordSize == 0 || !GetFilePath()) return PresetFileRead::Refused;
  CFile file;
  if (!file.Open(m_filePath, CFile::OpenMode::Read) &&
      (m_fallbackPath.empty() || !file.Open(m_fallbackPath, CFile::OpenMode::Read))) {
    return PresetFileRead::Missing;
  }
  return ReadPresetRecords(file, m_recordSize, records) ? PresetFileRead::Read : PresetFileRead::Refused;
}

bool CPresetFile::Save(std::span<const std::uint8_t> records) const {
  if (m_filePath.empty() || m_recordSize == 0 || records.size() % m_recordSize != 0) return false;
  std::uint8_t sizeField[2];
  StoreLE16(sizeField, m_recordSize);
  CAtomicFile file;
  if (!file.Open(m_filePath) || !file.Write(sizeField, sizeof sizeField) || !file.Write(records))
    return false;
  return file.Commit();
}
