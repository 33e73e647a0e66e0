// libjpeg glue for the JPEG codec.
//
// libjpeg leaves by its error exit, a longjmp to the return point that each
// operation sets first. Nothing between that point and the library's calls
// may own anything with a destructor: the functions run under the return
// point (the *Body functions, the stream callbacks) hold only plain locals,
// and every buffer they use lives in the library's own pools, in the
// adapter, or in an image or row sink that outlives the call. A row sink's
// own calls return before the library resumes, so no jump crosses them.

#include "image/codecs/CodecImageJPG.h"

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstring>

#include "image/BgraImage.h"
#include "image/ImageLoadError.h"
#include "image/codecs/BgraRowSink.h"
#include "image/codecs/CodecStream.h"

namespace {

// The stream is read and written in chunks of this size: in 4 KB pieces a
// camera's JPEG file costs a thousand reads or more.
constexpr std::size_t kChunkSize = 65536;

// A progressive file can carry any number of scans, each of which costs a
// pass over the whole picture; real files have a dozen or so.
constexpr int kMaxScans = 500;

struct JpegErrorManager {
  jpeg_error_mgr library;
  std::jmp_buf returnPoint;
  CCodecImage* image;  // receives the message
};

// Connects the library to a codec stream; reached from the library through
// client_data.
struct JpegStreamAdapter {
  jpeg_destination_mgr destination;
  jpeg_source_mgr source;
  CCodecStream* stream;
  JOCTET chunk[kChunkSize];
  bool startOfFile;
};

JpegErrorManager& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrorManager*>(cinfo->err); }

JpegStreamAdapter& AdapterOf(j_common_ptr cinfo) {
  return *static_cast<JpegStreamAdapter*>(cinfo->client_data);
}

[[noreturn]] void LeaveWithMessage(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  JpegErrorManager& errors = ErrorsOf(cinfo);
  // A side beyond the library's own maximum is above ours too: it reads the
  // same as every other picture that is too large.
  errors.image->SetLastError(cinfo->err->msg_code == JERR_IMAGE_TOO_BIG ? kImageTooLarge : message);
  std::longjmp(errors.returnPoint, 1);
}

[[noreturn]] void LeaveWithText(j_common_ptr cinfo, const char* text) {
  JpegErrorManager& errors = ErrorsOf(cinfo);
  errors.image->SetLastError(text);
  std::longjmp(errors.returnPoint, 1);
}

void ErrorExit(j_common_ptr cinfo) { LeaveWithMessage(cinfo); }

// Warnings are only counted by the library; nothing goes to stderr.
void OutputMessage(j_common_ptr) {}

jpeg_error_mgr* InstallErrorManager(JpegErrorManager& errors, CCodecImage& image) {
  jpeg_std_error(&errors.library);
  errors.library.error_exit = ErrorExit;
  errors.library.output_message = OutputMessage;
  errors.image = &image;
  return &errors.library;
}

void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    LeaveWithText(cinfo, "Too many scans in progressive JPEG");
  }
}

// ---- Stream callbacks ---------------------------------------------------------------

void InitDestination(j_compress_ptr cinfo) {
  JpegStreamAdapter& adapter = AdapterOf(reinterpret_cast<j_common_ptr>(cinfo));
  adapter.destination.next_output_byte = adapter.chunk;
  adapter.destination.free_in_buffer = kChunkSize;
}

// The stream classes do not throw, but a stream must never unwind through the
// library's frames: anything it throws becomes a library error.
[[nodiscard]] std::size_t WriteChunk(JpegStreamAdapter& adapter, std::size_t count) {
  try {
    return adapter.stream->Write(adapter.chunk, 1, count);
  } catch (...) {
    return 0;
  }
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  JpegStreamAdapter& adapter = AdapterOf(reinterpret_cast<j_common_ptr>(cinfo));
  if (WriteChunk(adapter, kChunkSize) != kChunkSize) ERREXIT(cinfo, JERR_FILE_WRITE);
  adapter.destination.next_output_byte = adapter.chunk;
  adapter.destination.free_in_buffer = kChunkSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  JpegStreamAdapter& adapter = AdapterOf(reinterpret_cast<j_common_ptr>(cinfo));
  const std::size_t pending = kChunkSize - adapter.destination.free_in_buffer;
  if (pending > 0 && WriteChunk(adapter, pending) != pending) ERREXIT(cinfo, JERR_FILE_WRITE);
  bool flushed = false;
  try {
    flushed = adapter.stream->Flush() && adapter.stream->Error() == 0;
  } catch (...) {
  }
  if (!flushed) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InitSource(j_decompress_ptr cinfo) {
  AdapterOf(reinterpret_cast<j_common_ptr>(cinfo)).startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  JpegStreamAdapter& adapter = AdapterOf(reinterpret_cast<j_common_ptr>(cinfo));
  std::size_t count = 0;
  bool failed = false;
  try {
    count = adapter.stream->Read(adapter.chunk, 1, kChunkSize);
    // A short read is the end of the data unless the stream says otherwise:
    // a read error must not pass for a truncated file.
    failed = count == 0 && adapter.stream->Error() != 0;
  } catch (...) {
    failed = true;
  }
  if (failed) ERREXIT(cinfo, JERR_FILE_READ);
  if (count == 0) {
    if (adapter.startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    adapter.chunk[0] = 0xFF;
    adapter.chunk[1] = JPEG_EOI;
    count = 2;
  }
  adapter.source.next_input_byte = adapter.chunk;
  adapter.source.bytes_in_buffer = count;
  adapter.startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  JpegStreamAdapter& adapter = AdapterOf(reinterpret_cast<j_common_ptr>(cinfo));
  auto remaining = static_cast<std::size_t>(count);
  while (remaining > adapter.source.bytes_in_buffer) {
    remaining -= adapter.source.bytes_in_buffer;
    FillInputBuffer(cinfo);
  }
  adapter.source.next_input_byte += remaining;
  adapter.source.bytes_in_buffer -= remaining;
}

void TermSource(j_decompress_ptr) {}

void AttachSource(jpeg_decompress_struct& cinfo, JpegStreamAdapter& adapter, CCodecStream& stream) {
  adapter.stream = &stream;
  adapter.source.init_source = InitSource;
  adapter.source.fill_input_buffer = FillInputBuffer;
  adapter.source.skip_input_data = SkipInputData;
  adapter.source.resync_to_restart = jpeg_resync_to_restart;
  adapter.source.term_source = TermSource;
  adapter.source.next_input_byte = nullptr;
  adapter.source.bytes_in_buffer = 0;
  cinfo.client_data = &adapter;
  cinfo.src = &adapter.source;
}

void AttachDestination(jpeg_compress_struct& cinfo, JpegStreamAdapter& adapter, CCodecStream& stream) {
  adapter.stream = &stream;
  adapter.destination.init_destination = InitDestination;
  adapter.destination.empty_output_buffer = EmptyOutputBuffer;
  adapter.destination.term_destination = TermDestination;
  cinfo.client_data = &adapter;
  cinfo.dest = &adapter.destination;
}

// ---- Runs under the return point ----------------------------------------------------

// Sets up a decompression of stream and runs body(cinfo); false with
// lastError set when the library or the body fails. The library object and
// the adapter live in this frame, the return point's.
template <typename Body>
[[nodiscard]] bool RunDecompress(CCodecImage& errorImage, CCodecStream& stream, Body&& body) {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager errors{};
  JpegStreamAdapter adapter{};
  jpeg_progress_mgr progress{};
  progress.progress_monitor = LimitScans;
  cinfo.err = InstallErrorManager(errors, errorImage);
  if (setjmp(errors.returnPoint)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  AttachSource(cinfo, adapter, stream);
  const bool ok = body(cinfo);
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

// Reads the header and refuses a picture beyond the image limits before the
// library allocates anything for it (a progressive decode keeps every
// coefficient of the picture).
[[nodiscard]] bool ReadHeaderWithinLimits(jpeg_decompress_struct& cinfo, CCodecImage& errorImage,
                                          std::uint32_t maxSide) {
  jpeg_read_header(&cinfo, TRUE);
  if (!FitsImageLimits(cinfo.image_width, cinfo.image_height, maxSide)) {
    errorImage.SetLastError(kImageTooLarge);
    return false;
  }
  cinfo.do_block_smoothing = FALSE;
  return true;
}

// B = Y x K / 255, G = M x K / 255, R = C x K / 255 for count pixels of
// stored (Adobe-inverted, 255 = no ink) CMYK; step is 3 or 4 output bytes.
void CmykToBgr(const JSAMPLE* cmyk, std::uint8_t* out, std::size_t count, std::size_t step) {
  for (std::size_t i = 0; i < count; ++i, cmyk += 4, out += step) {
    const unsigned k = cmyk[3];
    out[0] = static_cast<std::uint8_t>(cmyk[2] * k / 255);
    out[1] = static_cast<std::uint8_t>(cmyk[1] * k / 255);
    out[2] = static_cast<std::uint8_t>(cmyk[0] * k / 255);
  }
}

std::int32_t DotsPerInch(const jpeg_decompress_struct& cinfo, UINT16 density) {
  return cinfo.density_unit == 2 ? density * 254 / 100 : density;
}

[[nodiscard]] bool DecodeCodecBody(jpeg_decompress_struct& cinfo, CCodecImage& image,
                                   unsigned scaleDenominator) {
  if (!ReadHeaderWithinLimits(cinfo, image, image.attributes.maxSide)) return false;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_YCbCr:
    case JCS_RGB:
      // The bitmap's own byte order: no B, R exchange afterwards.
      cinfo.out_color_space = JCS_EXT_BGR;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      break;  // the library's choice; bytes are copied as they come
  }
  cinfo.scale_num = 1;
  cinfo.scale_denom = scaleDenominator;
  jpeg_start_decompress(&cinfo);

  const auto components = static_cast<std::size_t>(cinfo.output_components);
  if (!image.Create(cinfo.output_width, cinfo.output_height, static_cast<std::int32_t>(8 * components),
                    CodecFormat::Jpeg)) {
    image.SetLastError("Out of memory");
    return false;
  }
  image.SetXDPI(DotsPerInch(cinfo, cinfo.X_density));
  image.SetYDPI(DotsPerInch(cinfo, cinfo.Y_density));
  if (image.GetColorCount() != 0) image.SetGrayPalette();

  const std::size_t stride = image.GetRowStride();
  const std::size_t lineBytes = std::size_t{cinfo.output_width} * components;
  // One- and three-component lines fit the bitmap rows and go straight in;
  // CMYK and unusual component counts pass through a library buffer.
  const bool direct = components != 4 && lineBytes <= stride;
  JSAMPARRAY buffer = nullptr;
  if (!direct) {
    buffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                        static_cast<JDIMENSION>(lineBytes), 1);
  }
  const std::size_t height = image.GetHeight();
  while (cinfo.output_scanline < cinfo.output_height) {
    // Bitmap rows run bottom-up: the picture's top line is the last row.
    std::uint8_t* row = image.GetBits() + (height - 1 - cinfo.output_scanline) * stride;
    JSAMPROW line = direct ? row : buffer[0];
    jpeg_read_scanlines(&cinfo, &line, 1);
    if (direct) continue;
    if (components == 4) {
      CmykToBgr(buffer[0], row, std::min<std::size_t>(cinfo.output_width, stride / 3), 3);
    } else {
      std::memcpy(row, buffer[0], std::min(lineBytes, stride));
    }
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

// Rows asked of the library per call. A call returns at most what is left of
// one row group (8 to 32 rows), so the sink gets each group whole, while it
// is still in the cache.
constexpr std::uint32_t kBatchRows = 32;

[[nodiscard]] bool DecodeBgraBody(jpeg_decompress_struct& cinfo, CCodecImage& errorImage,
                                  CBgraRowSink& sink) {
  if (!ReadHeaderWithinLimits(cinfo, errorImage, kMaxImageSide)) return false;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      // BGRA rather than BGRX: the library then sets the fourth byte to 255.
      cinfo.out_color_space = JCS_EXT_BGRA;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      errorImage.SetLastError("Unsupported JPEG colour space");
      return false;
  }
  jpeg_start_decompress(&cinfo);
  std::uint8_t* const top = sink.BeginRows(cinfo.output_width, cinfo.output_height);
  if (!top) {
    errorImage.SetLastError("Out of memory");
    return false;
  }
  const std::size_t width = cinfo.output_width;
  const std::size_t stride = width * 4;
  const bool cmyk = cinfo.out_color_space == JCS_CMYK;
  JSAMPARRAY buffer = nullptr;
  if (cmyk) {
    buffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                        cinfo.output_width * 4, kBatchRows);
  }
  JSAMPROW lines[kBatchRows];
  while (cinfo.output_scanline < cinfo.output_height) {
    const std::uint32_t first = cinfo.output_scanline;
    const std::uint32_t wanted = std::min(kBatchRows, cinfo.output_height - first);
    for (std::uint32_t i = 0; i < wanted; ++i) lines[i] = cmyk ? buffer[i] : top + (first + i) * stride;
    const std::uint32_t count = jpeg_read_scanlines(&cinfo, lines, wanted);
    if (cmyk) {
      for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t* row = top + (first + i) * stride;
        CmykToBgr(buffer[i], row, width, 4);
        for (std::size_t x = 0; x < width; ++x) row[4 * x + 3] = 255;
      }
    }
    if (count > 0) sink.RowsDecoded(first, count);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

// The sink of DecodeBgra: the rows go straight into the image.
struct ImageRowSink final : CBgraRowSink {
  CBgraImage& image;
  explicit ImageRowSink(CBgraImage& target) : image(target) {}
  std::uint8_t* BeginRows(std::uint32_t width, std::uint32_t height) override {
    return image.Create(width, height) ? image.pixels : nullptr;
  }
  void RowsDecoded(std::uint32_t, std::uint32_t) override {}
};

// Sets up a compression into stream and writes image; the frame of the
// return point, as RunDecompress.
[[nodiscard]] bool RunCompress(CCodecImage& image, CCodecStream& stream) {
  jpeg_compress_struct cinfo{};
  JpegErrorManager errors{};
  JpegStreamAdapter adapter{};
  cinfo.err = InstallErrorManager(errors, image);
  if (setjmp(errors.returnPoint)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  AttachDestination(cinfo, adapter, stream);

  const bool grey = image.GetColorCount() != 0;
  cinfo.image_width = image.GetWidth();
  cinfo.image_height = image.GetHeight();
  cinfo.input_components = grey ? 1 : 3;
  // The bitmap rows are B, G, R already; the library reads them as they are.
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  cinfo.optimize_coding = TRUE;
  cinfo.dct_method = JDCT_IFAST;
  if (!grey) {
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    const int lumaSampling = image.attributes.jpegSubsampling ? 2 : 1;
    cinfo.comp_info[0].h_samp_factor = lumaSampling;
    cinfo.comp_info[0].v_samp_factor = lumaSampling;
  }
  const int quality = image.attributes.quality;
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (image.attributes.jpegLumaTable) {
    jpeg_add_quant_table(&cinfo, 0, image.attributes.jpegLumaTable->data(), jpeg_quality_scaling(quality),
                         TRUE);
  }
  cinfo.write_JFIF_header = TRUE;
  cinfo.density_unit = 1;
  cinfo.X_density = static_cast<UINT16>(std::clamp(image.attributes.dpiX, 0, 65535));
  cinfo.Y_density = static_cast<UINT16>(std::clamp(image.attributes.dpiY, 0, 65535));
  jpeg_start_compress(&cinfo, TRUE);

  const std::size_t stride = image.GetRowStride();
  const std::size_t height = image.GetHeight();
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW line = image.GetBits() + (height - 1 - cinfo.next_scanline) * stride;
    jpeg_write_scanlines(&cinfo, &line, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

bool CCodecImageJPG::Decode(CCodecStream& stream) {
  return RunDecompress(*this, stream,
                       [this](jpeg_decompress_struct& cinfo) { return DecodeCodecBody(cinfo, *this, 1); });
}

bool CCodecImageJPG::DecodeJpegDcOnly(CCodecStream& stream) {
  return RunDecompress(*this, stream,
                       [this](jpeg_decompress_struct& cinfo) { return DecodeCodecBody(cinfo, *this, 8); });
}

bool CCodecImageJPG::DecodeBgra(CCodecStream& stream, CBgraImage& image) {
  CBgraImage decoded;
  ImageRowSink sink(decoded);
  if (!DecodeBgraRows(stream, sink)) return false;
  image = std::move(decoded);
  return true;
}

bool CCodecImageJPG::DecodeBgraRows(CCodecStream& stream, CBgraRowSink& sink) {
  return RunDecompress(*this, stream, [this, &sink](jpeg_decompress_struct& cinfo) {
    return DecodeBgraBody(cinfo, *this, sink);
  });
}

bool CCodecImageJPG::Encode(CCodecStream& stream) {
  if (IsEmpty()) {
    SetLastError("Empty image");
    return false;
  }
  // Only an 8-bit identity grey palette maps onto one-component input; a
  // 1- or 4-bit row holds fewer bytes than the library would read from it.
  if (GetColorCount() != 0 && !(GetBitCount() == 8 && IsGrayScale())) {
    SetLastError("JPEG can save only RGB or GreyScale images");
    return false;
  }
  return RunCompress(*this, stream);
}
