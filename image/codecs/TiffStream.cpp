#include "image/codecs/TiffStream.h"

#include <cstdint>
#include <limits>
#include <span>

#include "image/PixelBlock.h"
#include "image/codecs/CodecMemStream.h"
#include "image/codecs/CodecStream.h"

namespace {

// libtiff's failed-seek value: it compares the result with the offset asked for.
constexpr toff_t kSeekFailed = static_cast<toff_t>(-1);

CCodecStream& StreamOf(thandle_t handle) { return *static_cast<CCodecStream*>(handle); }

tmsize_t TiffStreamRead(thandle_t handle, void* buffer, tmsize_t size) {
  if (size <= 0) return 0;
  return static_cast<tmsize_t>(StreamOf(handle).Read(buffer, 1, static_cast<std::size_t>(size)));
}

tmsize_t TiffStreamWrite(thandle_t handle, void* buffer, tmsize_t size) {
  if (size <= 0) return 0;
  return static_cast<tmsize_t>(StreamOf(handle).Write(buffer, 1, static_cast<std::size_t>(size)));
}

// Offsets are 64-bit here and 32-bit at the codec stream; one that does not
// fit fails rather than wrapping.
toff_t TiffStreamSeek(thandle_t handle, toff_t offset, int whence) {
  CCodecStream& stream = StreamOf(handle);
  const auto signedOffset = static_cast<std::int64_t>(offset);  // relative seeks may go back
  if (signedOffset < std::numeric_limits<std::int32_t>::min() ||
      signedOffset > std::numeric_limits<std::int32_t>::max()) {
    return kSeekFailed;
  }
  std::int32_t origin = CCodecStream::kFromStart;
  if (whence == SEEK_CUR) {
    origin = CCodecStream::kFromCurrent;
  } else if (whence == SEEK_END) {
    origin = CCodecStream::kFromEnd;
  } else if (whence != SEEK_SET) {
    return kSeekFailed;
  }
  if (!stream.Seek(static_cast<std::int32_t>(signedOffset), origin)) return kSeekFailed;
  const std::int32_t position = stream.Tell();
  return position < 0 ? kSeekFailed : static_cast<toff_t>(position);
}

int TiffStreamClose(thandle_t) { return 0; }

toff_t TiffStreamSize(thandle_t handle) {
  const std::int32_t size = StreamOf(handle).Size();
  return size < 0 ? 0 : static_cast<toff_t>(size);
}

// A memory stream is mapped in place, any other stream through a copy of its
// bytes that the unmap frees. libtiff maps only handles opened to read and
// never writes into the map.
int TiffStreamMap(thandle_t handle, void** base, toff_t* size) {
  CCodecStream& stream = StreamOf(handle);
  if (const auto* memory = dynamic_cast<const CCodecMemStream*>(&stream)) {
    const std::span<const std::uint8_t> bytes = memory->Bytes();
    if (bytes.empty()) return 0;
    *base = const_cast<std::uint8_t*>(bytes.data());
    *size = bytes.size();
    return 1;
  }
  const std::int32_t length = stream.Size();
  const std::int32_t position = stream.Tell();
  if (length <= 0 || position < 0) return 0;
  PixelBlock copy = AllocPixelBlock(static_cast<std::uint64_t>(length));
  if (!copy) return 0;
  const auto count = static_cast<std::size_t>(length);
  const bool read = stream.Seek(0, CCodecStream::kFromStart) && stream.Read(copy.get(), 1, count) == count;
  if (!stream.Seek(position, CCodecStream::kFromStart) || !read) return 0;
  *base = copy.release();
  *size = count;
  return 1;
}

void TiffStreamUnmap(thandle_t handle, void* base, toff_t) {
  if (dynamic_cast<const CCodecMemStream*>(&StreamOf(handle))) return;
  const PixelBlock copy(static_cast<std::uint8_t*>(base));  // freed here
}

int TiffDropMessage(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // handled: the process-wide handlers are not called
}

struct TiffOptionsFree {
  void operator()(TIFFOpenOptions* options) const noexcept { TIFFOpenOptionsFree(options); }
};

}  // namespace

TiffHandle TiffStreamOpen(CCodecStream& stream, const char* mode) {
  const std::unique_ptr<TIFFOpenOptions, TiffOptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), TiffDropMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), TiffDropMessage, nullptr);
  return TiffHandle(TIFFClientOpenExt("TIFF IMAGE", mode, &stream, TiffStreamRead, TiffStreamWrite,
                                      TiffStreamSeek, TiffStreamClose, TiffStreamSize, TiffStreamMap,
                                      TiffStreamUnmap, options.get()));
}
