// Load, save, decode and encode by format code.
//
// Every codec class is one row of kCodecs. A class that defines
// `bool Decode(CCodecStream&)` can be read and one that defines
// `bool Encode(CCodecStream&)` can be written; the row finds out which at
// compile time. A format without a row, or without the operation asked for,
// fails with "Unsupported operation for this format". To add a codec, write
// its class (deriving from CCodecImage, adding no fields or virtual
// operations) in its own file, include its header here and add its row.
//
// Decoding runs a codec object of that format on the stack, with this image's
// side limit, and, on success, this image takes over its result; on failure
// only lastError (and, for the formats that pick one image of a multi-image
// file, frameCount) changes.
// Encoding runs a codec object that borrows this image's block.

#include <concepts>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>

#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageBMP.h"
#include "image/codecs/CodecImageGIF.h"
#include "image/codecs/CodecImageICO.h"
#include "image/codecs/CodecImageJPG.h"
#include "image/codecs/CodecImagePCX.h"
#include "image/codecs/CodecImagePNG.h"
#include "image/codecs/CodecImageTGA.h"
#include "image/codecs/CodecImageTIF.h"
#include "image/codecs/CodecImageWBMP.h"
#include "image/codecs/CodecImageWMF.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/AtomicFile.h"

namespace {

constexpr char kUnsupported[] = "Unsupported operation for this format";

// Whether frameIndex chooses the image to read from a multi-image file.
enum class Frames { Single, Selectable };

using CodecOperation = bool (*)(CCodecImage& image, CCodecStream& stream);

struct CodecRow {
  CodecFormat format;
  CodecOperation decode;  // null: the format cannot be read
  CodecOperation encode;  // null: the format cannot be written
};

template <typename Codec>
concept Decoder = requires(Codec& codec, CCodecStream& stream) {
  { codec.Decode(stream) } -> std::same_as<bool>;
};

template <typename Codec>
concept Encoder = requires(Codec& codec, CCodecStream& stream) {
  { codec.Encode(stream) } -> std::same_as<bool>;
};

// A codec's failure ends at its boundary, whatever it threw.
template <typename Body>
[[nodiscard]] bool Guarded(CCodecImage& codec, Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    codec.SetLastError("Out of memory");
  } catch (const std::exception& error) {
    codec.SetLastError(error.what());
  } catch (...) {
    codec.SetLastError("Codec failure");
  }
  return false;
}

template <typename Codec, Frames kFrames>
[[nodiscard]] bool DecodeWith(CCodecImage& image, CCodecStream& stream) {
  Codec codec;
  codec.attributes.maxSide = image.attributes.maxSide;
  if constexpr (kFrames == Frames::Selectable) codec.attributes.frameIndex = image.attributes.frameIndex;
  if (Guarded(codec, [&] { return codec.Decode(stream); })) {
    image.TakeFrom(codec);
    return true;
  }
  image.SetLastError(codec.GetLastError());
  if constexpr (kFrames == Frames::Selectable) image.attributes.frameCount = codec.attributes.frameCount;
  return false;
}

template <typename Codec>
[[nodiscard]] bool EncodeWith(CCodecImage& image, CCodecStream& stream) {
  Codec codec;
  codec.ShareFrom(image);
  if (Guarded(codec, [&] { return codec.Encode(stream); })) return true;
  image.SetLastError(codec.GetLastError());
  return false;
}

template <typename Codec, Frames kFrames = Frames::Single>
constexpr CodecRow Row(CodecFormat format) {
  static_assert(Decoder<Codec> || Encoder<Codec>,
                "a codec class defines bool Decode(CCodecStream&), bool Encode(CCodecStream&) or both");
  CodecRow row{format, nullptr, nullptr};
  if constexpr (Decoder<Codec>) row.decode = &DecodeWith<Codec, kFrames>;
  if constexpr (Encoder<Codec>) row.encode = &EncodeWith<Codec>;
  return row;
}

// One row per codec class.
constexpr CodecRow kCodecs[] = {
    Row<CCodecImageBMP>(CodecFormat::Bmp),
    Row<CCodecImageGIF, Frames::Selectable>(CodecFormat::Gif),
    Row<CCodecImageICO, Frames::Selectable>(CodecFormat::Ico),
    Row<CCodecImageJPG>(CodecFormat::Jpeg),
    Row<CCodecImagePNG>(CodecFormat::Png),
    Row<CCodecImageTIF, Frames::Selectable>(CodecFormat::Tiff),
    Row<CCodecImageTGA>(CodecFormat::Tga),
    Row<CCodecImagePCX>(CodecFormat::Pcx),
    Row<CCodecImageWBMP>(CodecFormat::Wbmp),
    Row<CCodecImageWMF>(CodecFormat::Wmf),
};

const CodecRow* FindCodec(CodecFormat format) {
  for (const CodecRow& row : kCodecs) {
    if (row.format == format) return &row;
  }
  return nullptr;
}

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

bool CCodecImage::Decode(CCodecStream& stream, CodecFormat format) {
  const CodecRow* row = FindCodec(format);
  if (!row || !row->decode) {
    SetLastError(kUnsupported);
    return false;
  }
  return row->decode(*this, stream);
}

bool CCodecImage::Encode(CCodecStream& stream, CodecFormat format) {
  const CodecRow* row = FindCodec(format);
  if (!row || !row->encode) {
    SetLastError(kUnsupported);
    return false;
  }
  if (IsEmpty()) {
    SetLastError("Empty image");
    return false;
  }
  return row->encode(*this, stream);
}

bool CCodecImage::Encode(PixelBlock& encoded, std::uint32_t& size) {
  if (encoded) return false;
  CCodecMemStream stream;
  if (!Encode(stream, CodecFormat::Jpeg)) return false;
  std::uint32_t written = 0;
  PixelBlock bytes = stream.TakeBuffer(written);
  if (!bytes) return false;
  encoded = std::move(bytes);
  size = written;
  return true;
}

bool CCodecImage::Load(const std::filesystem::path& path, CodecFormat format) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  return file && Load(file.get(), format);
}

bool CCodecImage::Load(std::FILE* file, CodecFormat format) {
  if (!file) return false;
  CCodecFileStream stream(file);
  return Decode(stream, format);
}

bool CCodecImage::Save(const std::filesystem::path& path, CodecFormat format) {
  CAtomicFile file;
  if (!file.Open(path)) return false;
  // Encode to memory first: the file is written only from a complete image,
  // and a short write abandons the temporary file.
  CCodecMemStream encoded;
  if (!Encode(encoded, format)) return false;
  const auto bytes = encoded.Bytes();
  return file.Write(bytes.data(), bytes.size()) && file.Commit();
}

bool CCodecImage::Save(std::FILE* file, CodecFormat format) {
  if (!file) return false;
  CCodecFileStream stream(file);
  return Encode(stream, format) && stream.Flush();
}
