#include "document/ProjectFile.h"

#include <cstdint>

#include "document/BFDoc.h"
#include "image/ImageInfo.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

int WriteProjectFile(CFile& stream, CBFDoc& doc, ImageInfo* info) {
  const std::uint32_t count = info ? static_cast<std::uint32_t>(info->properties.size()) : 0;
  std::uint8_t head[4];
  StoreLE32(head, count);
  if (!stream.Write(head, sizeof head)) return 0;
  if (!doc.Serialize(stream, 0, 1)) return 0;
  if (info && !info->SerializeProperties(stream, PropertyTransfer::Save)) return 0;
  return 1;
}

int SaveProjectFile(const std::filesystem::path& path, CBFDoc& doc, ImageInfo* info) {
  CAtomicFile file;
  if (!file.Open(path)) return 0;
  if (!WriteProjectFile(file, doc, info)) {
    file.Abandon();
    return 0;
  }
  return file.Commit() ? 1 : 0;
}

int ReadProjectFile(CFile& stream, CBFDoc& doc, ImageInfo& info) {
  std::uint8_t head[4];
  if (!stream.ReadExact(head, sizeof head)) return 0;
  if (!doc.Serialize(stream, 1, 1)) return 0;
  // A failure here only shortens the list: what was read is kept.
  (void)info.SerializeProperties(stream, PropertyTransfer::Load);
  return 1;
}

int LoadProjectFile(const std::filesystem::path& path, CBFDoc& doc, ImageInfo& info) {
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Read)) return 0;
  return ReadProjectFile(file, doc, info);
}
