// Camera RAW files from outside, through LibRaw: the embedded preview as the
// image-file layer loads it, and the full development into the 16-bit
// working image. LibRaw only reads paths, so the bytes go to a scratch file.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/CameraRaw.h"
#include "image/ImageCodec.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseOneOpenMpThread();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto path = FuzzScratchFile("camera.dng");
  WriteFuzzFile(path, std::span<const std::uint8_t>(data, size));

  CBgraImage preview;
  if (LoadImageAsBgra(path, preview)) FuzzCheck(!preview.IsEmpty(), "a loaded preview has pixels");

  const std::lock_guard<std::mutex> lock(RawDecodeLock);
  CBgraImage16 developed;
  if (LoadRawImage(path, developed)) FuzzCheck(!developed.IsEmpty(), "a developed image has pixels");
  return 0;
}
