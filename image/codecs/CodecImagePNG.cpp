// libpng reports errors by a long jump back to the frame that armed setjmp.
// ReadPng and WritePng arm it, so they and the callbacks hold only plain
// data: a long jump would skip any destructor. Everything they allocate sits
// in the PngSession of the caller, which frees it on both roads.

#include "image/codecs/CodecImagePNG.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "image/ImageLoadError.h"
#include "image/codecs/CodecStream.h"

namespace {

constexpr char kCreateFailed[] = "Failed to create PNG structure";
constexpr char kInfoFailed[] = "Failed to initialize PNG info structure";
constexpr char kSaveFailed[] = "Error saving PNG file";

// What one Decode or Encode shares with libpng's callbacks.
struct PngSession {
  CCodecStream* stream = nullptr;
  char* errorText = nullptr;  // receives libpng's message
  std::size_t errorTextSize = 0;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::uint8_t* row = nullptr;  // row buffer (malloc)
};

[[noreturn]] void PngErrorCallback(png_structp png, png_const_charp message) {
  const auto* session = static_cast<const PngSession*>(png_get_error_ptr(png));
  if (session && session->errorText && session->errorTextSize > 0) {
    const char* text = message ? message : "PNG error";
    const std::size_t n = std::min(std::strlen(text), session->errorTextSize - 1);
    std::memcpy(session->errorText, text, n);
    session->errorText[n] = '\0';
  }
  png_longjmp(png, 1);
}

// Warnings would only reach standard error; the codec reports its failures
// through lastError.
void PngWarningCallback(png_structp, png_const_charp) {}

void PngReadCallback(png_structp png, png_bytep data, std::size_t length) {
  auto* stream = static_cast<CCodecStream*>(png_get_io_ptr(png));
  if (stream->Read(data, 1, length) != length) png_error(png, "Read Error");
}

void PngWriteCallback(png_structp png, png_bytep data, std::size_t length) {
  auto* stream = static_cast<CCodecStream*>(png_get_io_ptr(png));
  if (stream->Write(data, 1, length) != length) png_error(png, "Write Error");
}

void PngFlushCallback(png_structp png) {
  auto* stream = static_cast<CCodecStream*>(png_get_io_ptr(png));
  if (!stream->Flush()) png_error(png, "Flush Error");
}

std::uint8_t* AllocRow(PngSession& s, std::uint64_t size) {
  s.row = static_cast<std::uint8_t*>(std::calloc(size, 1));
  if (!s.row) png_error(s.png, "Out of memory");
  return s.row;
}

[[nodiscard]] bool ReadPng(PngSession& s, CCodecImagePNG& image) {
  if (setjmp(png_jmpbuf(s.png))) return false;

  png_set_read_fn(s.png, s.stream, PngReadCallback);
  // Wider or taller than libpng's own limit is left to the size check below,
  // which names the reason.
  png_set_user_limits(s.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_read_info(s.png, s.info);

  const png_uint_32 width = png_get_image_width(s.png, s.info);
  const png_uint_32 height = png_get_image_height(s.png, s.info);
  const int bitDepth = png_get_bit_depth(s.png, s.info);
  const int colorType = png_get_color_type(s.png, s.info);
  const int pixelDepth = bitDepth * png_get_channels(s.png, s.info);
  // Refused from the header, before anything is allocated for the picture.
  // Deflate makes at most 1032 bytes of one compressed byte (a 258-byte match
  // in two 1-bit codes), so a stream too short for the rows cannot be a
  // whole file; libpng would fail it once the data ran out.
  if (!FitsImageLimits(width, height, image.attributes.maxSide)) png_error(s.png, kImageTooLarge);
  const std::int32_t size = s.stream->Size();
  const std::int32_t at = s.stream->Tell();
  if (size >= 0 && at >= 0 && at <= size &&
      std::uint64_t{width} * height * static_cast<std::uint32_t>(pixelDepth) / 8 / 1032 >
          static_cast<std::uint64_t>(size - at)) {
    png_error(s.png, "Not enough image data");
  }

  // Files with an alpha channel keep it; the others (a tRNS colour) are
  // composited here.
  const bool withAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
  png_color_16p fileBackground = nullptr;
  const bool hasBackground = png_get_bKGD(s.png, s.info, &fileBackground) != 0 && fileBackground;
  if (!withAlpha) {
    if (hasBackground) {
      png_set_background(s.png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    } else {
      // libpng takes the grey member for grey files: those go over black.
      png_color_16 grey192{};
      grey192.red = grey192.green = grey192.blue = 192;
      png_set_background(s.png, &grey192, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
  } else if (hasBackground) {
    image.attributes.transparentColor = RgbQuad{static_cast<std::uint8_t>(fileBackground->blue & 0xFF),
                                                static_cast<std::uint8_t>(fileBackground->green & 0xFF),
                                                static_cast<std::uint8_t>(fileBackground->red & 0xFF), 0};
  }
  if (bitDepth == 16) png_set_strip_16(s.png);

  const int bitCount = withAlpha || pixelDepth > 16 ? 24 : pixelDepth == 16 ? 8 : pixelDepth;
  if (!image.Create(width, height, bitCount, CodecFormat::Png))
    png_error(s.png, "Image too large or out of memory");
  const std::uint32_t colors = image.GetColorCount();

  // The palette is copied before libpng prepares its transformations, which
  // may composite the file's palette in place.
  png_colorp palette = nullptr;
  int paletteCount = 0;
  if (png_get_PLTE(s.png, s.info, &palette, &paletteCount) != 0 && palette) {
    const std::uint32_t n =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(paletteCount, 0)), colors);
    for (std::uint32_t i = 0; i < n; ++i) {
      image.SetPaletteColor(static_cast<std::uint8_t>(i), palette[i].red, palette[i].green, palette[i].blue);
    }
  } else if (bitDepth == 2) {
    for (std::uint8_t i = 0; i < 4; ++i) {
      const auto level = static_cast<std::uint8_t>(85 * i);
      image.SetPaletteColor(i, level, level, level);
    }
  } else {
    image.SetGrayPalette();
  }

  // Transparency entries exist only for palette files; a grey or RGB file's
  // tRNS colour has been composited by libpng.
  png_bytep transAlpha = nullptr;
  int transCount = 0;
  png_color_16p transColor = nullptr;
  if (png_get_tRNS(s.png, s.info, &transAlpha, &transCount, &transColor) != 0 && transAlpha &&
      transCount > 0 && colors > 0) {
    const std::uint32_t n = std::min(static_cast<std::uint32_t>(transCount), colors);
    for (std::uint32_t i = 0; i < n; ++i) {
      RgbQuad entry = image.GetPaletteColor(i);
      entry.reserved = transAlpha[i];
      image.SetPaletteColor(static_cast<std::uint8_t>(i), entry);
    }
    if (transCount == 1 && transAlpha[0] == 0) {
      image.attributes.transparentIndex = 0;
    } else {
      image.attributes.paletteAlphaEnabled = true;
      for (std::uint32_t i = n; i < colors; ++i) {
        RgbQuad entry = image.GetPaletteColor(i);
        entry.reserved = 255;
        image.SetPaletteColor(static_cast<std::uint8_t>(i), entry);
      }
    }
  }

  if (withAlpha) {
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
      png_set_gray_to_rgb(s.png);
      png_set_expand(s.png);
    }
    png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER);
    if (!image.AlphaCreate()) png_error(s.png, "Image too large or out of memory");
  }
  if ((colorType & PNG_COLOR_MASK_COLOR) != 0) png_set_bgr(s.png);
  const int passes =
      png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE ? png_set_interlace_handling(s.png) : 1;

  // The rows libpng delivers must have the layout the loops below expect.
  png_read_update_info(s.png, s.info);
  const std::uint64_t deliveredBytes = png_get_rowbytes(s.png, s.info);
  const std::uint64_t deliveredBits = withAlpha       ? 32
                                      : bitDepth == 2 ? 2
                                                      : static_cast<std::uint64_t>(bitCount);
  if (deliveredBytes != (std::uint64_t{width} * deliveredBits + 7) / 8)
    png_error(s.png, "Unsupported PNG layout");

  const std::uint32_t stride = image.GetRowStride();
  const std::uint64_t rowSize =
      std::max<std::uint64_t>(
          {(static_cast<std::uint64_t>(pixelDepth) + 7) / 8 * width, deliveredBytes, stride}) +
      10;
  std::uint8_t* const row = AllocRow(s, rowSize);
  std::uint8_t* const bits = image.GetBits();
  std::uint8_t* const alpha = image.GetAlphaPlane();

  // Rows arrive top first; bitmap row 0 is the bottom one. An interlace pass
  // only fills in its own pixels, so from the second pass on the buffer first
  // gets back what the earlier passes stored.
  for (int pass = 0; pass < passes; ++pass) {
    const bool lastPass = pass == passes - 1;
    for (png_uint_32 j = 0; j < height; ++j) {
      const std::size_t y = height - 1 - j;
      std::uint8_t* const target = bits + y * stride;
      if (alpha) {
        std::uint8_t* const targetAlpha = alpha + y * width;
        if (pass > 0) {
          for (std::size_t x = 0; x < width; ++x) {
            std::memcpy(row + 4 * x, target + 3 * x, 3);
            row[4 * x + 3] = targetAlpha[x];
          }
        }
        png_read_row(s.png, row, nullptr);
        for (std::size_t x = 0; x < width; ++x) {
          std::memcpy(target + 3 * x, row + 4 * x, 3);
          targetAlpha[x] = row[4 * x + 3];
        }
      } else {
        if (pass > 0) std::memcpy(row, target, stride);
        png_read_row(s.png, row, nullptr);
        if (lastPass && bitDepth == 2) CCodecImagePNG::ExpandTwoBitRow({row, rowSize}, width);
        std::memcpy(target, row, stride);
      }
    }
  }
  png_read_end(s.png, nullptr);
  return true;
}

[[nodiscard]] bool WritePng(PngSession& s, const CCodecImage& image) {
  if (setjmp(png_jmpbuf(s.png))) return false;

  png_set_write_fn(s.png, s.stream, PngWriteCallback, PngFlushCallback);

  const std::uint32_t width = image.GetWidth();
  const std::uint32_t height = image.GetHeight();
  const std::uint32_t stride = image.GetRowStride();
  const std::uint32_t colors = image.GetColorCount();
  const std::uint32_t bitCount = image.GetBitCount();
  const int bitDepth = static_cast<int>(bitCount <= 8 ? bitCount : bitCount / 3);
  const CodecAttributes& attributes = image.attributes;
  const std::uint8_t* const alphaPlane = image.GetAlphaPlane();
  const std::uint8_t* const bits = image.GetBits();
  const auto palette = image.GetPalette();
  // A 24-bit image's transparent colour is written as alpha 0.
  const bool transparentColor = colors == 0 && attributes.transparentIndex >= 0;
  const bool rgba = alphaPlane != nullptr || transparentColor;

  if (colors > 0) {
    png_set_IHDR(s.png, s.info, width, height, bitDepth, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_byte trans[256] = {};
    int transCount = 0;
    // The caller moved the transparent index to 0.
    if (attributes.transparentIndex == 0) transCount = 1;
    if (attributes.paletteAlphaEnabled) {
      for (std::uint32_t i = 0; i < colors; ++i) trans[i] = palette[4 * i + 3];
      transCount = static_cast<int>(colors);
    }
    // An RGBA file carries its alpha in the pixels; tRNS is not allowed there.
    if (transCount > 0 && !rgba) png_set_tRNS(s.png, s.info, trans, transCount, nullptr);
    png_color entries[256] = {};
    for (std::uint32_t i = 0; i < colors; ++i) {
      entries[i].red = palette[4 * i + 2];
      entries[i].green = palette[4 * i + 1];
      entries[i].blue = palette[4 * i];
    }
    png_set_PLTE(s.png, s.info, entries, static_cast<int>(colors));
  }
  if (rgba) {
    png_set_IHDR(s.png, s.info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  } else if (colors == 0) {
    png_set_IHDR(s.png, s.info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  }
  png_write_info(s.png, s.info);

  const RgbQuad transparent = image.GetTransparentColor();
  const std::uint32_t alphaMax = attributes.alphaMax;
  if (rgba) {
    std::uint8_t* const row = AllocRow(s, 4ull * width + 10);
    for (std::uint32_t j = 0; j < height; ++j) {
      const std::uint32_t y = height - 1 - j;
      const std::uint8_t* const source = bits + std::size_t{y} * stride;
      for (std::uint32_t x = 0; x < width; ++x) {
        RgbQuad color;
        std::uint32_t a = alphaPlane ? alphaPlane[std::size_t{y} * width + x] : 255;
        if (colors == 0) {
          color = RgbQuad{source[3 * x], source[3 * x + 1], source[3 * x + 2], 0};
          if (transparentColor && color.blue == transparent.blue && color.green == transparent.green &&
              color.red == transparent.red) {
            a = 0;
          }
        } else {
          color = image.GetPixelColor(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
        }
        std::uint8_t* const out = row + 4 * std::size_t{x};
        out[0] = color.red;
        out[1] = color.green;
        out[2] = color.blue;
        out[3] = static_cast<std::uint8_t>(a * alphaMax / 255);
      }
      png_write_row(s.png, row);
    }
  } else {
    std::uint8_t* const row = AllocRow(s, std::uint64_t{stride} + 10);
    for (std::uint32_t j = 0; j < height; ++j) {
      std::memcpy(row, bits + std::size_t{height - 1 - j} * stride, stride);
      if (colors == 0) image.SwapRedBlue({row, stride});
      png_write_row(s.png, row);
    }
  }
  png_write_end(s.png, nullptr);
  return true;
}

}  // namespace

void CCodecImagePNG::ExpandTwoBitRow(std::span<std::uint8_t> row, std::uint32_t width) {
  if (row.size() < (std::size_t{width} + 1) / 2) return;
  const auto sample = [&](std::size_t x) { return (row[x / 4] >> (6 - 2 * (x % 4))) & 3; };
  // Output byte p takes pixels 2p and 2p + 1, read from byte p / 2 <= p:
  // going down from the last byte, no pixel is overwritten before it is read.
  for (std::size_t p = (std::size_t{width} + 1) / 2; p-- > 0;) {
    const std::size_t x = 2 * p;
    const int high = sample(x);
    const int low = x + 1 < width ? sample(x + 1) : 0;
    row[p] = static_cast<std::uint8_t>(high << 4 | low);
  }
}

bool CCodecImagePNG::Decode(CCodecStream& stream) {
  PngSession s;
  s.stream = &stream;
  s.errorText = attributes.lastError;
  s.errorTextSize = sizeof(attributes.lastError);
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, PngErrorCallback, PngWarningCallback);
  if (!s.png) {
    SetLastError(kCreateFailed);
    return false;
  }
  s.info = png_create_info_struct(s.png);
  if (!s.info) {
    png_destroy_read_struct(&s.png, nullptr, nullptr);
    SetLastError(kInfoFailed);
    return false;
  }
  const bool decoded = ReadPng(s, *this);
  std::free(s.row);
  png_destroy_read_struct(&s.png, &s.info, nullptr);
  if (!decoded) Destroy();
  return decoded;
}

bool CCodecImagePNG::Encode(CCodecStream& stream) {
  if (IsEmpty()) {
    SetLastError("Empty image");
    return false;
  }
  // The file has the transparent index at 0. This image borrows the caller's
  // pixels, so the swap is made on a copy.
  CCodecImage swapped(CodecFormat::Png);
  const CCodecImage* source = this;
  const std::int32_t index = attributes.transparentIndex;
  if (index >= 0 && static_cast<std::uint32_t>(index) >= GetColorCount() && GetColorCount() > 0) {
    attributes.transparentIndex = -1;  // no such entry: nothing is transparent
  } else if (index > 0 && GetColorCount() > 0) {
    if (!swapped.CopyLayout(*this)) {
      SetLastError(kSaveFailed);
      return false;
    }
    std::memcpy(swapped.GetBits(), GetBits(), GetHeader().biSizeImage);
    swapped.SwapWithIndexZero(static_cast<std::uint8_t>(index));
    swapped.attributes.transparentIndex = 0;
    source = &swapped;
  }

  std::array<char, 256> libraryText{};
  PngSession s;
  s.stream = &stream;
  s.errorText = libraryText.data();
  s.errorTextSize = libraryText.size();
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, PngErrorCallback, PngWarningCallback);
  if (!s.png) {
    SetLastError(kCreateFailed);
    return false;
  }
  s.info = png_create_info_struct(s.png);
  if (!s.info) {
    png_destroy_write_struct(&s.png, nullptr);
    SetLastError(kInfoFailed);
    return false;
  }
  const bool written = WritePng(s, *source);
  std::free(s.row);
  png_destroy_write_struct(&s.png, &s.info);
  if (!written) SetLastError(kSaveFailed);
  return written;
}
