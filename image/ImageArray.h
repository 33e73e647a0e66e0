#pragma once
// CImageArray: an ordered list of owned 8-bit images. Its main use is the
// icon strip: one picture that holds several icons of equal width side by
// side, cut into separate images so that a widget can pick icon i by index.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "image/BgraImage.h"

class CImageArray {
public:
  CImageArray() = default;
  CImageArray(const CImageArray&) = delete;
  CImageArray& operator=(const CImageArray&) = delete;

  // Loads a picture into an empty array (anything held is cleared first),
  // cut into pieces pieceWidth wide and full height: piece j holds columns
  // j * pieceWidth .. (j + 1) * pieceWidth - 1; columns beyond the last
  // whole piece are dropped, and a picture narrower than one piece gives
  // none (still 1). 0 when the file cannot be loaded, pieceWidth is below
  // 1, or a piece cannot be made (the pieces made so far stay).
  [[nodiscard]] int LoadStrip(const std::filesystem::path& path, std::int32_t pieceWidth);
  // The same, appended after the images already held.
  [[nodiscard]] int AppendStrip(const std::filesystem::path& path, std::int32_t pieceWidth);
  // Appends a copy of every image of other, in order; 0 when one cannot be
  // made (the copies made so far stay).
  [[nodiscard]] int AppendCopies(const CImageArray& other);
  // Appends a copy of one image; an empty image is appended as an empty one.
  [[nodiscard]] int AppendCopy(const CBgraImage& image);
  // Appends one picture loaded from a file; 0 (nothing appended) on failure.
  [[nodiscard]] int AppendFile(const std::filesystem::path& path);
  // Resamples the images [first, last) (last -1: to the end) to the width,
  // the height in proportion, each output pixel the average of 2 x 2 point
  // samples. The first failure stops with 0; images already scaled stay so.
  [[nodiscard]] int ScaleToWidth(std::int32_t width, std::int32_t first, std::int32_t last);
  // Frees every image; the storage is kept.
  void Clear();
  // Frees every image and the storage.
  void Free();

  std::size_t Count() const { return m_images.size(); }
  bool IsEmpty() const { return m_images.empty(); }
  // Null outside the array.
  CBgraImage* At(std::size_t index) { return index < m_images.size() ? m_images[index].get() : nullptr; }
  const CBgraImage* At(std::size_t index) const {
    return index < m_images.size() ? m_images[index].get() : nullptr;
  }

private:
  std::vector<std::unique_ptr<CBgraImage>> m_images;
};
