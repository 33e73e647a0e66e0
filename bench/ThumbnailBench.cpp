// 200-pixel thumbnails of 40 JPEG files of 24 megapixels, in files per
// second: LoadThumbnail (the DC-only decode, every eighth pixel of every
// eighth row, then fitted with 2 x 2 samples) on one thread and on one
// thread per processor, against `vipsthumbnail -s 200` (libvips-tools, its
// shrink-on-load decode) on the same files, one process on one thread, and
// one process per processor (xargs -P) on one thread each. Its times are
// the command less `vipsthumbnail --vips-version`, so process start counts
// once; it also writes its small JPEG thumbnails, which ours does not. One
// more run takes the files' EXIF thumbnails (normal speed), as the album
// does for camera photos that carry one; vipsthumbnail has no such road.
//
// The files are made here from the 20-megapixel camera photo of the
// test-image cache (scripts/fetch-testdata.sh --bench), scaled to
// 6000 x 4000 and saved at quality 90 with half-resolution chroma, as a
// camera writes them; all 40 hold the same picture (links to one file in
// /dev/shm).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "image/MetadataImage.h"
#include "image/Resample.h"
#include "image/Thumbnail.h"
#include "platform/File.h"

namespace {

constexpr int kFiles = 40;
constexpr std::int32_t kSide = 200;
constexpr std::uint32_t kWidth = 6000;
constexpr std::uint32_t kHeight = 4000;

int Processors() { return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)); }

struct Corpus {
  std::vector<std::filesystem::path> files;           // without an EXIF thumbnail
  std::vector<std::filesystem::path> withThumbnails;  // the same with a 160 x 120 one
  std::string quotedList;

  Corpus() {
    CBgraImage photo;
    if (!LoadImageAsBgra(BenchCameraPhoto(), photo)) return;
    CBgraImage scaled;
    if (!scaled.Create(kWidth, kHeight) || !ResizeBgraBilinear(photo, scaled, kWidth, kHeight, -1, -1))
      return;
    photo.Free();
    const std::filesystem::path first = PeerWorkFolder() / "photo-00.jpg";
    if (!SaveJpegFile({}, first, scaled, 90)) return;
    CBgraImage thumbnail;
    std::vector<std::uint8_t> thumbnailJpeg;
    const auto thumbnailPath = PeerWorkFolder() / "thumbnail.jpg";
    if (!ResizeBgraImage(scaled, thumbnail, 160, 107) || !SaveJpegFile({}, thumbnailPath, thumbnail, 90) ||
        !ReadWholeFile(thumbnailPath, thumbnailJpeg, 1u << 20)) {
      return;
    }
    CMetadataImage withThumbnail;
    const std::filesystem::path firstThumbed = PeerWorkFolder() / "thumbed-00.jpg";
    if (!withThumbnail.LoadFile(first)) return;
    withThumbnail.SetPropertyItem(
        {0x501B, 1, static_cast<std::uint32_t>(thumbnailJpeg.size()), std::move(thumbnailJpeg)});
    if (!withThumbnail.SaveToFile(firstThumbed)) return;
    // Links, not copies: the same bytes under 40 names cost /dev/shm once.
    for (int i = 0; i < kFiles; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "photo-%02d.jpg", i);
      const std::filesystem::path path = PeerWorkFolder() / name;
      std::snprintf(name, sizeof name, "thumbed-%02d.jpg", i);
      const std::filesystem::path thumbed = PeerWorkFolder() / name;
      std::error_code error;
      if (i > 0) std::filesystem::create_hard_link(first, path, error);
      if (i > 0 && !error) std::filesystem::create_hard_link(firstThumbed, thumbed, error);
      if (error) return;
      files.push_back(path);
      withThumbnails.push_back(thumbed);
      quotedList += ' ' + Quoted(path.string());
    }
  }
  bool Ready() const { return files.size() == kFiles; }
};

const Corpus& Files() {
  static Corpus corpus;
  return corpus;
}

void SetRate(benchmark::State& state) {
  state.counters["files/s"] = benchmark::Counter(kFiles, benchmark::Counter::kIsIterationInvariantRate);
}

// Every file's thumbnail on `threads` threads that take the files in turn.
bool Thumbnails(const std::vector<std::filesystem::path>& files, int threads, ThumbnailSpeed speed) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> ok{true};
  const auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
      CBgraImage image;
      if (!LoadThumbnail(files[i], kSide, image, speed) || image.width != kSide) ok = false;
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  return ok;
}

void RunTessera(benchmark::State& state, const std::vector<std::filesystem::path>& files,
                ThumbnailSpeed speed) {
  if (!Files().Ready()) {
    state.SkipWithError("the benchmark photo is missing (scripts/fetch-testdata.sh --bench)");
    return;
  }
  const int threads = state.range(0) == 0 ? Processors() : static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (!Thumbnails(files, threads, speed)) {
      state.SkipWithError("a thumbnail failed");
      return;
    }
  }
  SetRate(state);
}

// Argument 0: one thread per processor.
void BM_TesseraFast(benchmark::State& state) { RunTessera(state, Files().files, ThumbnailSpeed::Fast); }

void BM_TesseraExifThumbnail(benchmark::State& state) {
  RunTessera(state, Files().withThumbnails, ThumbnailSpeed::Normal);
}

void BM_Vipsthumbnail(benchmark::State& state) {
  const std::string command = state.range(0) == 1
                                  ? "vipsthumbnail --vips-concurrency=1 -s 200" + Files().quotedList
                                  : "printf '%s\\n'" + Files().quotedList + " | xargs -P " +
                                        std::to_string(Processors()) + " -n " +
                                        std::to_string((kFiles + Processors() - 1) / Processors()) +
                                        " vipsthumbnail --vips-concurrency=1 -s 200";
  TimeToolOperation(state, "vipsthumbnail", Files().Ready(), command, "vipsthumbnail --vips-version");
  SetRate(state);
}

BENCHMARK(BM_TesseraFast)->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Vipsthumbnail)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_TesseraExifThumbnail)->ArgName("threads")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Files();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf(
      "One thread (vips: --vips-concurrency=1): %s\n",
      reporter.table.Compare("BM_TesseraFast/threads:1", "BM_Vipsthumbnail/threads:1", "vipsthumbnail")
          .c_str());
  std::printf(
      "One thread per processor (%d; vips: xargs -P): %s\n", Processors(),
      reporter.table.Compare("BM_TesseraFast/threads:0", "BM_Vipsthumbnail/threads:0", "vipsthumbnail")
          .c_str());
  std::printf("EXIF thumbnails, one thread: %s\n",
              reporter.table
                  .Compare("BM_TesseraExifThumbnail/threads:1", "BM_Vipsthumbnail/threads:1", "vipsthumbnail")
                  .c_str());
  RemovePeerWorkFolder();
  return 0;
}
