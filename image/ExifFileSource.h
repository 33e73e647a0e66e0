#pragma once
// A file read at offsets, for the header probe and for a TIFF file's
// metadata: the first kPrefixBytes come from one read made up front, so that
// the headers of most files cost a single read; anything beyond is read
// piece by piece rather than loaded.

#include <vector>

#include "image/ExifSource.h"

class CFile;

class CExifFileSource final : public CExifSource {
public:
  static constexpr std::uint64_t kPrefixBytes = 65536;

  // The file must stay open while the source is used.
  explicit CExifFileSource(CFile& file);

  std::uint64_t Size() const override { return m_size; }
  [[nodiscard]] bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
  CFile& m_file;
  std::uint64_t m_size = 0;
  std::vector<std::uint8_t> m_prefix;
};
