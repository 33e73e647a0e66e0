// CBFDoc::StoreSelectionAsMask: the record keeping behind "Lastarea" and the
// named masks. Every command that replaces or drops the selection keeps the
// outgoing one this way, so the last selection can always be loaded back.

#include <algorithm>
#include <memory>
#include <new>

#include "document/BFDoc.h"

namespace {

// The bounding box of the non-zero bytes; false when there is none.
bool NonZeroBounds(const CPlane8& plane, std::uint32_t& left, std::uint32_t& top, std::uint32_t& right,
                   std::uint32_t& bottom) {
  bool found = false;
  for (std::uint32_t y = 0; y < plane.height; ++y) {
    const std::uint8_t* row = plane.Row(y);
    for (std::uint32_t x = 0; x < plane.width; ++x) {
      if (row[x] == 0) continue;
      if (!found) {
        left = right = x;
        top = bottom = y;
        found = true;
      } else {
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = y;
      }
    }
  }
  return found;
}

}  // namespace

int CBFDoc::StoreSelectionAsMask(std::u16string_view name) {
  std::lock_guard guard(m_lock);
  MaskRecord probe;
  probe.SetName(name);
  const std::u16string stored = probe.Name();
  const auto existing =
      std::find_if(m_masks.begin(), m_masks.end(),
                   [&](const std::unique_ptr<MaskRecord>& m) { return m->Name() == stored; });
  MaskRecord* record = existing != m_masks.end() ? existing->get() : nullptr;

  std::uint32_t left = 0, top = 0, right = 0, bottom = 0;
  CPlane8 cut;
  bool made = !m_selection.IsEmpty() && NonZeroBounds(m_selection, left, top, right, bottom) &&
              cut.Create(right - left + 1, bottom - top + 1);
  if (made) {
    for (std::uint32_t y = top; y <= bottom; ++y)
      std::copy_n(m_selection.Row(y) + left, cut.width, cut.Row(y - top));
  }
  std::unique_ptr<MaskRecord> fresh;
  if (made && !record) {
    fresh.reset(new (std::nothrow) MaskRecord);
    made = fresh != nullptr;
  }
  if (!made) {
    if (record) m_masks.erase(existing);
    return 0;
  }
  if (fresh) {
    record = fresh.get();
    try {
      m_masks.push_back(std::move(fresh));
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  record->thumbnail.Free();
  record->plane = std::move(cut);
  record->SetName(stored);
  record->x = static_cast<std::int32_t>(left);
  record->y = static_cast<std::int32_t>(top);
  record->documentWidth = m_width;
  record->documentHeight = m_height;
  return 1;
}
