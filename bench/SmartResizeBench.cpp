// The advanced resize (CImageSize::ResizeSmart, method 4) and the double-size
// enlargement (method 5, C2XEnlarge) against `vips resize` with its default
// kernel (lanczos3) and OpenCV's cv::resize with INTER_AREA and
// INTER_LANCZOS4:
//
//   reduce   the shared 6000 x 4000 picture (bench/BenchPicture.h) to
//            1500 x 1000: ResizeSmart takes its area reduction (ShrinkSmart)
//            with the image-size dialog's detail 75 and sharpness 35;
//   enlarge  a 2000 x 1500 photo to 4000 x 3000: ResizeSmart's banded
//            triple-size enlargement with the dialog's edge steepening
//            (clearEdge 1), and the double-size enlargement.
//
// The 2000 x 1500 photo is the 2 x 2 box mean of a 4000 x 3000 crop of the
// camera photo of the bench inputs (scripts/fetch-testdata.sh --bench), or
// of the synthetic picture when that is missing. Each result is scored by a
// round trip in PSNR over R, G and B (16-bit linear values): an enlargement
// against the 4000 x 3000 original it was reduced from; a reduction of the
// photo's 6000 x 3388 crop to a quarter, brought back by one common
// enlargement (CImageSize's cubic, method 3), against that crop.
//
// vips reads and writes 16-bit PPM files in /dev/shm; its time is the resize
// command less `vips copy` of the same file. OpenCV runs in this process on
// the same 4-channel 16-bit pixels. The helper-thread runs and the peers get
// as many threads; the one-thread runs face OpenCV on one.

#include <benchmark/benchmark.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "bench/BenchPicture.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "filters/EnlargeFilterSet.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"

#if defined(TESSERA_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr std::uint32_t kReducedWidth = 1500, kReducedHeight = 1000;
constexpr std::uint32_t kSmallWidth = 2000, kSmallHeight = 1500;

std::int64_t Threads() {
  static const auto count = static_cast<std::int64_t>(theAlgorithmThread.HelperCount());
  return count;
}

// ---- Pictures ------------------------------------------------------------------------------------

// The camera photo as a working image, or an empty image when it is missing.
const CBgraImage16& CameraPhoto() {
  static const CBgraImage16 photo = [] {
    CBgraImage16 image;
    const char* root = std::getenv("TESSERA_TESTDATA");
    const std::filesystem::path base =
        root && *root ? std::filesystem::path(root)
                      : std::filesystem::path(std::getenv("HOME") ? std::getenv("HOME") : "") /
                            ".cache/tessera-testdata";
    CBgraImage bgra;
    if (LoadImageAsBgra(base / "usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg", bgra))
      RequireSetup(image.FromBgraImage(bgra, 0), "photo memory");
    return image;
  }();
  return photo;
}

CBgraImage16 Crop(const CBgraImage16& from, std::uint32_t w, std::uint32_t h) {
  CBgraImage16 crop;
  RequireSetup(crop.Create(w, h), "picture memory");
  const std::uint32_t left = (from.width - w) / 2, top = (from.height - h) / 2;
  for (std::uint32_t y = 0; y < h; ++y) std::memcpy(crop.Row(y), from.At(left, top + y), std::size_t{w} * 8);
  return crop;
}

// The source of the enlargement quality: 4000 x 3000 of the photo.
const CBgraImage16& LargeOriginal() {
  static const CBgraImage16 image =
      Crop(CameraPhoto().IsEmpty() ? Picture() : CameraPhoto(), 2 * kSmallWidth, 2 * kSmallHeight);
  return image;
}

// Its 2 x 2 box mean, the enlargements' input.
const CBgraImage16& Small() {
  static const CBgraImage16 image = [] {
    const CBgraImage16& large = LargeOriginal();
    CBgraImage16 small;
    RequireSetup(small.Create(kSmallWidth, kSmallHeight), "picture memory");
    for (std::uint32_t y = 0; y < kSmallHeight; ++y) {
      for (std::uint32_t x = 0; x < kSmallWidth; ++x) {
        for (int c = 0; c < 4; ++c) {
          const std::uint32_t sum = large.At(2 * x, 2 * y)[c] + large.At(2 * x + 1, 2 * y)[c] +
                                    large.At(2 * x, 2 * y + 1)[c] + large.At(2 * x + 1, 2 * y + 1)[c];
          small.At(x, y)[c] = static_cast<std::uint16_t>((sum + 2) / 4);
        }
      }
    }
    return small;
  }();
  return image;
}

// The reduction's quality source: the photo's widest crop of 4 x 4 blocks.
const CBgraImage16& ReductionOriginal() {
  static const CBgraImage16 image = [] {
    const CBgraImage16& from = CameraPhoto().IsEmpty() ? Picture() : CameraPhoto();
    return Crop(from, from.width / 4 * 4 > kWidth ? kWidth : from.width / 4 * 4, from.height / 4 * 4);
  }();
  return image;
}

std::string SmallPath() {
  static const std::string path = [] {
    const std::filesystem::path file = PeerWorkFolder() / "small.ppm";
    return WritePpm16(Small(), file) ? file.string() : std::string();
  }();
  return path;
}

// ---- Tessera ---------------------------------------------------------------------------------------

int TesseraResize(const CBgraImage16& source, CBgraImage16& target, std::int32_t method, std::uint32_t w,
                  std::uint32_t h, bool parallel) {
  CImageSize size;
  size.m_allowParallel = parallel ? 1 : 0;
  size.m_block.method = method;
  // The image-size dialog's settings.
  size.m_block.clearEdge = 1;
  size.m_block.detail = 75;
  size.m_block.sharpness = 35;
  return size.ResizeByMethod(source, target, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
}

// range(0): 1 runs on the helper threads.
void BM_TesseraReduce(benchmark::State& state) {
  CBgraImage16 target;
  for (auto _ : state) {
    if (!TesseraResize(Picture(), target, kSizeAdvanced, kReducedWidth, kReducedHeight, state.range(0) != 0))
      state.SkipWithError("resize failed");
    benchmark::DoNotOptimize(target.pixels);
  }
}

// range(0): the method (4 or 5), range(1): 1 on the helper threads.
void BM_TesseraEnlarge(benchmark::State& state) {
  CBgraImage16 target;
  for (auto _ : state) {
    if (!TesseraResize(Small(), target, static_cast<std::int32_t>(state.range(0)), 2 * kSmallWidth,
                       2 * kSmallHeight, state.range(1) != 0))
      state.SkipWithError("resize failed");
    benchmark::DoNotOptimize(target.pixels);
  }
}

// ---- Peers -------------------------------------------------------------------------------------------

void BM_VipsReduce(benchmark::State& state) {
  const std::string in = Quoted(PicturePath()), out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string threads = " --vips-concurrency=" + std::to_string(Threads());
  TimeToolOperation(state, "vips", !PicturePath().empty(),
                    "vips resize " + in + " " + out + " 0.25" + threads,
                    "vips copy " + in + " " + out + threads);
}

void BM_VipsEnlarge(benchmark::State& state) {
  const std::string in = Quoted(SmallPath()), out = Quoted((PeerWorkFolder() / "out.v").string());
  const std::string threads = " --vips-concurrency=" + std::to_string(Threads());
  TimeToolOperation(state, "vips", !SmallPath().empty(), "vips resize " + in + " " + out + " 2" + threads,
                    "vips copy " + in + " " + out + threads);
}

#if defined(TESSERA_BENCH_OPENCV)
cv::Mat View(const CBgraImage16& image) {
  return cv::Mat(static_cast<int>(image.height), static_cast<int>(image.width), CV_16UC4,
                 const_cast<std::uint16_t*>(image.pixels), image.Stride() * sizeof(std::uint16_t));
}

// range(0): the interpolation, range(1): 0 reduces, 1 enlarges, range(2): threads.
void BM_OpenCv(benchmark::State& state) {
  const int before = cv::getNumThreads();
  cv::setNumThreads(static_cast<int>(state.range(2)));
  const bool enlarge = state.range(1) != 0;
  const cv::Mat in = View(enlarge ? Small() : Picture());
  const cv::Size size =
      enlarge ? cv::Size(2 * kSmallWidth, 2 * kSmallHeight) : cv::Size(kReducedWidth, kReducedHeight);
  cv::Mat out;
  for (auto _ : state) {
    cv::resize(in, out, size, 0, 0, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(out.data);
  }
  cv::setNumThreads(before);
}
#endif

// ---- Quality -----------------------------------------------------------------------------------------

// PSNR over B, G and R of two pictures of one size, in 16-bit values.
double Psnr(const CBgraImage16& a, const CBgraImage16& b) {
  if (a.width != b.width || a.height != b.height || a.IsEmpty()) return 0;
  double sum = 0;
  const std::size_t n = std::size_t{a.width} * a.height;
  for (std::size_t i = 0; i < n; ++i) {
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(a.pixels[i * 4 + c]) - b.pixels[i * 4 + c];
      sum += d * d;
    }
  }
  return sum == 0 ? 999.0 : 10 * std::log10(65535.0 * 65535.0 / (sum / (3.0 * n)));
}

// The next number of a PPM header, past white space and comment lines.
bool PpmNumber(std::FILE* f, unsigned& value) {
  int c = std::fgetc(f);
  while (c == '#' || std::isspace(c)) {
    if (c == '#') {
      while (c != '\n' && c != EOF) c = std::fgetc(f);
    }
    c = std::fgetc(f);
  }
  if (c == EOF || !std::isdigit(c)) return false;
  value = 0;
  while (std::isdigit(c)) {
    value = value * 10 + static_cast<unsigned>(c - '0');
    c = std::fgetc(f);
  }
  return true;  // the one white-space character after the number is read
}

// A 16-bit binary PPM as written by WritePpm16 and vips; empty on failure.
CBgraImage16 ReadPpm16(const std::filesystem::path& file) {
  CBgraImage16 image;
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return image;
  unsigned w = 0, h = 0, max = 0;
  if (std::fgetc(f) == 'P' && std::fgetc(f) == '6' && PpmNumber(f, w) && PpmNumber(f, h) &&
      PpmNumber(f, max) && max == 65535 && w && h && image.Create(w, h)) {
    std::vector<std::uint8_t> row(std::size_t{w} * 6);
    for (std::uint32_t y = 0; y < h; ++y) {
      if (std::fread(row.data(), 1, row.size(), f) != row.size()) {
        image.Free();
        break;
      }
      std::uint16_t* p = image.Row(y);
      for (std::uint32_t x = 0; x < w; ++x, p += 4) {
        for (int c = 0; c < 3; ++c)
          p[2 - c] = static_cast<std::uint16_t>(row[x * 6 + c * 2] << 8 | row[x * 6 + c * 2 + 1]);
        p[3] = 65535;
      }
    }
  }
  std::fclose(f);
  return image;
}

// vips resize of file by scale with its default kernel, read back.
CBgraImage16 VipsResult(const CBgraImage16& source, double scale) {
  const std::filesystem::path in = PeerWorkFolder() / "quality-in.ppm",
                              out = PeerWorkFolder() / "quality-out.ppm";
  if (!HasTool("vips") || !WritePpm16(source, in)) return {};
  const std::string command = "vips resize " + Quoted(in.string()) + " " + Quoted(out.string()) + " " +
                              std::to_string(scale) + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0 ? ReadPpm16(out) : CBgraImage16{};
}

// The reduction brought back to the original's size by the common cubic.
double ReductionRoundTrip(const CBgraImage16& reduced) {
  const CBgraImage16& original = ReductionOriginal();
  CBgraImage16 back;
  if (reduced.IsEmpty() || !TesseraResize(reduced, back, kSizeBicubic, original.width, original.height, true))
    return 0;
  return Psnr(original, back);
}

void PrintQuality() {
  const CBgraImage16& reduceFrom = ReductionOriginal();
  const std::uint32_t rw = reduceFrom.width / 4, rh = reduceFrom.height / 4;
  std::printf("\nround-trip PSNR (%s):\n",
              CameraPhoto().IsEmpty() ? "synthetic picture; the camera photo is missing" : "camera photo");
  CBgraImage16 out;
  std::printf("  reduce to a quarter, back by one cubic:\n");
  if (TesseraResize(reduceFrom, out, kSizeAdvanced, rw, rh, true))
    std::printf("    Tessera ResizeSmart          %6.2f dB\n", ReductionRoundTrip(out));
  const CBgraImage16 vipsReduced = VipsResult(reduceFrom, 0.25);
  if (!vipsReduced.IsEmpty())
    std::printf("    vips lanczos3                %6.2f dB\n", ReductionRoundTrip(vipsReduced));
#if defined(TESSERA_BENCH_OPENCV)
  for (const auto& [interpolation, name] :
       {std::pair{cv::INTER_AREA, "INTER_AREA"}, std::pair{cv::INTER_LANCZOS4, "INTER_LANCZOS4"}}) {
    cv::Mat small;
    cv::resize(View(reduceFrom), small, cv::Size(static_cast<int>(rw), static_cast<int>(rh)), 0, 0,
               interpolation);
    CBgraImage16 result;
    RequireSetup(result.Create(rw, rh), "picture memory");
    for (std::uint32_t y = 0; y < rh; ++y)
      std::memcpy(result.Row(y), small.ptr(static_cast<int>(y)), std::size_t{rw} * 8);
    std::printf("    OpenCV %-21s %6.2f dB\n", name, ReductionRoundTrip(result));
  }
#endif
  std::printf("  enlarge the 2 x 2 box mean twice, against the original:\n");
  const CBgraImage16& original = LargeOriginal();
  if (TesseraResize(Small(), out, kSizeAdvanced, original.width, original.height, true))
    std::printf("    Tessera ResizeSmart          %6.2f dB\n", Psnr(original, out));
  if (TesseraResize(Small(), out, kSizeDouble, original.width, original.height, true))
    std::printf("    Tessera double size          %6.2f dB\n", Psnr(original, out));
  const CBgraImage16 vipsLarge = VipsResult(Small(), 2);
  if (!vipsLarge.IsEmpty())
    std::printf("    vips lanczos3                %6.2f dB\n", Psnr(original, vipsLarge));
#if defined(TESSERA_BENCH_OPENCV)
  for (const auto& [interpolation, name] :
       {std::pair{cv::INTER_AREA, "INTER_AREA"}, std::pair{cv::INTER_LANCZOS4, "INTER_LANCZOS4"}}) {
    cv::Mat large;
    cv::resize(View(Small()), large,
               cv::Size(static_cast<int>(original.width), static_cast<int>(original.height)), 0, 0,
               interpolation);
    CBgraImage16 result;
    RequireSetup(result.Create(original.width, original.height), "picture memory");
    for (std::uint32_t y = 0; y < original.height; ++y)
      std::memcpy(result.Row(y), large.ptr(static_cast<int>(y)), std::size_t{original.width} * 8);
    std::printf("    OpenCV %-21s %6.2f dB\n", name, Psnr(original, result));
  }
#endif
}

// ---- Registration and the comparison -----------------------------------------------------------------

void Register() {
  const auto inProcess = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
  };
  const auto tool = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
  };
  inProcess(
      benchmark::RegisterBenchmark("BM_TesseraReduce", BM_TesseraReduce)->ArgName("helpers")->Arg(1)->Arg(0));
  inProcess(benchmark::RegisterBenchmark("BM_TesseraEnlarge", BM_TesseraEnlarge)
                ->ArgNames({"method", "helpers"})
                ->Args({kSizeAdvanced, 1})
                ->Args({kSizeAdvanced, 0})
                ->Args({kSizeDouble, 1}));
  tool(benchmark::RegisterBenchmark("BM_VipsReduce", BM_VipsReduce));
  tool(benchmark::RegisterBenchmark("BM_VipsEnlarge", BM_VipsEnlarge));
#if defined(TESSERA_BENCH_OPENCV)
  auto* opencv =
      benchmark::RegisterBenchmark("BM_OpenCv", BM_OpenCv)->ArgNames({"interpolation", "enlarge", "threads"});
  for (const std::int64_t enlarge : {0, 1}) {
    for (const std::int64_t interpolation : {cv::INTER_AREA, cv::INTER_LANCZOS4}) {
      for (const std::int64_t threads : {std::int64_t{1}, Threads()})
        opencv->Args({interpolation, enlarge, threads});
    }
  }
  inProcess(opencv);
#endif
}

void PrintComparison(const RatioTable& table) {
  const std::string threads = std::to_string(Threads());
  const auto line = [&](const std::string& ours, const std::string& peer, const std::string& label) {
    std::printf("  %s\n", table.Compare(ours, peer, label).c_str());
  };
  std::printf("\nreduce 6000 x 4000 to 1500 x 1000 (ResizeSmart, area reduction):\n");
  line("BM_TesseraReduce/helpers:1", "BM_VipsReduce", "vips lanczos3");
#if defined(TESSERA_BENCH_OPENCV)
  const auto opencv = [&](const std::string& ours, int enlarge, int interpolation, const char* name,
                          const std::string& count) {
    line(ours,
         "BM_OpenCv/interpolation:" + std::to_string(interpolation) + "/enlarge:" + std::to_string(enlarge) +
             "/threads:" + count,
         std::string("OpenCV ") + name + " on " + count + " thread" + (count == "1" ? "" : "s"));
  };
  for (const auto& [interpolation, name] :
       {std::pair{cv::INTER_AREA, "INTER_AREA"}, std::pair{cv::INTER_LANCZOS4, "INTER_LANCZOS4"}}) {
    opencv("BM_TesseraReduce/helpers:1", 0, interpolation, name, threads);
    opencv("BM_TesseraReduce/helpers:0", 0, interpolation, name, "1");
  }
#endif
  for (const std::int64_t method : {kSizeAdvanced, kSizeDouble}) {
    const std::string ours = "BM_TesseraEnlarge/method:" + std::to_string(method) + "/helpers:";
    std::printf("\nenlarge 2000 x 1500 twice (%s):\n",
                method == kSizeAdvanced ? "ResizeSmart, banded triple-size" : "double size");
    line(ours + "1", "BM_VipsEnlarge", "vips lanczos3");
#if defined(TESSERA_BENCH_OPENCV)
    for (const auto& [interpolation, name] :
         {std::pair{cv::INTER_AREA, "INTER_AREA"}, std::pair{cv::INTER_LANCZOS4, "INTER_LANCZOS4"}}) {
      opencv(ours + "1", 1, interpolation, name, threads);
      if (method == kSizeAdvanced) opencv(ours + "0", 1, interpolation, name, "1");
    }
#endif
    if (method == kSizeAdvanced) {
      std::printf("  on %s helper threads against one: %s\n", threads.c_str(),
                  table.Compare(ours + "1", ours + "0", "one thread").c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RequireSetup(theAlgorithmThread.Start() == 1, "the algorithm thread");
  InstallEnlargeFilters();
  Threads();
  Picture();
  Small();
  Register();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintComparison(reporter.table);
  PrintQuality();
  // The process ends: a thread that does not join in time is left.
  static_cast<void>(theAlgorithmThread.Shutdown());
  RemovePeerWorkFolder();
#if !defined(TESSERA_BENCH_OPENCV)
  std::printf("OpenCV not found: no OpenCV runs (bench/install-peers.sh installs it)\n");
#endif
  return 0;
}
