// Reading the information records of 1000 JPEG files, in records per
// second: ImageInfo::ReadFromFile (header probe and EXIF reader) against
// `exiftool -fast2` and `exiv2 -pt` on the same files in /dev/shm. Each peer
// reads all 1000 files in one process; its time is that command less the
// tool's start alone (`exiftool -ver`, `exiv2 --version`).
//
// The files are copies of the real camera JPEGs of the test-image cache
// ($TESSERA_TESTDATA, default ~/.cache/tessera-testdata): goexif's samples
// (cut short after their metadata, so each copy ends after its last whole
// segment, as the peers refuse a cut file), sample1.jpg, tower.jpg,
// gdk-pixbuf's bug725582-testrotate.jpg and issue70.jpg, repeated in turn.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "image/ImageInfo.h"

namespace {

constexpr int kFiles = 1000;

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file up to its last whole segment before the scan, with an end marker,
// when it is cut short there; else the file as it is.
std::vector<std::uint8_t> Complete(std::vector<std::uint8_t> bytes) {
  std::size_t end = 2;
  while (end + 4 <= bytes.size() && bytes[end] == 0xFF && bytes[end + 1] != 0xDA) {
    const std::size_t length = (std::size_t{bytes[end + 2]} << 8) | bytes[end + 3];
    if (end + 2 + length > bytes.size()) break;
    end += 2 + length;
  }
  if (end + 2 <= bytes.size() && bytes[end] == 0xFF && bytes[end + 1] == 0xDA) return bytes;
  bytes.resize(end);
  bytes.insert(bytes.end(), {0xFF, 0xD9});
  return bytes;
}

struct Corpus {
  std::vector<std::filesystem::path> files;
  std::string quotedList;  // the files for a shell command

  Corpus() {
    const std::filesystem::path root = BenchTestDataRoot();
    const std::filesystem::path goexif = root / "usr/share/gocode/src/github.com/rwcarlsen/goexif/exif";
    std::vector<std::filesystem::path> sources;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(goexif / "samples", error)) {
      if (entry.path().extension() == ".jpg") sources.push_back(entry.path());
    }
    std::sort(sources.begin(), sources.end());
    for (const char* file : {"usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/sample1.jpg",
                             "usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/tower.jpg",
                             "usr/libexec/installed-tests/gdk-pixbuf/bug725582-testrotate.jpg",
                             "usr/libexec/installed-tests/gdk-pixbuf/issue70.jpg"}) {
      if (std::filesystem::exists(root / file)) sources.push_back(root / file);
    }
    std::vector<std::vector<std::uint8_t>> contents;
    for (const auto& source : sources) contents.push_back(Complete(ReadAll(source)));
    if (contents.empty()) return;
    for (int i = 0; i < kFiles; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "photo-%04d.jpg", i);
      const std::filesystem::path path = PeerWorkFolder() / name;
      const auto& bytes = contents[static_cast<std::size_t>(i) % contents.size()];
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      files.push_back(path);
      quotedList += ' ';
      quotedList += Quoted(path.string());
    }
  }
  bool Ready() const { return files.size() == kFiles; }
};

const Corpus& Files() {
  static Corpus corpus;
  return corpus;
}

void SetRate(benchmark::State& state) {
  state.counters["records/s"] = benchmark::Counter(kFiles, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReadInformation(benchmark::State& state) {
  if (!Files().Ready()) {
    state.SkipWithError("the test-image cache is missing (scripts/fetch-testdata.sh)");
    return;
  }
  std::size_t items = 0;
  for (auto _ : state) {
    for (const auto& file : Files().files) {
      ImageInfo info;
      if (!info.ReadFromFile(file)) {
        state.SkipWithError("a file could not be read");
        return;
      }
      items += info.properties.size();
    }
  }
  benchmark::DoNotOptimize(items);
  SetRate(state);
}

void BM_ExiftoolFast2(benchmark::State& state) {
  TimeToolOperation(state, "exiftool", Files().Ready(), "exiftool -fast2 -q -q -m" + Files().quotedList,
                    "exiftool -ver");
  SetRate(state);
}

void BM_Exiv2PrintTags(benchmark::State& state) {
  // exiv2 fails its status for a file without metadata; the output is what counts.
  TimeToolOperation(state, "exiv2", Files().Ready(),
                    "(exiv2 -pt" + Files().quotedList + " >/dev/null 2>&1; true)", "exiv2 --version");
  SetRate(state);
}

BENCHMARK(BM_ReadInformation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExiftoolFast2)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_Exiv2PrintTags)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Files();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("%s\n",
              reporter.table.Compare("BM_ReadInformation", "BM_ExiftoolFast2", "exiftool -fast2").c_str());
  std::printf("%s\n", reporter.table.Compare("BM_ReadInformation", "BM_Exiv2PrintTags", "exiv2 -pt").c_str());
  RemovePeerWorkFolder();
  return 0;
}
