#pragma once
// CCodecImage: the in-memory image of the codec layer. Its pixels are one
// packed device-independent bitmap: the 40-byte information header, the
// palette (2, 16 or 256 entries for 1-, 4- and 8-bit images, none for 24
// bits), then the rows, each padded to a multiple of 4 bytes. Row 0 is the
// bottom row of the picture and every coordinate here is a bitmap coordinate
// (y = 0 at the bottom). 24-bit pixels are B, G, R; a 4-bit byte holds the
// left pixel in its high nibble, a 1-bit byte its left pixel in the top bit.
// An optional alpha plane (one byte per pixel, rows bottom-up, 0 transparent)
// and the attribute record ride along.
//
// Each file format has a codec class that derives from this one and adds
// only `bool Decode(CCodecStream&)` and/or `bool Encode(CCodecStream&)`;
// Load, Save, Decode and Encode below choose the codec by CodecFormat.
//
// Sizes are checked in 64 bits: no side may be 0 or negative and no image may
// hold more than kMaxImagePixels pixels. New rows are zero.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>

#include "image/PixelBlock.h"
#include "image/codecs/BitmapInfoHeader.h"
#include "image/codecs/CodecAttributes.h"
#include "image/codecs/CodecFormat.h"
#include "image/codecs/HslQuad.h"
#include "image/codecs/RgbQuad.h"

class CCodecStream;

class CCodecImage {
public:
  // An empty image of that format.
  explicit CCodecImage(CodecFormat format = CodecFormat::Bmp);
  // A 24-bit image of that size (format GIF, rows zero); empty when the size
  // is refused or memory is exhausted.
  CCodecImage(std::int64_t width, std::int64_t height);
  virtual ~CCodecImage();
  CCodecImage(const CCodecImage&) = delete;
  CCodecImage& operator=(const CCodecImage&) = delete;

  // ---- Lifetime -------------------------------------------------------------
  // Becomes an image of the source's attributes, size, bit count and format,
  // with its palette and a copy of its alpha plane; the rows are zero, not
  // copied. False (and empty) when the source is empty or memory runs out.
  [[nodiscard]] bool CopyLayout(const CCodecImage& source);
  // Releases what the image owns; a borrowed block is only let go.
  void Destroy();
  // Takes over the source's header, attributes, block and alpha plane; the
  // source is left empty.
  void TakeFrom(CCodecImage& source);
  // Borrows the source's block and alpha plane and copies its header and
  // attributes. The source must outlive this image and keep its block;
  // writes to the borrowed pixels reach the source.
  void ShareFrom(CCodecImage& source);
  // Copies the attribute record, only when this image has no block yet.
  void CopyAttributes(const CCodecImage& source);

  // ---- Geometry and memory --------------------------------------------------
  // Makes a new image: bit counts up to 1, 4 and 8 stay palette images of 2,
  // 16 and 256 entries (all zero), any larger count gives 24 bits. Returns
  // the new block, or null (and an empty image) for a refused size or on
  // exhaustion. Any alpha plane is dropped.
  [[nodiscard]] std::uint8_t* Create(std::int64_t width, std::int64_t height, std::int32_t bitCount,
                                     CodecFormat format);
  std::uint8_t* GetBits() { return pixelStart; }
  const std::uint8_t* GetBits() const { return pixelStart; }
  bool IsEmpty() const { return block == nullptr; }
  const BitmapInfoHeader& GetHeader() const { return header; }
  std::uint32_t GetWidth() const { return static_cast<std::uint32_t>(header.biWidth); }
  std::uint32_t GetHeight() const { return static_cast<std::uint32_t>(header.biHeight); }
  std::uint32_t GetBitCount() const { return header.biBitCount; }
  std::uint32_t GetRowStride() const { return rowStride; }
  std::uint32_t GetColorCount() const { return header.biClrUsed; }
  // 40 + palette bytes + rows; 0 for an empty image.
  std::uint32_t GetBlockSize() const;
  std::uint32_t GetPaletteSize() const { return 4 * header.biClrUsed; }
  bool IsInside(std::int32_t x, std::int32_t y) const;
  void SetXDPI(std::int32_t dpi);
  void SetYDPI(std::int32_t dpi);

  // ---- Palette --------------------------------------------------------------
  // The palette's bytes (4 per entry); empty without a block or palette.
  std::span<std::uint8_t> GetPalette();
  std::span<const std::uint8_t> GetPalette() const;
  // All zeros when there is no palette or the index is past its end.
  RgbQuad GetPaletteColor(std::uint32_t index) const;
  // False when there is no palette.
  [[nodiscard]] bool GetPaletteColor(std::uint8_t index, std::uint8_t& red, std::uint8_t& green,
                                     std::uint8_t& blue) const;
  // Ignored without a palette or for an index past its end.
  void SetPaletteColor(std::uint8_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  void SetPaletteColor(std::uint8_t index, RgbQuad entry);
  // Each form writes at most as many entries as the palette holds.
  void SetPalette(std::span<const RgbQuad> entries);
  // R, G, B byte triples.
  void SetPalette(std::span<const std::uint8_t> rgbTriples);
  // Separate arrays of red, green and blue; an empty green array takes the
  // red one, an empty blue array the green (or else the red) one. The
  // shortest non-empty array sets the entry count.
  void SetPalette(std::span<const std::uint8_t> red, std::span<const std::uint8_t> green,
                  std::span<const std::uint8_t> blue);
  // Entry i = grey i x (255 / (count - 1)).
  void SetGrayPalette();
  // True when there is a palette and every entry i is (i, i, i).
  bool IsGrayScale() const;
  // Index of the palette entry nearest to colour (squared distance, lowest
  // index on a tie); 0 without a palette.
  std::uint8_t GetNearestIndex(RgbQuad color) const;
  // Exchanges palette entries 0 and index and the pixel values 0 and index.
  void SwapWithIndexZero(std::uint8_t index);
  bool HasPaletteAlpha() const;
  // The palette entry of transparentIndex for a palette image that has one,
  // otherwise transparentColor.
  RgbQuad GetTransparentColor() const;
  // 4 with an alpha plane, else 2 above 8 bits per pixel, else 1.
  std::int32_t GetColorType() const;

  // ---- Pixels ---------------------------------------------------------------
  // 0 without a block or palette; outside the image transparentIndex when
  // one is set, else 0.
  std::uint8_t GetPixelIndex(std::int32_t x, std::int32_t y) const;
  // B, G, R and the fourth byte of transparentColor for a 24-bit pixel, the
  // palette entry for a palette pixel, GetTransparentColor outside. The alpha
  // plane is not consulted.
  RgbQuad GetPixelColor(std::int32_t x, std::int32_t y) const;
  void SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index);
  // A palette image stores the nearest palette index.
  void SetPixelColor(std::int32_t x, std::int32_t y, RgbQuad color);
  // From a COLORREF: red in the low byte.
  void SetPixelColor(std::int32_t x, std::int32_t y, std::uint32_t colorref);
  static RgbQuad ColorrefToRgbQuad(std::uint32_t colorref);
  // Swaps the first and third byte of each whole 3-byte group within the
  // first min(size, rowStride) bytes; nothing for palette images.
  void SwapRedBlue(std::span<std::uint8_t> buffer) const;
  // Orders colours by (30 R + 59 G + 11 B) / 100: 0 equal, 1 when a is
  // brighter, -1 otherwise.
  static int CompareLuminance(RgbQuad a, RgbQuad b);
  // Fills this 24-bit image from packed 16- or 32-bit rows (source strides
  // ((width + 1) / 2) x 4 and width x 4). Works from the last row and pixel
  // back to the first, so a 16-bit source may lie in this image's own
  // pixels. False for other bit counts, a short source or a palette image.
  [[nodiscard]] bool BitfieldsToRgb(std::span<const std::uint8_t> source, std::uint32_t redMask,
                                    std::uint32_t greenMask, std::uint32_t blueMask, std::uint32_t bitCount);

  // ---- Alpha plane ----------------------------------------------------------
  // A new plane, all 0 (transparent), replacing any old one; null for an
  // empty image or on exhaustion.
  [[nodiscard]] std::uint8_t* AlphaCreate();
  void AlphaFillOpaque();
  void AlphaDelete();
  void AlphaSet(std::int32_t x, std::int32_t y, std::uint8_t value);
  std::uint8_t AlphaGet(std::int32_t x, std::int32_t y) const;
  // Reverse the row order / each row; false without a plane.
  [[nodiscard]] bool AlphaFlip();
  [[nodiscard]] bool AlphaMirror();
  std::uint8_t* GetAlphaPlane() { return alphaPlane; }
  const std::uint8_t* GetAlphaPlane() const { return alphaPlane; }

  // ---- Whole-image operations -------------------------------------------------
  // Each builds the result in a new image and takes it over, keeping the
  // attributes; false (image unchanged) when empty or on exhaustion.
  [[nodiscard]] bool Flip();
  [[nodiscard]] bool Mirror();
  // 90 degrees: result(x, y) = source(y, height - 1 - x).
  [[nodiscard]] bool RotateLeft();
  // 90 degrees the other way: result(x, y) = source(width - 1 - y, x).
  [[nodiscard]] bool RotateRight();
  // Area average when a 24-bit image shrinks both ways, bilinear otherwise;
  // the alpha plane by nearest neighbour. An unchanged size succeeds without
  // change; a side of 0 or less fails.
  [[nodiscard]] bool Resample(std::int64_t newWidth, std::int64_t newHeight);

  // ---- HSL ------------------------------------------------------------------
  static HslQuad RGBtoHSL(RgbQuad color);
  static RgbQuad HSLtoRGB(HslQuad hsl);

  // ---- Files and streams (CodecDispatch.cpp) ------------------------------------
  // Decodes the file; false without text when it cannot be opened.
  [[nodiscard]] bool Load(const std::filesystem::path& path, CodecFormat format);
  // A file the caller opened and closes.
  [[nodiscard]] bool Load(std::FILE* file, CodecFormat format);
  // Encodes to a temporary file beside path and renames it over path, so a
  // failed save leaves any old file as it was. False without text when the
  // file cannot be created or written.
  [[nodiscard]] bool Save(const std::filesystem::path& path, CodecFormat format);
  // A file the caller opened and closes; false when a write fails.
  [[nodiscard]] bool Save(std::FILE* file, CodecFormat format);
  // On failure lastError holds the codec's text (or "Unsupported operation
  // for this format") and the image is otherwise unchanged; a format that
  // picks one image of a multi-image file also reports frameCount.
  [[nodiscard]] bool Decode(CCodecStream& stream, CodecFormat format);
  [[nodiscard]] bool Encode(CCodecStream& stream, CodecFormat format);
  // Encodes as JPEG into a new block handed to the caller with its size.
  // The caller's block must be null on entry (else false at once, no text);
  // on failure nothing is handed over.
  [[nodiscard]] bool Encode(PixelBlock& encoded, std::uint32_t& size);

  // Keeps at most 255 characters.
  void SetLastError(std::string_view text);
  const char* GetLastError() const { return attributes.lastError; }

  CodecAttributes attributes;

private:
  // RotateLeft and RotateRight: a quarter turn into a new image.
  [[nodiscard]] bool TurnQuarter(bool clockwise);

  std::uint8_t* Row(std::uint32_t y) { return pixelStart + std::size_t{y} * rowStride; }
  const std::uint8_t* Row(std::uint32_t y) const { return pixelStart + std::size_t{y} * rowStride; }
  // A new image with this image's attributes, bit count, format and palette
  // at the given size; false on exhaustion.
  [[nodiscard]] bool MakeLayoutTwin(CCodecImage& twin, std::int64_t width, std::int64_t height) const;
  void ClearLayout();

  PixelBlock m_ownedBlock;  // null when the block is borrowed
  PixelBlock m_ownedAlpha;  // null when the plane is borrowed
  std::uint8_t* block = nullptr;
  BitmapInfoHeader header;
  std::uint32_t rowStride = 0;
  std::uint8_t* pixelStart = nullptr;
  const CCodecImage* aliasOf = nullptr;  // the image whose block this one borrows
  std::uint8_t* alphaPlane = nullptr;
};
