#include "image/codecs/CodecImageTIF.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

#include "image/ImageLoadError.h"
#include "image/PixelBlock.h"
#include "image/codecs/CodecStream.h"
#include "image/codecs/TiffStream.h"

namespace {

constexpr char kOpenFailed[] = "Error encountered while opening TIFF file";
constexpr char kNoPage[] = "Error: page not present in TIFF file";
constexpr char kNoSpace[] = "No space for raster buffer";
constexpr char kCorrupted[] = "Corrupted TIFF file!";
constexpr char kUnsupported[] = "Unsupported TIFF layout";
constexpr char kInitFailed[] = "initialization fail";
constexpr char kWriteFailed[] = "Error writing TIFF file";

// One strip of the indexed road holds at most this much: four 16-bit samples
// for every pixel of the largest image.
constexpr std::uint64_t kMaxStripBytes = kMaxImagePixels * 8;

// The tags the decoder works from, with the values of absent tags.
struct TiffTags {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t samplesPerPixel = 1;
  std::uint16_t bitsPerSample = 1;
  std::uint32_t rowsPerStrip = std::numeric_limits<std::uint32_t>::max();
  std::uint16_t photometric = 0;
  std::uint16_t orientation = 1;
  std::uint16_t planarConfig = PLANARCONFIG_CONTIG;
  bool unassociatedAlpha = false;
};

TiffTags ReadTags(TIFF* tif) {
  TiffTags tags;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &tags.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &tags.height);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &tags.samplesPerPixel);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &tags.bitsPerSample);
  TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &tags.rowsPerStrip);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &tags.photometric);
  TIFFGetField(tif, TIFFTAG_ORIENTATION, &tags.orientation);
  TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &tags.planarConfig);
  std::uint16_t extraCount = 0;
  const std::uint16_t* extraKinds = nullptr;
  if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) && extraCount > 0 && extraKinds) {
    tags.unassociatedAlpha = extraKinds[0] == EXTRASAMPLE_UNASSALPHA;
  }
  return tags;
}

// A float tag truncated to a whole number; false when absent or out of range.
[[nodiscard]] bool ReadWholeNumber(TIFF* tif, ttag_t tag, std::int32_t& value) {
  float number = 0;
  if (!TIFFGetField(tif, tag, &number)) return false;
  if (!(number > -2147483648.0f && number < 2147483648.0f)) return false;  // also NaN
  value = static_cast<std::int32_t>(number);
  return true;
}

bool IsFullColour(const TiffTags& tags) {
  switch (tags.photometric) {
    case PHOTOMETRIC_RGB:
      return tags.bitsPerSample >= 8;
    case PHOTOMETRIC_SEPARATED:
    case PHOTOMETRIC_YCBCR:
    case PHOTOMETRIC_LOGL:
    case PHOTOMETRIC_LOGLUV:
      return true;
    default:
      return false;
  }
}

bool IsGrey(std::uint16_t photometric) {
  return photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
}

// ReadIndexed takes pixels that hold their samples together, of 1 to 8 bits
// per sample or 16 for grey, in strips or in tiles that start on a byte.
bool IndexedReaderTakes(TIFF* tif, const TiffTags& tags) {
  if (tags.planarConfig == PLANARCONFIG_SEPARATE && tags.samplesPerPixel > 1) return false;
  const std::uint32_t bits = tags.bitsPerSample;
  if (bits == 0 || (bits > 8 && (bits != 16 || tags.photometric == PHOTOMETRIC_PALETTE))) return false;
  std::uint32_t tileWidth = 0;
  return !TIFFIsTiled(tif) || (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) &&
                               std::uint64_t{tileWidth} * tags.samplesPerPixel * bits % 8 == 0);
}

std::uint8_t Unpremultiply(std::uint32_t value, std::uint32_t alpha) {
  if (alpha == 0 || alpha == 255) return static_cast<std::uint8_t>(value);
  return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (value * 255 + alpha / 2) / alpha));
}

// libtiff's RGBA reader: its raster is bottom-up like the bitmap.
const char* ReadFullColour(TIFF* tif, const TiffTags& tags, CCodecImage& image) {
  std::array<char, 1024> reason{};  // the size libtiff asks for
  if (!TIFFRGBAImageOK(tif, reason.data())) return kUnsupported;
  const std::uint64_t bytes = PixelByteCount(tags.width, tags.height, 4);
  PixelBlock raster = AllocPixelBlock(bytes);
  if (!raster) return kNoSpace;
  auto* const pixels = reinterpret_cast<std::uint32_t*>(raster.get());
  if (!TIFFReadRGBAImage(tif, tags.width, tags.height, pixels, 1)) return kCorrupted;

  std::uint8_t* const alpha = image.GetAlphaPlane();
  const bool unpremultiply = tags.unassociatedAlpha && (tags.photometric == PHOTOMETRIC_RGB ||
                                                        tags.planarConfig == PLANARCONFIG_SEPARATE);
  for (std::uint32_t y = 0; y < tags.height; ++y) {
    std::uint8_t* const row = image.GetBits() + std::size_t{y} * image.GetRowStride();
    const std::uint32_t* const source = pixels + std::size_t{y} * tags.width;
    for (std::uint32_t x = 0; x < tags.width; ++x) {
      const std::uint32_t p = source[x];
      std::uint32_t b = TIFFGetB(p);
      std::uint32_t g = TIFFGetG(p);
      std::uint32_t r = TIFFGetR(p);
      const std::uint32_t a = TIFFGetA(p);
      // The reader premultiplies unassociated alpha for RGB files and for
      // separate planes (grey ones too); the alpha plane is not
      // premultiplied.
      if (unpremultiply) {
        b = Unpremultiply(b, a);
        g = Unpremultiply(g, a);
        r = Unpremultiply(r, a);
      }
      row[3 * x] = static_cast<std::uint8_t>(b);
      row[3 * x + 1] = static_cast<std::uint8_t>(g);
      row[3 * x + 2] = static_cast<std::uint8_t>(r);
      if (alpha) alpha[std::size_t{y} * tags.width + x] = static_cast<std::uint8_t>(a);
    }
  }
  return nullptr;
}

void SetIndexedPalette(TIFF* tif, const TiffTags& tags, CCodecImage& image) {
  std::array<RgbQuad, 256> entries{};
  const std::uint32_t count = image.GetColorCount();
  const bool minIsWhite = tags.photometric == PHOTOMETRIC_MINISWHITE;
  if (IsGrey(tags.photometric) && count == 2) {
    const RgbQuad black{0, 0, 0, 0};
    const RgbQuad white{255, 255, 255, 0};
    entries[0] = minIsWhite ? white : black;
    entries[1] = minIsWhite ? black : white;
  } else if (IsGrey(tags.photometric)) {
    const std::uint32_t step = 255 / (count - 1);
    for (std::uint32_t i = 0; i < count; ++i) {
      const auto level = static_cast<std::uint8_t>(minIsWhite ? 255 - i * step : i * step);
      entries[i] = RgbQuad{level, level, level, 0};
    }
  } else if (tags.photometric == PHOTOMETRIC_PALETTE) {
    const std::uint16_t* red = nullptr;
    const std::uint16_t* green = nullptr;
    const std::uint16_t* blue = nullptr;
    // libtiff holds 2^BitsPerSample entries; palette files reach here with
    // at most 8 bits per sample.
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
      const std::uint32_t n = 1u << tags.bitsPerSample;
      bool eightBit = true;
      for (std::uint32_t i = 0; i < n; ++i)
        eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
      const auto scale = [eightBit](std::uint16_t v) {
        return static_cast<std::uint8_t>(eightBit ? v : std::uint32_t{v} * 255 / 65535);
      };
      for (std::uint32_t i = 0; i < n; ++i)
        entries[i] = RgbQuad{scale(blue[i]), scale(green[i]), scale(red[i]), 0};
    }
  }
  image.SetPalette(std::span<const RgbQuad>(entries.data(), count));
}

// Widens the first count samples of bits bits each (below 8, packed from the
// top bit) to one byte each; grey levels are scaled to 0..255.
void UnpackSamples(const std::uint8_t* packed, std::uint64_t count, std::uint32_t bits, bool scaleToByte,
                   std::uint8_t* out) {
  const std::uint32_t maxValue = (1u << bits) - 1;
  std::uint64_t bit = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint32_t value = 0;
    for (std::uint32_t k = 0; k < bits; ++k, ++bit)
      value = value << 1 | ((packed[bit / 8] >> (7 - bit % 8)) & 1);
    out[i] = static_cast<std::uint8_t>(scaleToByte ? value * 255 / maxValue : value);
  }
}

// Rows first .. first + rows - 1 of a tiled picture, gathered from the tiles
// of that band into whole rows of rowBytes. The tiles start on a byte
// (IndexedReaderTakes) and tile holds one.
[[nodiscard]] bool ReadTileBand(TIFF* tif, const TiffTags& tags, std::uint32_t tileWidth,
                                std::span<std::uint8_t> tile, std::uint32_t first, std::uint32_t rows,
                                std::uint64_t rowBytes, std::uint8_t* band) {
  const std::uint64_t tileRowBytes = TIFFTileRowSize64(tif);
  const std::uint64_t bitsPerPixel = std::uint64_t{tags.samplesPerPixel} * tags.bitsPerSample;
  for (std::uint32_t x = 0; x < tags.width; x += tileWidth) {
    if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, first, 0, 0), tile.data(),
                            static_cast<tmsize_t>(tile.size())) < 0) {
      return false;
    }
    const std::uint64_t offset = x * bitsPerPixel / 8;
    const std::uint64_t count = std::min(tileRowBytes, rowBytes - offset);
    for (std::uint32_t r = 0; r < rows; ++r)
      std::memcpy(band + r * rowBytes + offset, tile.data() + r * tileRowBytes, count);
  }
  return true;
}

// Grey and palette files, band by band from the top of the picture: one
// strip, or one row of tiles.
const char* ReadIndexed(TIFF* tif, const TiffTags& tags, CCodecImage& image) {
  const std::uint32_t bits = tags.bitsPerSample;
  const std::uint32_t samples = tags.samplesPerPixel;
  SetIndexedPalette(tif, tags, image);

  const std::uint32_t width = tags.width;
  const std::uint32_t height = tags.height;
  const std::uint32_t depth = image.GetBitCount();
  const std::uint64_t samplesPerRow = std::uint64_t{width} * samples;
  const std::uint64_t rowBytes = (samplesPerRow * bits + 7) / 8;
  const bool tiled = TIFFIsTiled(tif);
  std::uint32_t bandRows = tags.rowsPerStrip;
  std::uint32_t tileWidth = 0;
  std::uint64_t tileBytes = 0;
  PixelBlock tile;
  if (tiled) {
    bandRows = 0;
    if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) ||
        !TIFFGetField(tif, TIFFTAG_TILELENGTH, &bandRows) || tileWidth == 0 || bandRows == 0) {
      return kCorrupted;
    }
    tileBytes = TIFFTileSize64(tif);
    if (tileBytes == 0 || tileBytes > kMaxStripBytes) return kNoSpace;
    if (TIFFTileRowSize64(tif) * bandRows > tileBytes) return kCorrupted;
    tile = AllocPixelBlock(tileBytes);
    if (!tile) return kNoSpace;
  }
  bandRows = bandRows == 0 ? height : std::min(bandRows, height);
  const std::uint64_t stripBytes = rowBytes * bandRows;
  if (stripBytes > kMaxStripBytes) return kNoSpace;
  PixelBlock strip = AllocPixelBlock(stripBytes);
  if (!strip) return kNoSpace;

  // One sample: packed rows go to the bitmap as they are (16-bit samples
  // first narrowed to their high bytes). Otherwise every sample is widened to
  // a byte, the first of each pixel is its index and the second its alpha.
  const bool copyRows = samples == 1 && (bits == depth || bits == 16);
  PixelBlock widened;
  if (!copyRows) {
    widened = AllocPixelBlock(samplesPerRow);
    if (!widened) return kNoSpace;
  }
  const bool scaleToByte = depth == 8 && bits < 8 && IsGrey(tags.photometric);
  std::uint8_t* const alpha = image.GetAlphaPlane();

  for (std::uint32_t first = 0; first < height; first += bandRows) {
    const std::uint32_t rows = std::min(bandRows, height - first);
    std::memset(strip.get(), 0, stripBytes);
    if (tiled) {
      if (!ReadTileBand(tif, tags, tileWidth, {tile.get(), static_cast<std::size_t>(tileBytes)}, first, rows,
                        rowBytes, strip.get())) {
        return kCorrupted;
      }
    } else if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, first, 0), strip.get(),
                                    static_cast<tmsize_t>(rowBytes * rows)) < 0) {
      return kCorrupted;
    }
    for (std::uint32_t r = 0; r < rows; ++r) {
      std::uint8_t* const source = strip.get() + rowBytes * r;
      const std::uint32_t y = height - 1 - (first + r);
      std::uint64_t sourceBytes = rowBytes;
      if (bits == 16) {
        // libtiff hands over 16-bit samples in the machine's byte order.
        for (std::uint64_t i = 0; i < samplesPerRow; ++i) {
          std::uint16_t sample;
          std::memcpy(&sample, source + 2 * i, 2);
          source[i] = static_cast<std::uint8_t>(sample >> 8);
        }
        sourceBytes = samplesPerRow;
      }
      if (copyRows) {
        std::memcpy(image.GetBits() + std::size_t{y} * image.GetRowStride(), source,
                    std::min<std::uint64_t>(sourceBytes, image.GetRowStride()));
        continue;
      }
      const std::uint8_t* bytes = source;
      if (bits < 8) {
        UnpackSamples(source, samplesPerRow, bits, scaleToByte, widened.get());
        bytes = widened.get();
      }
      for (std::uint32_t x = 0; x < width; ++x) {
        image.SetPixelIndex(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                            bytes[std::size_t{x} * samples]);
        if (alpha && samples > 1) alpha[std::size_t{y} * width + x] = bytes[std::size_t{x} * samples + 1];
      }
    }
  }
  return nullptr;
}

// Turns the decoded picture upright. Row 0 of the file is the visual top,
// right, bottom or left as the tag says.
[[nodiscard]] bool ApplyOrientation(CCodecImage& image, std::uint16_t orientation) {
  switch (orientation) {
    case ORIENTATION_TOPRIGHT:
      return image.Mirror();
    case ORIENTATION_BOTRIGHT:
      return image.Flip() && image.Mirror();
    case ORIENTATION_BOTLEFT:
      return image.Flip();
    case ORIENTATION_LEFTTOP:  // transposed
      return image.RotateRight() && image.Mirror();
    case ORIENTATION_RIGHTTOP:  // a quarter turn clockwise shows it upright
      return image.RotateRight();
    case ORIENTATION_RIGHTBOT:
      return image.RotateLeft() && image.Mirror();
    case ORIENTATION_LEFTBOT:
      return image.RotateLeft();
    default:
      return true;
  }
}

const char* DecodePage(CCodecStream& stream, CCodecImageTIF& image) {
  // Unmapped ("m"): the whole stream is mapped only for the pages below
  // that need it.
  TiffHandle tif = TiffStreamOpen(stream, "rbm");
  if (!tif) return kOpenFailed;

  // Counting by reading on from the first directory keeps a long chain of
  // pages linear in time; libtiff stops at the first it cannot read.
  std::int32_t count = 0;
  if (TIFFSetDirectory(tif.get(), 0)) {
    count = 1;
    while (count < std::numeric_limits<std::int32_t>::max() && TIFFReadDirectory(tif.get())) ++count;
  }
  image.attributes.frameCount = count;
  const std::int32_t page = image.attributes.frameIndex;
  if (page < 0 || page >= count || !TIFFSetDirectory(tif.get(), static_cast<tdir_t>(page))) return kNoPage;

  const TiffTags tags = ReadTags(tif.get());
  std::int32_t value = 0;
  if (ReadWholeNumber(tif.get(), TIFFTAG_XRESOLUTION, value)) image.SetXDPI(value);
  if (ReadWholeNumber(tif.get(), TIFFTAG_YRESOLUTION, value)) image.SetYDPI(value);
  if (ReadWholeNumber(tif.get(), TIFFTAG_XPOSITION, value)) image.attributes.offsetX = value;
  if (ReadWholeNumber(tif.get(), TIFFTAG_YPOSITION, value)) image.attributes.offsetY = value;
  image.attributes.transparentIndex = -1;

  // Grey and palette layouts the indexed reader does not take go through the
  // RGBA reader too.
  const bool fullColour = IsFullColour(tags) || !IndexedReaderTakes(tif.get(), tags);
  std::int32_t depth = 24;
  if (!fullColour)
    depth = IsGrey(tags.photometric) && tags.bitsPerSample == 1 ? 1 : tags.bitsPerSample == 4 ? 4 : 8;
  if (tags.width == 0 || tags.height == 0) return kCorrupted;
  if (!FitsImageLimits(tags.width, tags.height, image.attributes.maxSide)) return kImageTooLarge;
  if (!image.Create(tags.width, tags.height, depth, CodecFormat::Tiff)) return kNoSpace;
  const bool withAlpha = tags.samplesPerPixel == 4 || (tags.samplesPerPixel == 2 && tags.bitsPerSample == 8);
  if (withAlpha && !image.AlphaCreate()) return kNoSpace;

  std::uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
  if (fullColour && TIFFIsTiled(tif.get()) && compression == COMPRESSION_NONE) {
    // libtiff 4.5's RGBA reader checks an uncompressed tile against the size
    // of its read buffer, which it rounds up to whole kilobytes when the
    // tile comes through the stream; read from a map, the two agree.
    tif.reset();
    if (!stream.Seek(0, CCodecStream::kFromStart)) return kOpenFailed;
    tif = TiffStreamOpen(stream, "rb");
    if (!tif || !TIFFSetDirectory(tif.get(), static_cast<tdir_t>(page))) return kOpenFailed;
  }
  if (fullColour) return ReadFullColour(tif.get(), tags, image);  // the RGBA reader applies Orientation
  if (const char* failure = ReadIndexed(tif.get(), tags, image)) return failure;
  return ApplyOrientation(image, tags.orientation) ? nullptr : kNoSpace;
}

// True when entry i is grey level i x (255 / (count - 1)): the palette a grey
// file of this depth decodes to.
bool IsGreyRamp(const CCodecImage& image) {
  const std::uint32_t count = image.GetColorCount();
  if (count < 2) return false;
  const std::uint32_t step = 255 / (count - 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    const RgbQuad entry = image.GetPaletteColor(i);
    if (entry.red != i * step || entry.green != i * step || entry.blue != i * step) return false;
  }
  return true;
}

const char* EncodePage(CCodecStream& stream, const CCodecImage& image) {
  const TiffHandle tif = TiffStreamOpen(stream, "w+b");
  if (!tif) return kInitFailed;

  const std::uint32_t width = image.GetWidth();
  const std::uint32_t height = image.GetHeight();
  const std::uint32_t bitCount = image.GetBitCount();
  const std::uint8_t* const alpha = image.GetAlphaPlane();
  const std::uint16_t samples = bitCount == 24 ? (alpha ? 4 : 3) : bitCount == 8 && alpha ? 2 : 1;
  const std::uint16_t bitsPerSample = bitCount == 24 ? 8 : static_cast<std::uint16_t>(bitCount);

  // 1 bit is written min-is-white: when entry 0 is the darker one the bits
  // are inverted on their way to the file.
  bool invert = false;
  std::uint16_t photometric = PHOTOMETRIC_RGB;
  if (bitCount == 1) {
    invert = CCodecImage::CompareLuminance(image.GetPaletteColor(0), image.GetPaletteColor(1)) < 0;
    photometric = PHOTOMETRIC_MINISWHITE;
  } else if (bitCount <= 8) {
    photometric = IsGreyRamp(image) ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
  }
  const std::uint16_t compression = bitCount == 1   ? COMPRESSION_CCITTFAX4
                                    : bitCount == 8 ? COMPRESSION_PACKBITS
                                                    : COMPRESSION_LZW;

  TIFF* const t = tif.get();
  bool tagged = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width) && TIFFSetField(t, TIFFTAG_IMAGELENGTH, height) &&
                TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples) &&
                TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bitsPerSample) &&
                TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric) &&
                TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  const std::uint32_t rowsPerStrip = bitCount == 24 ? 8 : TIFFDefaultStripSize(t, 0);
  tagged = tagged && TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip) &&
           TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
           TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<double>(std::max(image.attributes.dpiX, 1))) &&
           TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<double>(std::max(image.attributes.dpiY, 1))) &&
           TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0);
  if (tagged && photometric == PHOTOMETRIC_PALETTE) {
    std::array<std::uint16_t, 256> red{};
    std::array<std::uint16_t, 256> green{};
    std::array<std::uint16_t, 256> blue{};
    for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
      const RgbQuad entry = image.GetPaletteColor(i);
      red[i] = static_cast<std::uint16_t>(entry.red * 257);
      green[i] = static_cast<std::uint16_t>(entry.green * 257);
      blue[i] = static_cast<std::uint16_t>(entry.blue * 257);
    }
    tagged = TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
  }
  tagged = tagged && TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (!tagged) return kWriteFailed;

  const std::uint64_t lineBytes = (std::uint64_t{width} * samples * bitsPerSample + 7) / 8;
  PixelBlock line = AllocPixelBlock(lineBytes);
  if (!line) return kNoSpace;
  std::uint8_t* const out = line.get();
  for (std::uint32_t j = 0; j < height; ++j) {
    const std::uint32_t y = height - 1 - j;
    const std::uint8_t* const row = image.GetBits() + std::size_t{y} * image.GetRowStride();
    const std::uint8_t* const rowAlpha = alpha ? alpha + std::size_t{y} * width : nullptr;
    if (samples == 1) {
      std::memcpy(out, row, lineBytes);
      if (invert) {
        for (std::uint64_t i = 0; i < lineBytes; ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
      }
    } else if (samples == 2) {
      for (std::uint32_t x = 0; x < width; ++x) {
        out[2 * x] = row[x];
        out[2 * x + 1] = rowAlpha[x];
      }
    } else {
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint8_t* const pixel = out + std::size_t{x} * samples;
        pixel[0] = row[3 * x + 2];
        pixel[1] = row[3 * x + 1];
        pixel[2] = row[3 * x];
        if (samples == 4) pixel[3] = rowAlpha[x];
      }
    }
    if (TIFFWriteScanline(t, out, j, 0) < 0) return kWriteFailed;
  }
  // The directory is written here; a full disk shows up now at the latest.
  if (!TIFFFlush(t)) return kWriteFailed;
  return nullptr;
}

}  // namespace

bool CCodecImageTIF::Decode(CCodecStream& stream) {
  if (const char* failure = DecodePage(stream, *this)) {
    Destroy();
    SetLastError(failure);
    return false;
  }
  return true;
}

bool CCodecImageTIF::Encode(CCodecStream& stream) {
  if (IsEmpty()) {
    SetLastError("Empty image");
    return false;
  }
  if (const char* failure = EncodePage(stream, *this)) {
    SetLastError(failure);
    return false;
  }
  return true;
}
