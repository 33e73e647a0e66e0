#pragma once
// Running the peer command-line tools a benchmark compares with: a scratch
// folder in memory (/dev/shm when there is one), the benchmark's picture as a
// 16-bit PPM, and a tool's time for one operation, measured as its command
// less the same command without the operation (load and save alone), so
// process start and file input count for neither side.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "image/BgraImage16.h"

inline std::filesystem::path PeerWorkFolder() {
  static const std::filesystem::path folder = [] {
    std::error_code ec;
    std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::filesystem::path dir = base / ("tessera-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir, ec);
    return dir;
  }();
  return folder;
}

// The test-image cache: $TESSERA_TESTDATA, else ~/.cache/tessera-testdata.
inline std::filesystem::path BenchTestDataRoot() {
  const char* root = std::getenv("TESSERA_TESTDATA");
  if (root && *root) return root;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "") / ".cache/tessera-testdata";
}

// The 6028 x 3391 camera photo of Debian's lomiri-wallpapers-20.04
// (scripts/fetch-testdata.sh --bench), when the cache holds it; else empty.
inline std::filesystem::path BenchCameraPhoto() {
  const std::filesystem::path photo =
      BenchTestDataRoot() / "usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg";
  std::error_code ec;
  return std::filesystem::is_regular_file(photo, ec) ? photo : std::filesystem::path();
}

inline void RemovePeerWorkFolder() {
  std::error_code ec;
  std::filesystem::remove_all(PeerWorkFolder(), ec);
}

// The picture as a binary PPM of 16-bit R, G, B (big-endian); alpha is dropped.
[[nodiscard]] inline bool WritePpm16(const CBgraImage16& image, const std::filesystem::path& file) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%u %u\n65535\n", image.width, image.height);
  std::vector<std::uint8_t> row(std::size_t{image.width} * 6);
  bool ok = true;
  for (std::uint32_t y = 0; y < image.height && ok; ++y) {
    const std::uint16_t* p = image.Row(y);
    for (std::uint32_t x = 0; x < image.width; ++x, p += 4) {
      const std::uint16_t rgb[3] = {p[2], p[1], p[0]};
      for (int c = 0; c < 3; ++c) {
        row[x * 6 + c * 2] = static_cast<std::uint8_t>(rgb[c] >> 8);
        row[x * 6 + c * 2 + 1] = static_cast<std::uint8_t>(rgb[c]);
      }
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

// A path in single quotes for the shell.
inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

inline bool HasTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Seconds the command took, or a negative value when it failed.
[[nodiscard]] inline double TimedCommand(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return status == 0 ? took.count() : -1.0;
}

// The shorter of two runs, against the run noise of a shared machine.
[[nodiscard]] inline double BestOfTwo(const std::string& command) {
  const double a = TimedCommand(command);
  const double b = TimedCommand(command);
  return a < 0 || b < 0 ? -1.0 : std::min(a, b);
}

// Reports the time of command less that of baseline, times scale, as the
// iteration's manual time; skips when the tool or the picture is missing.
inline void TimeToolOperation(benchmark::State& state, const char* tool, bool pictureReady,
                              const std::string& command, const std::string& baseline, double scale = 1.0) {
  if (!HasTool(tool)) {
    state.SkipWithError((std::string(tool) + " is not installed (bench/install-peers.sh)").c_str());
    return;
  }
  if (!pictureReady) {
    state.SkipWithError("cannot write the picture");
    return;
  }
  for (auto _ : state) {
    const double with = BestOfTwo(command);
    const double without = BestOfTwo(baseline);
    if (with < 0 || without < 0) {
      state.SkipWithError("the tool failed");
      return;
    }
    state.SetIterationTime(std::max(with - without, 0.0) * scale);
  }
}

// Debian's own ImageMagick 6 binary, by its versioned name.
inline constexpr const char* kImageMagick = "convert-im6.q16";
