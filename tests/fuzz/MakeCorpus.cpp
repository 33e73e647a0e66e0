// Writes the seed corpora of the fuzz targets: small valid inputs of every
// layout the readers handle, made by our own writers where we have one and by
// libjpeg, libpng and libtiff directly for layouts we never write.
// Usage: tessera_fuzz_corpus <corpus folder>   (tests/fuzz/corpus)

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "album/AddCatalogDlg.h"
#include "album/CatalogFile.h"
#include "album/ConfigFile.h"
#include "album/PlaceNameList.h"
#include "album/SearchNode.h"
#include "algorithms/geometry/BarrelDistort.h"
#include "algorithms/geometry/Rotate.h"
#include "algorithms/geometry/ShapeTransform.h"
#include "app/AppData.h"
#include "app/RecoveryIndex.h"
#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "document/MaskRecord.h"
#include "document/ProjectFile.h"
#include "document/TextLayer.h"
#include "filters/Defog.h"
#include "filters/Descreen.h"
#include "filters/DiffuseFilter.h"
#include "filters/EnhanceDynamic.h"
#include "filters/PurpleFringe.h"
#include "filters/SkinClean.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ImageInfo.h"
#include "image/MetadataImage.h"
#include "image/PackedRecords.h"
#include "image/Plane8.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "output/JpegSavePreset.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/SettingsStore.h"
#include "platform/UriList.h"
#include "tests/fuzz/FuzzDocument.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/image/DngFixture.h"
#include "ui/ClipboardBlocks.h"
#include "ui/RatioPreset.h"
#include "ui/StringTable.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::filesystem::path g_root;

void Put(std::string_view target, std::string_view name, std::span<const std::uint8_t> bytes) {
  const std::filesystem::path folder = g_root / target;
  std::filesystem::create_directories(folder);
  WriteFuzzFile(folder / name, bytes);
}

Bytes Prefixed(std::initializer_list<std::uint8_t> prefix, std::span<const std::uint8_t> rest) {
  Bytes bytes(prefix);
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  return bytes;
}

Bytes FileBytes(const std::filesystem::path& path) {
  Bytes bytes(std::filesystem::file_size(path));
  std::FILE* file = std::fopen(path.c_str(), "rb");
  FuzzCheck(file && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size(), "a file is read");
  std::fclose(file);
  return bytes;
}

// Diagonal ramps, so every block differs; images of 8 bits or fewer get the
// grey palette.
void Paint(CCodecImage& image, std::int64_t width, std::int64_t height, std::int32_t bitCount) {
  FuzzCheck(image.Create(width, height, bitCount, CodecFormat::Bmp) != nullptr, "a picture is made");
  if (bitCount <= 8) image.SetGrayPalette();
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      if (bitCount <= 8) {
        image.SetPixelIndex(x, y, static_cast<std::uint8_t>((x + y) % (1 << bitCount)));
      } else {
        image.SetPixelColor(x, y,
                            RgbQuad{static_cast<std::uint8_t>(20 * x), static_cast<std::uint8_t>(30 * y),
                                    static_cast<std::uint8_t>(7 * (x + y)), 0});
      }
    }
  }
}

Bytes Encoded(CCodecImage& image, CodecFormat format) {
  CCodecMemStream stream;
  FuzzCheck(image.Encode(stream, format), "a picture is encoded");
  return Bytes(stream.Bytes().begin(), stream.Bytes().end());
}

// ---- JPEG through libjpeg: layouts our encoder never writes -------------------

struct JpegLayout {
  J_COLOR_SPACE space;
  int components;
  bool progressive;
  unsigned restartRows;
};

Bytes LibJpeg(const JpegLayout& layout, int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = layout.components;
  info.in_color_space = layout.space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 80, TRUE);
  if (layout.progressive) jpeg_simple_progression(&info);
  info.restart_in_rows = static_cast<int>(layout.restartRows);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width * layout.components));
  while (info.next_scanline < info.image_height) {
    for (std::size_t i = 0; i < row.size(); ++i)
      row[i] = static_cast<JSAMPLE>((i * 13 + info.next_scanline * 29) & 255);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

// ---- PNG through libpng -----------------------------------------------------

struct PngLayout {
  int colourType;
  int bitDepth;
  bool interlaced;
  bool transparency;  // a tRNS chunk
  bool background;    // a bKGD chunk
};

Bytes LibPng(const PngLayout& layout, std::uint32_t width, std::uint32_t height) {
  Bytes bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &bytes,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* out = static_cast<Bytes*>(png_get_io_ptr(p));
        out->insert(out->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, width, height, layout.bitDepth, layout.colourType,
               layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  int samples = 1;
  if (layout.colourType == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[16];
    for (int i = 0; i < 16; ++i)
      palette[i] = {static_cast<png_byte>(16 * i), static_cast<png_byte>(255 - 16 * i), 90};
    png_set_PLTE(png, info, palette, 1 << std::min(layout.bitDepth, 4));
    if (layout.transparency) {
      png_byte alpha[2] = {0, 128};
      png_set_tRNS(png, info, alpha, 2, nullptr);
    }
  } else {
    samples = layout.colourType == PNG_COLOR_TYPE_RGB          ? 3
              : layout.colourType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
              : layout.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                               : 1;
    if (layout.transparency) {
      png_color_16 key{0, 10, 20, 30, 10};
      png_set_tRNS(png, info, nullptr, 0, &key);
    }
  }
  if (layout.background) {
    png_color_16 background{1, 200, 100, 50, 120};
    png_set_bKGD(png, info, &background);
  }
  png_write_info(png, info);
  const std::size_t rowBytes = (std::size_t{width} * samples * layout.bitDepth + 7) / 8;
  std::vector<png_byte> image(rowBytes * height);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<png_byte>(i * 37 + 11);
  std::vector<png_bytep> rows(height);
  for (std::uint32_t y = 0; y < height; ++y) rows[y] = image.data() + y * rowBytes;
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

// ---- TIFF through libtiff -------------------------------------------------------

struct TiffLayout {
  std::uint16_t bitsPerSample;
  std::uint16_t samples;
  std::uint16_t photometric;
  std::uint16_t compression;
  bool tiled;
  int pages;
};

Bytes LibTiff(const TiffLayout& layout, std::uint32_t width, std::uint32_t height) {
  const std::filesystem::path path = FuzzScratchFile("seed.tif");
  TIFF* tiff = TIFFOpen(path.c_str(), layout.bitsPerSample == 16 ? "wl" : "wb");
  FuzzCheck(tiff != nullptr, "a TIFF file is made");
  const std::size_t rowBytes = (std::size_t{width} * layout.samples * layout.bitsPerSample + 7) / 8;
  for (int page = 0; page < layout.pages; ++page) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, page == 0 ? ORIENTATION_TOPLEFT : ORIENTATION_BOTRIGHT);
    if (layout.pages > 1) TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    if (layout.photometric == PHOTOMETRIC_PALETTE) {
      std::vector<std::uint16_t> map(std::size_t{1} << layout.bitsPerSample);
      for (std::size_t i = 0; i < map.size(); ++i) map[i] = static_cast<std::uint16_t>(i * 4099);
      TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
    }
    std::vector<std::uint8_t> image(rowBytes * height);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 53 + page * 7);
    if (layout.tiled) {
      TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
      std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tiff)), 77);
      for (std::uint32_t y = 0; y < height; y += 16) {
        for (std::uint32_t x = 0; x < width; x += 16) TIFFWriteTile(tiff, tile.data(), x, y, 0, 0);
      }
    } else {
      TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 4);
      for (std::uint32_t y = 0; y < height; ++y) TIFFWriteScanline(tiff, image.data() + y * rowBytes, y, 0);
    }
    TIFFWriteDirectory(tiff);
  }
  TIFFClose(tiff);
  return FileBytes(path);
}

// ---- EXIF ---------------------------------------------------------------------------

// A little-endian TIFF-structured block: IFD0 with Make, Orientation 6 and
// the EXIF and GPS pointers; DateTimeOriginal in the EXIF IFD; a southern
// latitude in the GPS IFD. It is also a TIFF file header without a picture.
Bytes ExifBlock() {
  Bytes b;
  const auto u16 = [&b](std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    u16(tag);
    u16(type);
    u32(count);
    u32(value);
  };
  // Offsets: IFD0 at 8 (4 entries: 2 + 48 + 4 = 54 bytes) ends at 62; the
  // EXIF IFD at 62 (1 entry, 18 bytes) ends at 80 and its date follows at
  // 80 (20 bytes); the GPS IFD at 100 (2 entries, 30 bytes), its latitude
  // rationals at 130.
  b = {'I', 'I', 42, 0};
  u32(8);
  u16(4);
  entry(271, 2, 4, 'C' | 'a' << 8 | 'm' << 16);
  entry(274, 3, 1, 6);
  entry(0x8769, 4, 1, 62);
  entry(0x8825, 4, 1, 100);
  u32(0);
  u16(1);
  entry(36867, 2, 20, 80);
  u32(0);
  for (char c : std::string_view("2023:06:17 14:05:09", 20)) b.push_back(static_cast<std::uint8_t>(c));
  u16(2);
  entry(1, 2, 2, 'S');
  entry(2, 5, 3, 130);
  u32(0);
  for (std::uint32_t v : {51u, 1u, 30u, 1u, 1234u, 100u}) u32(v);
  return b;
}

// The JPEG with an APP1 "Exif" segment holding ExifBlock after its SOI.
Bytes WithExif(std::span<const std::uint8_t> jpeg) {
  const Bytes block = ExifBlock();
  const std::size_t length = 2 + 6 + block.size();
  Bytes out = {0xFF,
               0xD8,
               0xFF,
               0xE1,
               static_cast<std::uint8_t>(length >> 8),
               static_cast<std::uint8_t>(length),
               'E',
               'x',
               'i',
               'f',
               0,
               0};
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// ---- The targets ------------------------------------------------------------------

// The metadata splicer (the first byte picks the item to remove), the
// project file's property list and the thumbnails (the first byte picks the
// extension and the speed, the second the side).
void MetadataSeeds(const Bytes& exifJpeg, const Bytes& png, const Bytes& tiff) {
  CMetadataImage withThumbnail;
  FuzzCheck(withThumbnail.Load(exifJpeg), "the EXIF JPEG loads");
  withThumbnail.SetPropertyItem({0x501B, 1, static_cast<std::uint32_t>(exifJpeg.size()), exifJpeg});
  Bytes thumbnailJpeg;
  FuzzCheck(withThumbnail.Save(thumbnailJpeg), "a thumbnail is added");
  CMetadataImage exifPng;
  FuzzCheck(exifPng.Load(png), "the PNG loads");
  for (const ExifItem& item : withThumbnail.Items()) exifPng.SetPropertyItem(item);
  Bytes pngWithExif;
  FuzzCheck(exifPng.Save(pngWithExif), "an eXIf chunk is added");
  CMetadataImage exifTiff;
  FuzzCheck(exifTiff.Load(tiff), "the TIFF loads");
  for (const ExifItem& item : withThumbnail.Items()) exifTiff.SetPropertyItem(item);
  Bytes tiffWithExif;
  FuzzCheck(exifTiff.Save(tiffWithExif), "directories are appended");

  Put("metadata_splice", "exif.jpg", Prefixed({1}, exifJpeg));
  Put("metadata_splice", "thumbnail.jpg", Prefixed({5}, thumbnailJpeg));
  Put("metadata_splice", "plain.png", Prefixed({0}, png));
  Put("metadata_splice", "exif.png", Prefixed({2}, pngWithExif));
  Put("metadata_splice", "exif.tif", Prefixed({3}, tiffWithExif));

  ImageInfo info;
  for (const ExifItem& item : withThumbnail.Items()) {
    auto record = std::make_unique<ImagePropertyRecord>();
    record->id = item.id;
    record->type = item.type;
    record->kind = ImagePropertyRecord::KindOfType(item.type);
    FuzzCheck(record->SetData(item.value), "an item is stored");
    info.properties.push_back(std::move(record));
  }
  CMemFile list;
  FuzzCheck(info.SerializeProperties(list, PropertyTransfer::Save), "the list is saved");
  Put("property_list", "items.bin", list.bytes());

  Put("thumbnail", "thumbnail.jpg", Prefixed({0, 199}, thumbnailJpeg));
  Put("thumbnail", "fast.jpg", Prefixed({0x80, 3}, exifJpeg));
  Put("thumbnail", "plain.png", Prefixed({1, 40}, png));
  Put("thumbnail", "exif.tif", Prefixed({2, 7}, tiffWithExif));
}

void ImageSeeds() {
  CCodecImage colour, grey, twoTone, sixteen, transparent;
  Paint(colour, 20, 14, 24);
  Paint(grey, 9, 7, 8);
  Paint(twoTone, 17, 5, 1);
  Paint(sixteen, 10, 6, 4);
  Paint(transparent, 8, 8, 24);
  FuzzCheck(transparent.AlphaCreate() != nullptr, "an alpha plane is made");
  for (std::int32_t i = 0; i < 8; ++i) transparent.AlphaSet(i, i, 255);

  const Bytes jpeg = Encoded(colour, CodecFormat::Jpeg);
  Put("jpeg", "colour-420.jpg", jpeg);
  colour.attributes.jpegSubsampling = false;
  Put("jpeg", "colour-444.jpg", Encoded(colour, CodecFormat::Jpeg));
  Put("jpeg", "grey.jpg", Encoded(grey, CodecFormat::Jpeg));
  Put("jpeg", "progressive.jpg", LibJpeg({JCS_RGB, 3, true, 0}, 24, 18));
  Put("jpeg", "restarts.jpg", LibJpeg({JCS_RGB, 3, false, 1}, 33, 17));
  Put("jpeg", "cmyk.jpg", LibJpeg({JCS_CMYK, 4, false, 0}, 16, 16));
  Put("jpeg", "grey-progressive.jpg", LibJpeg({JCS_GRAYSCALE, 1, true, 0}, 9, 30));

  Put("png", "rgb.png", Encoded(colour, CodecFormat::Png));
  Put("png", "palette-grey.png", Encoded(grey, CodecFormat::Png));
  Put("png", "one-bit.png", Encoded(twoTone, CodecFormat::Png));
  Put("png", "rgba.png", Encoded(transparent, CodecFormat::Png));
  const PngLayout pngLayouts[] = {
      {PNG_COLOR_TYPE_GRAY, 2, false, false, false},
      {PNG_COLOR_TYPE_GRAY, 16, true, true, true},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false, false},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, true},
      {PNG_COLOR_TYPE_RGB, 16, true, false, true},
      {PNG_COLOR_TYPE_RGB, 8, false, true, false},
      {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, false},
      {PNG_COLOR_TYPE_PALETTE, 4, true, true, false},
  };
  int index = 0;
  for (const PngLayout& layout : pngLayouts) {
    Put("png", "libpng-" + std::to_string(index++) + ".png", LibPng(layout, 11, 9));
  }

  // Formats without a library writer: our own encoders, one file per
  // layout they write.
  Put("bmp", "rgb.bmp", Encoded(colour, CodecFormat::Bmp));
  Put("bmp", "grey.bmp", Encoded(grey, CodecFormat::Bmp));
  Put("bmp", "four-bit.bmp", Encoded(sixteen, CodecFormat::Bmp));
  Put("bmp", "one-bit.bmp", Encoded(twoTone, CodecFormat::Bmp));
  Put("ico", "rgb.ico", Encoded(colour, CodecFormat::Ico));
  Put("ico", "alpha.ico", Encoded(transparent, CodecFormat::Ico));
  Put("ico", "grey.ico", Encoded(grey, CodecFormat::Ico));
  Put("gif", "grey.gif", Encoded(grey, CodecFormat::Gif));
  Put("gif", "true-colour.gif", Encoded(colour, CodecFormat::Gif));
  Put("gif", "one-bit.gif", Encoded(twoTone, CodecFormat::Gif));
  Put("tga", "rgb.tga", Encoded(colour, CodecFormat::Tga));
  Put("tga", "grey.tga", Encoded(grey, CodecFormat::Tga));
  Put("tga", "alpha.tga", Encoded(transparent, CodecFormat::Tga));
  Put("pcx", "rgb.pcx", Encoded(colour, CodecFormat::Pcx));
  Put("pcx", "four-bit.pcx", Encoded(sixteen, CodecFormat::Pcx));
  Put("pcx", "one-bit.pcx", Encoded(twoTone, CodecFormat::Pcx));
  Put("wbmp", "one-bit.wbmp", Encoded(twoTone, CodecFormat::Wbmp));

  // The information record: the first byte picks the name's extension
  // (0 .jpg, 1 .png, 2 .tif, 5 .tga, 6 .pcx).
  const Bytes exifJpeg = WithExif(jpeg);
  Put("image_info", "exif.jpg", Prefixed({0}, exifJpeg));
  Put("image_info", "plain.png", Prefixed({1}, Encoded(colour, CodecFormat::Png)));
  Put("image_info", "exif.tif", Prefixed({2}, ExifBlock()));
  Put("image_info", "plain.tga", Prefixed({5}, Encoded(colour, CodecFormat::Tga)));
  Put("image_info", "plain.pcx", Prefixed({6}, Encoded(colour, CodecFormat::Pcx)));
  // Photo-info records: the first byte picks the extension (0 .jpg, 1 .png).
  CMetadataImage tagged;
  FuzzCheck(tagged.Load(exifJpeg), "the EXIF JPEG loads");
  static constexpr std::string_view kTags = "anna  Anna ben wedding-2023 ";
  tagged.SetPropertyItem({53089, 2, static_cast<std::uint32_t>(kTags.size() + 1),
                          Bytes(reinterpret_cast<const std::uint8_t*>(kTags.data()),
                                reinterpret_cast<const std::uint8_t*>(kTags.data()) + kTags.size() + 1)});
  Bytes taggedJpeg;
  FuzzCheck(tagged.Save(taggedJpeg), "the tags are added");
  Put("photo_info", "tagged.jpg", Prefixed({0}, taggedJpeg));
  Put("photo_info", "plain.png", Prefixed({1}, Encoded(colour, CodecFormat::Png)));

  const Bytes tiff = Encoded(colour, CodecFormat::Tiff);
  MetadataSeeds(exifJpeg, Encoded(colour, CodecFormat::Png), tiff);
  Put("tiff", "rgb-lzw.tif", Prefixed({0}, tiff));
  Put("tiff", "grey-packbits.tif", Prefixed({0}, Encoded(grey, CodecFormat::Tiff)));
  Put("tiff", "g4.tif", Prefixed({0}, Encoded(twoTone, CodecFormat::Tiff)));
  Put("tiff", "four-bit.tif", Prefixed({0}, Encoded(sixteen, CodecFormat::Tiff)));
  Put("tiff", "rgba.tif", Prefixed({0}, Encoded(transparent, CodecFormat::Tiff)));
  const TiffLayout tiffLayouts[] = {
      {16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, false, 1},
      {8, 3, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, true, 1},
      {8, 1, PHOTOMETRIC_PALETTE, COMPRESSION_LZW, false, 2},
      {8, 4, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE, false, 1},
      {16, 3, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS, false, 1},
  };
  index = 0;
  for (const TiffLayout& layout : tiffLayouts) {
    Put("tiff", "libtiff-" + std::to_string(index) + ".tif",
        Prefixed({static_cast<std::uint8_t>(layout.pages - 1)}, LibTiff(layout, 20, 12)));
    ++index;
  }

  const std::filesystem::path dng = FuzzScratchFile("seed.dng");
  WriteDng(dng, PreviewForm::Jpeg);
  const Bytes dngJpeg = FileBytes(dng);
  Put("camera_raw", "jpeg-preview.dng", dngJpeg);
  WriteDng(dng, PreviewForm::Rgb);
  const Bytes dngRgb = FileBytes(dng);
  Put("camera_raw", "rgb-preview.dng", dngRgb);

  const auto named = [](std::string_view name, std::span<const std::uint8_t> content) {
    Bytes bytes(name.begin(), name.end());
    bytes.push_back(0);
    bytes.insert(bytes.end(), content.begin(), content.end());
    return bytes;
  };
  Put("image_type", "jpg", named("/photos/Wedding 2023/IMG_0001.JPG", jpeg));
  Put("image_type", "png", named("scan.png", Encoded(transparent, CodecFormat::Png)));
  Put("image_type", "tif", named("page.tiff", tiff));
  Put("image_type", "dng", named("shot.dng", dngJpeg));
  Put("image_type", "nef", named("shot.NEF", dngRgb));
  Put("image_type", "nrw", named("shot.nrw", dngRgb));
  Put("image_type", "gif", named("anim.gif", Bytes{'G', 'I', 'F', '8', '9', 'a'}));
  Put("image_type", "names", named("dir.jpg/photo", {}));
}

void PackedSeeds() {
  CBgraImage16 image;
  FuzzCheck(image.Create(5, 4), "an image is made");
  for (std::uint32_t i = 0; i < 4 * image.pixelCount; ++i)
    image.pixels[i] = static_cast<std::uint16_t>(i * 2999);
  CMemFile stored;
  FuzzCheck(WritePackedImage16(image, stored), "an image record is written");
  Put("packed_records", "image16-alpha", Prefixed({0}, stored.bytes()));

  CPlane8 plane;
  FuzzCheck(plane.Create(7, 3), "a plane is made");
  for (std::uint32_t i = 0; i < plane.byteSize; ++i) plane.pixels[i] = static_cast<std::uint8_t>(i * 11);
  CMemFile planeRecord;
  FuzzCheck(WritePackedPlane(plane, planeRecord), "a plane record is written");
  Put("packed_records", "plane", Prefixed({1}, planeRecord.bytes()));

  CBgraImage picture;
  FuzzCheck(picture.Create(32, 32), "a picture is made");
  for (std::uint32_t i = 0; i < picture.byteSize; ++i) picture.pixels[i] = static_cast<std::uint8_t>(i * 7);
  for (std::uint8_t withAlpha : {0, 1}) {
    CMemFile region;
    FuzzCheck(WritePackedRegion(picture, region, Rect{2, 3, 9, 7}, withAlpha), "a region record is written");
    Put("packed_records", withAlpha ? "region-alpha" : "region", Prefixed({2, 2, 3, 9, 7}, region.bytes()));
  }

  CBgraImage raw;
  FuzzCheck(raw.Create(6, 4), "a picture is made");
  for (std::uint32_t i = 0; i < raw.byteSize; ++i) raw.pixels[i] = static_cast<std::uint8_t>(i * 5);
  const std::filesystem::path path = FuzzScratchFile("seed.raw");
  FuzzCheck(raw.SaveRawBgr(path), "a raw picture is saved");
  Put("raw_bgr", "six-by-four", FileBytes(path));
}

void DocumentSeeds() {
  CBFDoc doc;
  MakeFuzzDocument(doc);
  doc.m_layers[1]->m_x = -3;
  doc.m_layers[1]->m_y = 5;
  doc.m_layers[1]->m_blendMode = 9;
  doc.m_layers[1]->m_opacity = 99;
  doc.m_layers[2]->m_x = 4;
  FuzzCheck(doc.m_selection.Create(12, 8), "a selection is made");
  for (std::uint32_t i = 0; i < doc.m_selection.byteSize; ++i)
    doc.m_selection.pixels[i] = static_cast<std::uint8_t>(i);
  auto mask = std::make_unique<MaskRecord>();
  FuzzCheck(mask->plane.Create(3, 2) && mask->thumbnail.Create(4, 4), "a mask is made");
  mask->SetName(u"Lastarea");
  mask->documentWidth = 12;
  doc.m_masks.push_back(std::move(mask));
  doc.SetPath(u"/home/anna/Pictures/\u5a5a\u793c.bfdoc");
  for (int full : {0, 1}) {
    CMemFile body;
    FuzzCheck(doc.Serialize(body, 0, full), "a body is written");
    Put("document_body", full ? "full" : "layers-only",
        Prefixed({static_cast<std::uint8_t>(full)}, body.bytes()));
  }
  {
    // A project with two items: an ASCII text and a RATIONAL.
    ImageInfo info;
    const auto add = [&info](std::uint32_t id, std::uint16_t type,
                             std::initializer_list<std::uint8_t> value) {
      auto record = std::make_unique<ImagePropertyRecord>();
      record->id = id;
      record->type = type;
      record->kind = ImagePropertyRecord::KindOfType(type);
      FuzzCheck(record->SetData(std::span<const std::uint8_t>(value.begin(), value.size())),
                "an item is stored");
      info.properties.push_back(std::move(record));
    };
    add(271, 2, {'C', 'a', 'm'});
    add(33434, 5, {1, 0, 0, 0, 125, 0, 0, 0});
    CMemFile project;
    FuzzCheck(WriteProjectFile(project, doc, &info), "a project is written");
    Put("project_file", "two-items", project.bytes());
    CMemFile bare;
    FuzzCheck(WriteProjectFile(bare, doc, nullptr), "a project without items is written");
    Put("project_file", "no-items", bare.bytes());
  }

  // One payload of each step kind, as the history writes it.
  CDocHistory history;
  FuzzCheck(history.Open(doc,
                         [](std::filesystem::path& path, std::u16string_view) {
                           path = FuzzScratchFile("seed.bftmp");
                           return true;
                         }),
            "a history is opened");
  const auto step = [&](std::string_view name, std::initializer_list<std::uint8_t> prefix, auto&& write) {
    CMemFile payload;
    FuzzCheck(write(payload), "a payload is written");
    Put("history_step", name, Prefixed(prefix, payload.bytes()));
  };
  step("layer", {0, 1, 0, 0, 0, 0},
       [&](CFile& f) { return history.WritePixels(f, *doc.m_layers[1], Rect{}) != 0; });
  step("text-layer", {0, 2, 0, 0, 0, 0},
       [&](CFile& f) { return history.WritePixels(f, *doc.m_layers[2], Rect{}) != 0; });
  step("region", {1, 0, 2, 1, 7, 5}, [&](CFile& f) {
    return history.WritePixels(f, *doc.m_layers[0], Rect{2, 1, 7, 5}) != 0;
  });
  step("layer-list", {2, 0, 0, 0, 0, 0}, [&](CFile& f) { return history.WriteLayerList(f) != 0; });
  step("snapshot", {3, 0, 0, 0, 0, 0}, [&](CFile& f) { return doc.Serialize(f, 0, 0) != 0; });
}

// Each block after its kind and the picture's size bytes (FuzzGeometryParams).
void GeometrySeeds() {
  RotateParams rotate;
  rotate.angle = 0.3;
  rotate.crop = 1;
  Put("geometry_params", "rotate-crop", Prefixed({0, 11, 7}, RotateParamsToBytes(rotate)));
  BarrelDistortParams barrel;
  barrel.amount = 0.6;
  barrel.crop = 1;
  Put("geometry_params", "barrel-crop", Prefixed({1, 15, 9}, BarrelDistortParamsToBytes(barrel)));
  ShapeTransformParams shape;
  shape.topLeft = {6, 0};
  shape.topRight = {40, 3};
  shape.bottomLeft = {0, 30};
  shape.bottomRight = {44, 27};
  shape.targetWidth = 45;
  shape.targetHeight = 31;
  Put("geometry_params", "shape-final", Prefixed({2, 9, 6}, ShapeTransformParamsToBytes(shape)));
  shape.step = 0;
  Put("geometry_params", "shape-step-0", Prefixed({2, 0, 5}, ShapeTransformParamsToBytes(shape)));
  shape.step = 4;
  shape.topRight = {48, 0};
  Put("geometry_params", "shape-preview", Prefixed({2, 15, 15}, ShapeTransformParamsToBytes(shape)));
}

void SettingsSeeds(const std::filesystem::path& sourceRoot) {
  // config.dat: as the program writes it, with and without favourites.
  g_ConfigFilePath = FuzzScratchFile("config.dat");
  g_AlbumRootFolder = u"/";
  FuzzCheck(SaveConfigFile(), "config.dat is written");
  Put("config_file", "root-only", FileBytes(g_ConfigFilePath));
  FavouriteFolder favourite;
  favourite.SetName(u"\u5a5a\u793c");
  favourite.SetPath(u"/home/anna/Pictures/Wedding");
  g_FavouriteFolders = {favourite, favourite};
  g_SearchScopeFolders = {u"/home/anna/Pictures", u"/tmp"};
  FuzzCheck(SaveConfigFile(), "config.dat is written");
  Put("config_file", "favourites-and-scopes", FileBytes(g_ConfigFilePath));

  // settings.ini: the name and text to store, then a file the store wrote.
  const std::filesystem::path ini = FuzzScratchFile("seed.ini");
  CSettingsStore store(ini, {});
  FuzzCheck(store.SetDword(u"Program", u"Animation", 1) && store.SetString(u"Program", u"Skin", u"bright") &&
                store.SetString(u"Last Path", u" odd=name\\", u"/home/anna/\u5199\u771f\n[x]") &&
                store.SetDword(u"", u"Root", 0xFFFFFFFF),
            "settings are stored");
  const Bytes file = FileBytes(ini);
  Put("settings_ini", "store", Prefixed({4, 'S', 'k', 'i', 'n', 4, 'd', 'a', 'r', 'k'}, file));
  Put("settings_ini", "escapes", Prefixed({3, '[', '=', ']', 2, '\\', 0}, file));

  // The mount table: a root, media with an escaped blank and optional
  // fields, a network share, and a cut line.
  const std::string_view mounts =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "40 22 8:17 / /media/me/MY\\040STICK rw,nosuid shared:5 master:1 - vfat /dev/sdb1 rw\n"
      "41 22 0:50 / /mnt/nas rw - nfs4 server:/photos rw\n"
      "42 22 8:33 / /run/media/me/DVD ro -";
  Put("mount_info", "mountinfo",
      std::span(reinterpret_cast<const std::uint8_t*>(mounts.data()), mounts.size()));

  // Text tables: the base table and a language file with a bad line.
  Put("string_table", "resource.txt", FileBytes(sourceRoot / "data/basic/resource.txt"));
  const std::u16string language =
      u"\uFEFF; Japanese\r\n[StringTab]\r\n\"title\"=\"\u5199\u771f\"\r\n\"quote\"=\"a \"b\" "
      u"c\"\r\n\"bad\"x\r\n";
  Bytes utf16;
  for (char16_t c : language) {
    utf16.push_back(static_cast<std::uint8_t>(c));
    utf16.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  Put("string_table", "language.txt", utf16);

  // Dialog templates: the shipped files, and one with escapes, a trackbar,
  // negative places and a bad last line.
  for (const char* name :
       {"messagebox.dlg", "textinput.dlg", "picturehint.dlg", "colorpicker.dlg", "lockratio.dlg"})
    Put("dialog_templates", name, FileBytes(sourceRoot / "data/dialogs" / name));
  const std::string odd =
      "\xEF\xBB\xBF# odd\r\ndialog 60000 \"a \\\"b\\\" \\\\ \\n\" 10 20\r\n"
      "\tcontrol msctls_trackbar32 65535 \"#Rkey\" -32768 -1 32767 0\n"
      "control Button 1 \"x\" 0 0 1\n";
  Put("dialog_templates", "odd.dlg", Bytes(odd.begin(), odd.end()));

  // Preset files: the reader's record size less one, then "lockratio.set"
  // as the ratio presets write it, with older 40-byte records, and with a
  // record size of 0.
  ByteWriter presets;
  presets.U8(RatioPreset::kRecordSize - 1);
  presets.U16(RatioPreset::kRecordSize);
  RatioPreset{u"16:9 wide", 16, 9}.AppendRecord(presets);
  RatioPreset{u"\u5199\u771f", 3, 2}.AppendRecord(presets);
  Put("preset_file", "ratios", presets.bytes());
  ByteWriter older;
  older.U8(RatioPreset::kRecordSize - 1);
  older.U16(40);
  older.Text16(u"square", 20);
  older.Text16(u"portrait", 20);
  Put("preset_file", "older-records", older.bytes());
  Put("preset_file", "size-zero", Bytes{7, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
  {
    // JPEG presets: two records, then the same cut short inside the second.
    ByteWriter jpeg;
    jpeg.U16(static_cast<std::uint16_t>(JpegSavePreset::kRecordSize));
    for (const char16_t* name : {u"Web 200 KB", u"Print"}) {
      JpegSavePreset preset;
      preset.name = name;
      preset.block.sizePolicy = kPolicyQuality;
      preset.block.targetKb = 200;
      preset.AppendRecord(jpeg);
    }
    Put("jpeg_presets", "two", jpeg.bytes());
    Bytes cut = jpeg.bytes();
    cut.resize(2 + JpegSavePreset::kRecordSize + 100);
    Put("jpeg_presets", "partial", cut);
  }
}

void UpdateReplySeeds(const std::filesystem::path& sourceRoot) {
  // A reply with a terminated text and the shipped notice's pattern; a reply
  // whose text fills it to the end, with a pattern of the wrong placeholders.
  const auto reply = [](std::uint16_t version, const std::u16string& text) {
    Bytes bytes(402, 0);
    StoreLE16(bytes.data(), version);
    for (std::size_t i = 0; i < text.size() && 3 + 2 * i < bytes.size(); ++i)
      StoreLE16(&bytes[2 + 2 * i], text[i]);
    return bytes;
  };
  const auto utf16 = [](const std::u16string& text) {
    Bytes bytes;
    for (char16_t c : text) {
      bytes.push_back(static_cast<std::uint8_t>(c));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
  };
  CStringTable texts;
  std::u16string pattern = u"Tessera %.2f is available:\\n%s";
  if (texts.Load(sourceRoot / "data/basic/resource.txt")) {
    texts.Sort();
    if (const char16_t* shipped = texts.LookupText(u"newversionfind")) pattern = shipped;
  }
  Bytes first = reply(251, u"Faster start, \u5199\u771f");
  const Bytes firstPattern = utf16(pattern);
  first.insert(first.end(), firstPattern.begin(), firstPattern.end());
  Put("update_reply", "shipped-notice", first);
  Bytes full = reply(65535, std::u16string(300, u'x'));
  const Bytes fullPattern = utf16(u"%d %n %999999.99999e %s %s %c %");
  full.insert(full.end(), fullPattern.begin(), fullPattern.end());
  Put("update_reply", "unterminated-wrong-placeholders", full);
}

void ClipboardSeeds() {
  // File lists as other programs write them and as the program keeps them.
  const std::vector<std::filesystem::path> paths = {"/home/anna/Pictures/a.jpg",
                                                    "/home/anna/Bilder/Hochzeit 2019/caf\xC3\xA9 #1.png"};
  const auto text = [](const std::string& list) { return Bytes(list.begin(), list.end()); };
  Put("file_list", "uri-list", text(MakeUriList(paths)));
  Put("file_list", "uri-list-comment", text("# from a browser\nfile://localhost/tmp/x.jpg\n"));
  Put("file_list", "gnome-cut", text(MakeGnomeCopiedFiles(true, paths)));
  Put("file_list", "dropfiles", MakeDropFilesBlock(MakeFileList(paths)));

  // Bitmaps: the program's own (bottom-up, 32 bits) and a top-down 24-bit
  // one with padded rows.
  CBgraImage picture;
  FuzzCheck(picture.Create(3, 2) != 0, "a picture is made");
  for (std::uint32_t i = 0; i < picture.byteSize; ++i) picture.pixels[i] = static_cast<std::uint8_t>(37 * i);
  const Bytes dib = MakeDibBlock(picture);
  Put("dib_block", "bottom-up-32", dib);
  Bytes topDown(dib.begin(), dib.begin() + 40);
  StoreLE32(&topDown[8], static_cast<std::uint32_t>(-2));
  StoreLE16(&topDown[14], 24);
  for (std::uint32_t y = 0; y < 2; ++y) {
    for (std::uint32_t x = 0; x < 3; ++x)
      topDown.insert(topDown.end(), picture.At(x, y), picture.At(x, y) + 3);
    topDown.insert(topDown.end(), 3, 0);
  }
  Put("dib_block", "top-down-24", topDown);

  // Pasted bitmaps: a format byte (0 Dib, 1 DibV5) before the block.
  const auto pasted = [](std::uint8_t format, const Bytes& block) {
    Bytes seed{format};
    seed.insert(seed.end(), block.begin(), block.end());
    return seed;
  };
  Put("clipboard_picture", "dib-32", pasted(0, dib));
  Put("clipboard_picture", "v5-top-down-24", pasted(1, topDown));
  Bytes fields = dib;
  StoreLE32(&fields[16], 3);  // bit fields: 12 bytes of masks after the header
  StoreLE32(&fields[20], 0);
  fields.insert(fields.begin() + 40, 12, 0xFF);
  Put("clipboard_picture", "dib-bitfields", pasted(0, fields));
}

void FilterSeeds() {
  // Skin-clean blocks: the dialog's defaults, every option on with a stored
  // radius of 0, and an older record of 12 bytes.
  SkinCleanParams block;
  Put("skin_clean_params", "defaults", SkinCleanParamsToBytes(block));
  block.radius = 0;
  block.amount = 100;
  block.lightness = 7;
  block.tint = 100;
  block.noiseReduction = 1;
  block.texture = 1;
  Put("skin_clean_params", "all-options", SkinCleanParamsToBytes(block));
  Bytes older(12);
  const auto bytes = SkinCleanParamsToBytes(SkinCleanParams{});
  std::copy_n(bytes.begin(), older.size(), older.begin());
  StoreLE16(older.data(), 12);
  Put("skin_clean_params", "older", older);
}

// The filters' stored records: the dialogs' defaults and a record of an
// older, shorter layout.
void FilterParamsSeeds() {
  Put("filter_params", "defog", Prefixed({0}, DefogParamsToBytes({})));
  EnhanceDynamicParams curve;
  curve.method = 0;
  curve.highlight = 40;
  Put("filter_params", "dynamic-range", Prefixed({1}, EnhanceDynamicParamsToBytes(curve)));
  DiffuseParams glow;
  glow.mode = 1;
  glow.radius = 7.5;
  Put("filter_params", "diffuse", Prefixed({2}, DiffuseParamsToBytes(glow)));
  auto shorter = DiffuseParamsToBytes({});
  StoreLE16(shorter.data(), 16);
  Put("filter_params", "diffuse-short", Prefixed({2}, std::span(shorter).first(16)));
  DescreenParams screen;
  screen.patternSize = 0;
  screen.fast = 0;
  Put("filter_params", "descreen", Prefixed({3}, DescreenParamsToBytes(screen)));
  PurpleFringeParams fringe;
  Put("filter_params", "purple-fringe", Prefixed({4}, PurpleFringeParamsToBytes(fringe)));
  fringe.mode = 1;
  fringe.redScale = 60;
  fringe.blueScale = -30;
  Put("filter_params", "aberration", Prefixed({4}, PurpleFringeParamsToBytes(fringe)));
}

// Typed values: UTF-16 little-endian texts.
void FractionSeeds() {
  const std::pair<const char*, std::u16string_view> texts[] = {
      {"fraction", u"1/4"},       {"negative", u"-2.5"},
      {"exponent", u"1e400"},     {"tiny-denominator", u"1/1e-9"},
      {"two-slashes", u" 3/4/5"},
  };
  for (const auto& [name, text] : texts) {
    Bytes bytes;
    for (const char16_t c : text) {
      bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    Put("fraction", name, bytes);
  }
}

// The property list's outside input: a reader byte, two u32 (a range or a
// rational pair), then UTF-16 little-endian text.
void PropertyEditSeeds() {
  struct Seed {
    const char* name;
    std::uint8_t reader;
    std::int32_t first, second;
    std::u16string_view text;
  };
  const Seed seeds[] = {
      {"options", 0, 0, 0, u"Off^0|On^1|Red-eye^65"},
      {"integer", 1, -2147483647, 2147483647, u"99999999999"},
      {"unsigned", 1, 0, 16777214, u"+16777215"},
      {"rational", 2, 0, 0, u"1/8"},
      {"huge-rational", 2, 0, 0, u"-1e300"},
      {"pair", 3, 3, 10, u""},
      {"pair-min", 3, 1, INT32_MIN, u""},
  };
  for (const Seed& seed : seeds) {
    Bytes bytes{seed.reader};
    for (const std::int32_t value : {seed.first, seed.second}) {
      for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift));
    }
    for (const char16_t c : seed.text) {
      bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    Put("property_edit", seed.name, bytes);
  }
}

// The search page's files: a catalog file with a nested catalog, and a
// place-name file with one full and one short-sized record.
void SearchFileSeeds() {
  CSearchNode root;
  auto parent = std::make_unique<CSearchNode>();
  parent->text = u"Holidays";
  parent->criteria.slots[kSlotDate] = SearchCondition::Make(ConditionKind::DateRange, 20100101, 20110101);
  auto child = std::make_unique<CSearchNode>();
  child->text = u"Beach";
  child->criteria.SetTagWords(u"sea sand");
  parent->AppendChild(std::move(child));
  root.AppendChild(std::move(parent));
  ByteWriter catalogs;
  for (const auto& node : root.children) WriteCatalogRecord(catalogs, static_cast<const CSearchNode&>(*node));
  Put("catalog_file", "nested", catalogs.bytes());
  ByteWriter tiny;
  tiny.U16(66);
  tiny.Text16(u"tiny", 32);
  tiny.U16(0);
  Put("catalog_file", "no-criteria", tiny.bytes());

  PlaceNameRecord place;
  place.latitude = SearchCondition::Make(ConditionKind::Near, 488584, 1000);
  place.longitude = SearchCondition::Make(ConditionKind::Near, -22945, 1000);
  place.SetName(u"Paris");
  ByteWriter names;
  names.U16(static_cast<std::uint16_t>(PlaceNameRecord::kBytes));
  place.Write(names);
  Put("place_names", "one", names.bytes());
  ByteWriter shorter;
  shorter.U16(300);
  ByteWriter body;
  place.Write(body);
  shorter.Bytes(std::span(body.bytes()).first(300));
  Put("place_names", "short-records", shorter.bytes());

  for (const auto& [name, text] : {std::pair<const char*, std::u16string_view>{"dashes", u"2010-05-01"},
                                   {"mixed", u" 2010/5 :1 "},
                                   {"month-only", u"2010_05"}}) {
    Bytes bytes;
    for (const char16_t c : text) {
      bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    Put("catalog_date", name, bytes);
  }
}

}  // namespace

void ExternalEditorSeeds() {
  // Exchange files: 2 x 1 of 3 channels, 1 x 2 of 4 channels, one with its
  // last row short.
  const auto exchange = [](std::int32_t width, std::int32_t height, std::uint8_t channels, std::size_t cut) {
    Bytes bytes(9, 0);
    StoreLE32(bytes.data(), static_cast<std::uint32_t>(width));
    StoreLE32(bytes.data() + 4, static_cast<std::uint32_t>(height));
    bytes[8] = channels;
    for (std::size_t i = 0; i < std::size_t(width) * height * channels; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(i * 37));
      bytes.push_back(static_cast<std::uint8_t>(i * 91));
    }
    bytes.resize(bytes.size() - cut);
    return bytes;
  };
  Put("exchange_file", "rgb-2x1", exchange(2, 1, 3, 0));
  Put("exchange_file", "rgba-1x2", exchange(1, 2, 4, 0));
  Put("exchange_file", "short-row", exchange(2, 2, 4, 3));
  // Service replies: piece size, then the packet (an update reply, an empty
  // one, one announcing too much).
  const auto packet = [](std::uint8_t piece, std::uint16_t command, std::uint32_t length,
                         std::size_t payload) {
    Bytes bytes{piece, 'S', 'E', 'N', 'T', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    StoreLE16(bytes.data() + 5, command);
    StoreLE32(bytes.data() + 7, length);
    StoreLE32(bytes.data() + 12, length);
    for (std::size_t i = 0; i < payload; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
    return bytes;
  };
  Put("service_packet", "update-reply", packet(7, 201, 40, 40));
  Put("service_packet", "empty", packet(0, 205, 0, 0));
  Put("service_packet", "too-long", packet(3, 201, 4080, 10));
}

// Recovery indexes over the fuzz target's fixed history file: one usable
// page, a page with a damaged step beside it, and a truncated one.
void RecoveryIndexSeeds() {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / "tessera-fuzz-recovery" / "h.bftmp";
  HistoryStep snapshot, layer;
  snapshot.size = 200;
  layer.type = kStepLayer;
  layer.offset = 200;
  layer.size = 100;
  const std::vector<HistoryStep> good{snapshot, layer};
  std::vector<HistoryStep> damaged = good;
  damaged[1].size = 101;
  const std::vector<RecoveryIndexPage> one{{file, good}}, two{{file, good}, {file, damaged}};
  Put("recovery_index", "one-page", EncodeRecoveryIndex(one));
  Put("recovery_index", "damaged-second-page", EncodeRecoveryIndex(two));
  Bytes cut = EncodeRecoveryIndex(two);
  cut.resize(cut.size() - 500);
  Put("recovery_index", "cut-short", cut);
}

// The parameter dialogs' undo file: a 2 x 2 record and one cut short.
void UndoImageSeeds() {
  std::vector<std::uint8_t> record(8 + 2 * 2 * 8);
  StoreLE32(record.data(), 2);
  StoreLE32(record.data() + 4, 2);
  for (std::size_t i = 8; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(i * 37);
  Put("undo_image", "two-by-two", record);
  record.resize(record.size() - 3);
  Put("undo_image", "cut-short", record);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  g_root = argv[1];
  const std::filesystem::path sourceRoot = TESSERA_SOURCE_DIR;
  ImageSeeds();
  PackedSeeds();
  DocumentSeeds();
  SettingsSeeds(sourceRoot);
  UpdateReplySeeds(sourceRoot);
  ExternalEditorSeeds();
  ClipboardSeeds();
  FilterSeeds();
  GeometrySeeds();
  FilterParamsSeeds();
  FractionSeeds();
  PropertyEditSeeds();
  SearchFileSeeds();
  RecoveryIndexSeeds();
  UndoImageSeeds();
  return 0;
}
