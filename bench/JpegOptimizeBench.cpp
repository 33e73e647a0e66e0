// The JPEG optimiser's quality search (size policy 2: the highest quality
// whose file fits a target) on the 6028 x 3391 camera photo of Debian's
// lomiri-wallpapers-20.04 (scripts/fetch-testdata.sh --bench) and the shared
// 6000 x 4000 bench picture, for targets of 0.5, 1, 2 and 4 MB, against
// ImageMagick's own search for a target size:
//
//   convert-im6.q16 picture.ppm -sampling-factor 2x2,1x1,1x1 -define jpeg:extent=<bytes> out.jpg
//   convert-im6.q16 picture.ppm null:                       # baseline: load only
//
// Both subsample chroma 2 x 2. Tessera measures only (flag 4), so neither
// side's time counts writing the file. Each run reports its size as a
// percentage of the target ("fill"); Tessera's also the size one quality
// step up ("next"), to show how far a single step moves the size.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "bench/RequireSetup.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "output/JpegOptimize.h"
#include "output/JpegOptimizeSteps.h"

namespace {

constexpr std::int64_t kTargetsKb[] = {512, 1024, 2048, 4096};

struct BenchInput {
  std::string label;
  CBgraImage picture;
  std::filesystem::path ppm;  // the same pixels for ImageMagick
};

bool WritePpm8(const CBgraImage& image, const std::filesystem::path& file) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%u %u\n255\n", image.width, image.height);
  std::vector<std::uint8_t> row(std::size_t{image.width} * 3);
  bool ok = true;
  for (std::uint32_t y = 0; y < image.height && ok; ++y) {
    const std::uint8_t* p = image.Row(y);
    for (std::uint32_t x = 0; x < image.width; ++x, p += 4) {
      row[x * 3] = p[2];
      row[x * 3 + 1] = p[1];
      row[x * 3 + 2] = p[0];
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

std::vector<BenchInput>& Inputs() {
  static std::vector<BenchInput> inputs = [] {
    std::vector<BenchInput> list;
    const std::filesystem::path photo = BenchCameraPhoto();
    if (!photo.empty()) {
      BenchInput input{"camera photo 6028x3391", {}, PeerWorkFolder() / "photo.ppm"};
      RequireSetup(LoadImageAsBgra(photo, input.picture) == 1, "decoding the camera photo");
      RequireSetup(WritePpm8(input.picture, input.ppm), "writing the photo as PPM");
      list.push_back(std::move(input));
    } else {
      std::fprintf(stderr, "camera photo missing: run scripts/fetch-testdata.sh --bench\n");
    }
    BenchInput input{"bench picture 6000x4000", {}, PeerWorkFolder() / "picture.ppm"};
    RequireSetup(Picture().ToBgraImage(input.picture) == 1, "converting the bench picture");
    RequireSetup(WritePpm8(input.picture, input.ppm), "writing the bench picture as PPM");
    list.push_back(std::move(input));
    return list;
  }();
  return inputs;
}

// Fill percentages by run name, printed at the end.
std::map<std::string, std::string>& Notes() {
  static std::map<std::string, std::string> notes;
  return notes;
}

std::string RunName(const char* function, std::size_t input, std::int64_t kb) {
  return std::string(function) + "/" + std::to_string(input) + "/" + std::to_string(kb);
}

void BM_TesseraQualitySearch(benchmark::State& state) {
  const BenchInput& input = Inputs()[static_cast<std::size_t>(state.range(0))];
  const std::int64_t kb = state.range(1);
  CBgraImage working;
  JpegOptimizeParams block;
  block.quality = 100;
  block.chromaMode = kChromaSubsampled;
  block.sizePolicy = kPolicyQuality;
  block.targetKb = static_cast<std::int32_t>(kb);
  block.runFlags = kRunMeasure;
  block.source = &input.picture;
  block.working = &working;
  CJpegOptimize optimizer;
  optimizer.m_params = &block;
  for (auto _ : state) {
    if (!optimizer.Process()) {
      state.SkipWithError("the optimiser failed");
      return;
    }
  }
  const std::int32_t quality = optimizer.ChosenQuality();
  std::vector<std::uint8_t> bytes;
  const std::uint32_t next = quality >= 1 && quality < 100
                                 ? EncodeJpegTrial(input.picture, quality + 1, nullptr, bytes, nullptr)
                                 : 0;
  const double target = static_cast<double>(kb) * 1024;
  state.counters["fill%"] = 100.0 * optimizer.EncodedSize() / target;
  state.counters["quality"] = quality;
  state.counters["next%"] = 100.0 * next / target;
  char note[96];
  std::snprintf(note, sizeof note, "quality %d, %.1f %% (one step up %.1f %%)", quality,
                100.0 * optimizer.EncodedSize() / target, 100.0 * next / target);
  Notes()[RunName("BM_TesseraQualitySearch", static_cast<std::size_t>(state.range(0)), kb)] = note;
}

void BM_ImageMagickExtent(benchmark::State& state) {
  const BenchInput& input = Inputs()[static_cast<std::size_t>(state.range(0))];
  const std::int64_t kb = state.range(1);
  const std::filesystem::path out = PeerWorkFolder() / "extent.jpg";
  const std::string command =
      std::string(kImageMagick) + " " + Quoted(input.ppm.string()) +
      " -sampling-factor 2x2,1x1,1x1 -define jpeg:extent=" + std::to_string(kb * 1024) + " " +
      Quoted(out.string());
  const std::string baseline = std::string(kImageMagick) + " " + Quoted(input.ppm.string()) + " null:";
  TimeToolOperation(state, kImageMagick, true, command, baseline);
  std::error_code ec;
  const auto size = std::filesystem::file_size(out, ec);
  if (ec) return;
  const double target = static_cast<double>(kb) * 1024;
  state.counters["fill%"] = 100.0 * static_cast<double>(size) / target;
  char note[64];
  std::snprintf(note, sizeof note, "%.1f %%", 100.0 * static_cast<double>(size) / target);
  Notes()[RunName("BM_ImageMagickExtent", static_cast<std::size_t>(state.range(0)), kb)] = note;
}

void Register() {
  for (std::size_t i = 0; i < Inputs().size(); ++i) {
    for (const std::int64_t kb : kTargetsKb) {
      benchmark::RegisterBenchmark("BM_TesseraQualitySearch", BM_TesseraQualitySearch)
          ->Args({static_cast<std::int64_t>(i), kb})
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
      benchmark::RegisterBenchmark("BM_ImageMagickExtent", BM_ImageMagickExtent)
          ->Args({static_cast<std::int64_t>(i), kb})
          ->Unit(benchmark::kMillisecond)
          ->UseManualTime()
          ->Iterations(1);
    }
  }
}

void PrintComparison(const RatioTable& table) {
  for (std::size_t i = 0; i < Inputs().size(); ++i) {
    std::printf("\n%s, quality search for a target size:\n", Inputs()[i].label.c_str());
    for (const std::int64_t kb : kTargetsKb) {
      const std::string ours = RunName("BM_TesseraQualitySearch", i, kb);
      const std::string peer = RunName("BM_ImageMagickExtent", i, kb);
      std::printf("  %5.1f MB: %s\n", static_cast<double>(kb) / 1024,
                  table.Compare(ours, peer, "ImageMagick").c_str());
      std::printf("           size / target: Tessera %s; ImageMagick %s\n", Notes()[ours].c_str(),
                  Notes()[peer].c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  Inputs();
  Register();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();
  PrintComparison(reporter.table);
  return 0;
}
