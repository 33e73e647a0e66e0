// Opening a JPEG into the 16-bit layer image as the document opener does
// (LoadSmoothedJpeg: decode, chroma smoothing and conversion), against
// tjbench's decode of the same file on one thread, for a 24-megapixel
// photo-like picture, the shared bench picture and, when the test-data cache
// holds it, a 20-megapixel camera photo. The open runs into a fresh layer, as
// the opener does (every page of the 192 MB layer is faulted in), and into
// layer memory that the heap hands back from the previous run (no page
// faults: the open's own work). On the photo-like picture also: the same
// pixels by the separate steps; the decode to the working image without the
// smoothing; to 8-bit BGRA alone; and at 1/8 scale (the thumbnail road:
// DecodeJpegDcOnly), against djpeg and djpeg -scale 1/8, whose times include
// starting the process and writing its output to /dev/null. The fresh opens
// run first and report the process's peak memory, which only grows; the test
// files are written by a child process, so that making them is not counted.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bench/BenchPicture.h"
#include "bench/PeakMemory.h"
#include "bench/PeerTools.h"
#include "bench/RatioReporter.h"
#include "document/SmoothJpegChroma.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorTables.h"
#include "image/ImageCodec.h"
#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageJPG.h"

namespace {

struct JpegFile {
  std::string label;
  std::filesystem::path path;
  double megapixels;
};

// A photo-like picture (smooth gradients with fine noise in every channel)
// saved at quality 90 with half-resolution chroma, as cameras write: about
// 10 MB, the size of a camera's 24-megapixel JPEG.
bool WritePhotoLike(const std::filesystem::path& path) {
  CCodecImage picture;
  if (!picture.Create(kWidth, kHeight, 24, CodecFormat::Jpeg)) return false;
  std::uint32_t state = 1;
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    std::uint8_t* p = picture.GetBits() + std::size_t{kHeight - 1 - y} * picture.GetRowStride();
    for (std::uint32_t x = 0; x < kWidth; ++x, p += 3) {
      state = state * 1664525u + 1013904223u;
      const std::uint32_t noise = state >> 28;
      p[0] = static_cast<std::uint8_t>((x / 24 + y / 40 + noise) % 256);
      p[1] = static_cast<std::uint8_t>((x / 30 + 2 * noise + 60) % 256);
      p[2] = static_cast<std::uint8_t>((y / 16 + noise + 120) % 256);
    }
  }
  picture.attributes.quality = 90;
  return picture.Save(path, CodecFormat::Jpeg);
}

// The shared bench picture at quality 90 with half-resolution chroma: its
// noise is finer, so the file is only about 1 MB and decodes fast.
bool WriteBenchPicture(const std::filesystem::path& path) {
  CBgraImage picture;
  return Picture().ToBgraImage(picture) && SaveJpegFile(JpegSaveOptions{}, path, picture, 90);
}

// Runs write(path) in a child process.
bool WriteInChild(bool (*write)(const std::filesystem::path&), const std::filesystem::path& path) {
  const pid_t child = fork();
  if (child == 0) _exit(write(path) ? 0 : 1);
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const std::vector<JpegFile>& Files() {
  static const std::vector<JpegFile> files = [] {
    std::vector<JpegFile> list;
    const double megapixels = kWidth * static_cast<double>(kHeight) / 1e6;
    const std::filesystem::path photoLike = PeerWorkFolder() / "photo-like.jpg";
    const std::filesystem::path benchPicture = PeerWorkFolder() / "bench-picture.jpg";
    if (WriteInChild(WritePhotoLike, photoLike)) list.push_back({"photo-like", photoLike, megapixels});
    if (WriteInChild(WriteBenchPicture, benchPicture))
      list.push_back({"bench-picture", benchPicture, megapixels});
    const std::filesystem::path camera = BenchCameraPhoto();
    if (!camera.empty()) list.push_back({"camera-photo", camera, 6028 * 3391 / 1e6});
    return list;
  }();
  return files;
}

void SetRate(benchmark::State& state, double megapixels) {
  state.counters["MP/s"] = benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}

bool Open(benchmark::State& state, const JpegFile& file) {
  CBgraImage16 layer;
  if (!LoadSmoothedJpeg(file.path, layer, 1)) {
    state.SkipWithError("decode failed");
    return false;
  }
  benchmark::DoNotOptimize(layer.pixels);
  return true;
}

void BM_OpenJpeg(benchmark::State& state, const JpegFile& file) {
  BuildGammaTables();
  for (auto _ : state) {
    if (!Open(state, file)) break;
  }
  SetRate(state, file.megapixels);
  state.counters["peak_MiB"] = PeakResidentMiB();
}

// While it lives, large blocks come from the heap and stay there when freed,
// so a layer of the size freed last reuses pages that are already mapped.
class ReusedHeapMemory {
public:
  ReusedHeapMemory() {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
  }
  ~ReusedHeapMemory() {
    mallopt(M_MMAP_MAX, 65536);  // glibc's defaults
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    malloc_trim(0);
  }
};

void BM_OpenJpegReusedMemory(benchmark::State& state, const JpegFile& file) {
  BuildGammaTables();
  const ReusedHeapMemory heap;
  if (!Open(state, file)) return;  // maps the pages once
  for (auto _ : state) {
    if (!Open(state, file)) break;
  }
  SetRate(state, file.megapixels);
}

// tjbench's decode of the file from memory into a buffer it keeps (B, G, R,
// X, as ours is B, G, R, A), in seconds per decode by its own clock; -1 when
// it fails or is missing.
double TjbenchSeconds(const std::filesystem::path& path) {
  const std::string command =
      "tjbench " + Quoted(path.string()) + " -bgrx -benchtime 2 -warmup 0.5 -nowrite 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  double fps = 0;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    const char* rate = std::strstr(line, "Frame rate:");
    if (rate && fps == 0) fps = std::atof(rate + std::strlen("Frame rate:"));
  }
  const int status = pclose(pipe);
  return status == 0 && fps > 0 ? 1 / fps : -1;
}

void BM_Tjbench(benchmark::State& state, const JpegFile& file) {
  if (!HasTool("tjbench")) {
    state.SkipWithError("tjbench is not installed (bench/install-peers.sh)");
    return;
  }
  for (auto _ : state) {
    const double seconds = TjbenchSeconds(file.path);
    if (seconds < 0) {
      state.SkipWithError("tjbench failed");
      break;
    }
    state.SetIterationTime(seconds);
  }
  SetRate(state, file.megapixels);
}

// The same pixels by the separate steps, with the whole 8-bit picture between.
void BM_OpenInSteps(benchmark::State& state, const JpegFile& file) {
  BuildGammaTables();
  for (auto _ : state) {
    CBgraImage picture;
    CBgraImage16 layer;
    if (!LoadImageAsBgra(file.path, picture)) {
      state.SkipWithError("decode failed");
      break;
    }
    SmoothJpegChroma(picture);
    if (!layer.FromBgraImage(picture, 1)) {
      state.SkipWithError("conversion failed");
      break;
    }
    benchmark::DoNotOptimize(layer.pixels);
  }
  SetRate(state, file.megapixels);
}

void BM_DecodeToWorkingImage(benchmark::State& state, const JpegFile& file) {
  BuildGammaTables();
  for (auto _ : state) {
    CBgraImage image;
    CBgraImage16 working;
    if (!LoadImageAsBgra(file.path, image) || !working.FromBgraImage(image, 1)) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(working.pixels);
  }
  SetRate(state, file.megapixels);
}

// The decode alone, without the conversion to the working image.
void BM_DecodeToBgra(benchmark::State& state, const JpegFile& file) {
  for (auto _ : state) {
    CBgraImage image;
    if (!LoadImageAsBgra(file.path, image)) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(image.pixels);
  }
  SetRate(state, file.megapixels);
}

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

void BM_DecodeDcOnly(benchmark::State& state, const JpegFile& file) {
  for (auto _ : state) {
    const std::unique_ptr<std::FILE, FileCloser> handle(std::fopen(file.path.c_str(), "rb"));
    CCodecFileStream stream(handle.get());
    CCodecImageJPG image;
    if (!handle || !image.DecodeJpegDcOnly(stream)) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(image.GetBits());
  }
  SetRate(state, file.megapixels);
}

void RunDjpeg(benchmark::State& state, const JpegFile& file, const std::string& options) {
  const std::string command = "djpeg " + options + " -outfile /dev/null " + Quoted(file.path.string());
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("djpeg failed (bench/install-peers.sh installs libjpeg-turbo-progs)");
      break;
    }
  }
  SetRate(state, file.megapixels);
}

void BM_Djpeg(benchmark::State& state, const JpegFile& file) { RunDjpeg(state, file, ""); }
void BM_DjpegScale8(benchmark::State& state, const JpegFile& file) { RunDjpeg(state, file, "-scale 1/8"); }

using Case = void (*)(benchmark::State&, const JpegFile&);

// A peer that times itself reports manual time; every other case real time.
void Register(const char* name, Case run, const JpegFile& file, int iterations, bool manualTime = false) {
  benchmark::internal::Benchmark* b =
      benchmark::RegisterBenchmark((std::string(name) + "/" + file.label).c_str(), run, file)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(iterations);
  if (manualTime) {
    b->UseManualTime();
  } else {
    b->UseRealTime();
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::vector<JpegFile>& files = Files();
  if (files.empty()) std::fprintf(stderr, "cannot write the test files in %s\n", PeerWorkFolder().c_str());
  for (const JpegFile& file : files) Register("BM_OpenJpeg", BM_OpenJpeg, file, 3);
  for (const JpegFile& file : files) Register("BM_OpenJpegReusedMemory", BM_OpenJpegReusedMemory, file, 5);
  for (const JpegFile& file : files) Register("BM_Tjbench", BM_Tjbench, file, 1, true);
  if (!files.empty() && files[0].label == "photo-like") {
    const JpegFile& photo = files[0];
    Register("BM_OpenInSteps", BM_OpenInSteps, photo, 3);
    Register("BM_DecodeToWorkingImage", BM_DecodeToWorkingImage, photo, 3);
    Register("BM_DecodeToBgra", BM_DecodeToBgra, photo, 3);
    Register("BM_Djpeg", BM_Djpeg, photo, 3);
    Register("BM_DecodeDcOnly", BM_DecodeDcOnly, photo, 5);
    Register("BM_DjpegScale8", BM_DjpegScale8, photo, 5);
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // The open's target is at most 1.5x tjbench's time.
  const RatioTable& table = reporter.table;
  for (const JpegFile& file : files) {
    const std::string peer = "BM_Tjbench/" + file.label;
    std::printf("JPEG open, %s, into a fresh layer: %s\n", file.label.c_str(),
                table.Compare("BM_OpenJpeg/" + file.label, peer, "tjbench").c_str());
    std::printf("JPEG open, %s, into reused layer memory: %s\n", file.label.c_str(),
                table.Compare("BM_OpenJpegReusedMemory/" + file.label, peer, "tjbench").c_str());
  }
  if (!files.empty() && files[0].label == "photo-like") {
    for (const auto& [ours, peer, label] :
         {std::tuple{"BM_OpenJpeg/photo-like", "BM_OpenInSteps/photo-like", "the opener in steps"},
          std::tuple{"BM_DecodeToWorkingImage/photo-like", "BM_Djpeg/photo-like", "djpeg"},
          std::tuple{"BM_DecodeToBgra/photo-like", "BM_Djpeg/photo-like", "djpeg"},
          std::tuple{"BM_DecodeDcOnly/photo-like", "BM_DjpegScale8/photo-like", "djpeg -scale 1/8"}}) {
      std::printf("%s: %s\n", ours, table.Compare(ours, peer, label).c_str());
    }
  }
  RemovePeerWorkFolder();
  return 0;
}
