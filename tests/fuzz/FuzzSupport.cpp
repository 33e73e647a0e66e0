#include "tests/fuzz/FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace {

std::filesystem::path MakeScratchFolder() {
  std::error_code error;
  std::filesystem::path base = "/dev/shm";
  if (::access(base.c_str(), W_OK) != 0) base = std::filesystem::temp_directory_path(error);
  std::filesystem::path folder = base / ("tessera-fuzz-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder, error);
  FuzzCheck(!error, "cannot make the scratch folder");
  return folder;
}

const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path made = MakeScratchFolder();
    std::atexit([] {
      std::error_code error;
      std::filesystem::remove_all(ScratchFolder(), error);
    });
    return made;
  }();
  return folder;
}

}  // namespace

std::filesystem::path FuzzScratchFile(std::string_view name) { return ScratchFolder() / name; }

void WriteFuzzFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FuzzCheck(file != nullptr, "cannot create a scratch file");
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  FuzzCheck(std::fclose(file) == 0 && written, "cannot write a scratch file");
}

void FuzzCheck(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

void UseOneOpenMpThread() { ::setenv("OMP_NUM_THREADS", "1", 0); }

std::uint8_t FuzzBytes::U8() {
  const std::span<const std::uint8_t> byte = Take(1);
  return byte.empty() ? 0 : byte[0];
}

std::uint32_t FuzzBytes::U32() {
  const std::span<const std::uint8_t> bytes = Take(4);
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
  return value;
}

std::span<const std::uint8_t> FuzzBytes::Take(std::size_t count) {
  const std::span<const std::uint8_t> taken = m_rest.first(std::min(count, m_rest.size()));
  m_rest = m_rest.subspan(taken.size());
  return taken;
}
