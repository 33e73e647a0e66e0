#pragma once
// IPhotoHandOff: where the album's multi-photo commands hand their photos
// once the album's own checks passed: the group-photo merge (the main-photo
// choice, the alignment and the group-photo page), batch processing and
// batch printing. The program installs the real receivers as they are
// built; until then (and in tests) a stand-in writes "... not built" to the
// debug log and refuses.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// One photo for the batch dialog: the caption as display name (at most 63
// characters) and the path (at most 1023).
struct BatchHandOffItem {
  std::u16string displayName;
  std::filesystem::path path;
};

class IPhotoHandOff {
public:
  // Kind 1 merge, 2 clone; at most 16 photos, none of them camera RAW. True
  // when the group-photo page opened.
  [[nodiscard]] virtual bool RunGroupPhoto(std::int32_t kind,
                                           std::span<const std::filesystem::path> photos) = 0;
  // The output folder is the folder of the first selected item.
  [[nodiscard]] virtual bool RunBatch(const std::filesystem::path& outputFolder,
                                      std::span<const BatchHandOffItem> items) = 0;
  // Photos without the camera RAW ones; the dialog opens also when empty.
  [[nodiscard]] virtual bool RunBatchPrint(std::span<const std::filesystem::path> photos) = 0;

protected:
  ~IPhotoHandOff() = default;
};

// The installed receivers, or the stand-in.
IPhotoHandOff& PhotoHandOff();
// Null restores the stand-in.
void SetPhotoHandOff(IPhotoHandOff* handOff);
