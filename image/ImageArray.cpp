#include "image/ImageArray.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

[[nodiscard]] std::unique_ptr<CBgraImage> NewImage() {
  return std::unique_ptr<CBgraImage>(new (std::nothrow) CBgraImage);
}

}  // namespace

int CImageArray::LoadStrip(const std::filesystem::path& path, std::int32_t pieceWidth) {
  Clear();
  if (pieceWidth < 1) return 0;
  CBgraImage strip;
  if (!strip.LoadFile(path)) return 0;
  const std::uint32_t piece = static_cast<std::uint32_t>(pieceWidth);
  const std::uint32_t count = strip.width / piece;
  for (std::uint32_t j = 0; j < count; ++j) {
    auto image = NewImage();
    if (!image || !image->Create(piece, strip.height)) return 0;
    for (std::uint32_t y = 0; y < strip.height; ++y) {
      std::memcpy(image->Row(y), strip.At(j * piece, y), std::size_t{piece} * 4);
    }
    m_images.push_back(std::move(image));
  }
  return 1;
}

int CImageArray::AppendStrip(const std::filesystem::path& path, std::int32_t pieceWidth) {
  CImageArray strip;
  if (!strip.LoadStrip(path, pieceWidth)) return 0;
  // The pieces are new images of their own; moving them is the same as
  // appending copies and freeing the temporary array.
  for (auto& image : strip.m_images) m_images.push_back(std::move(image));
  return 1;
}

int CImageArray::AppendCopies(const CImageArray& other) {
  if (&other == this) {
    const std::size_t count = m_images.size();
    for (std::size_t i = 0; i < count; ++i) {
      if (!AppendCopy(*m_images[i])) return 0;
    }
    return 1;
  }
  for (const auto& image : other.m_images) {
    if (!AppendCopy(*image)) return 0;
  }
  return 1;
}

int CImageArray::AppendCopy(const CBgraImage& image) {
  auto copy = NewImage();
  if (!copy) return 0;
  if (!image.IsEmpty() && !copy->CopyFrom(image)) return 0;
  m_images.push_back(std::move(copy));
  return 1;
}

int CImageArray::AppendFile(const std::filesystem::path& path) {
  auto image = NewImage();
  if (!image || !image->LoadFile(path)) return 0;
  m_images.push_back(std::move(image));
  return 1;
}

int CImageArray::ScaleToWidth(std::int32_t width, std::int32_t first, std::int32_t last) {
  if (width < 1 || first < 0) return 0;
  const std::size_t end =
      last < 0 ? m_images.size() : std::min<std::size_t>(std::size_t(last), m_images.size());
  for (std::size_t i = std::size_t(first); i < end; ++i) {
    CBgraImage& image = *m_images[i];
    if (image.IsEmpty()) return 0;
    const std::uint64_t height = std::uint64_t(width) * image.height / image.width;
    if (height > UINT32_MAX) return 0;
    CBgraImage scaled;
    Rect whole;
    if (!image.ResampleTo(scaled, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 2,
                          whole)) {
      return 0;
    }
    image = std::move(scaled);
  }
  return 1;
}

void CImageArray::Clear() { m_images.clear(); }

void CImageArray::Free() {
  m_images.clear();
  m_images.shrink_to_fit();
}
