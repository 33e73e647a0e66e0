#pragma once
// A file object with 64-bit positions. Read returns the number of bytes that
// arrived; Write returns false unless every byte was written. CMemFile and
// CAtomicFile share the interface so records can be written to any of them.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

class CFile {
public:
  enum class OpenMode {
    Read,       // existing file, read only
    ReadWrite,  // existing file, read and write
    Create,     // created or truncated, read and write
  };
  enum class SeekOrigin { Begin, Current, End };

  CFile() = default;
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Returns false (and stays closed) when the file cannot be opened.
  [[nodiscard]] bool Open(const std::filesystem::path& path, OpenMode mode);
  virtual void Close();
  virtual bool IsOpen() const { return m_fd >= 0; }

  // A short count is the end of the file or an error; HasReadError tells
  // them apart (set by a failed read, cleared by Open).
  [[nodiscard]] virtual std::size_t Read(void* buffer, std::size_t count);
  bool HasReadError() const { return m_readError; }
  [[nodiscard]] virtual bool Write(const void* buffer, std::size_t count);
  [[nodiscard]] virtual bool Seek(std::int64_t offset, SeekOrigin origin);
  virtual std::int64_t GetPosition() const;
  virtual std::int64_t GetLength() const;
  // Pushes written data to the disk; false when the disk refused it.
  [[nodiscard]] virtual bool Flush();

  [[nodiscard]] bool Write(std::span<const std::uint8_t> bytes) { return Write(bytes.data(), bytes.size()); }
  // Reads exactly count bytes or fails.
  [[nodiscard]] bool ReadExact(void* buffer, std::size_t count) { return Read(buffer, count) == count; }

protected:
  int m_fd = -1;
  bool m_readError = false;
};

// The whole file into bytes (replaced); false when it cannot be opened or
// read, is empty, or holds more than maxBytes.
[[nodiscard]] bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                                 std::uint64_t maxBytes);

// A growable file in memory.
class CMemFile final : public CFile {
public:
  CMemFile() = default;
  explicit CMemFile(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

  void Close() override {}
  bool IsOpen() const override { return true; }
  [[nodiscard]] std::size_t Read(void* buffer, std::size_t count) override;
  [[nodiscard]] bool Write(const void* buffer, std::size_t count) override;
  [[nodiscard]] bool Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t GetPosition() const override { return static_cast<std::int64_t>(m_pos); }
  std::int64_t GetLength() const override { return static_cast<std::int64_t>(m_bytes.size()); }
  [[nodiscard]] bool Flush() override { return true; }

  const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
  std::vector<std::uint8_t> m_bytes;
  std::size_t m_pos = 0;
};
