#pragma once
// CSAlbumPhotoList: the album's photo grid: a check box on every photo in
// the thumbnail views that adds it to or takes it out of the selection,
// Ctrl and the wheel to change the view size, the album's background with
// the camera picture in its corner, and items filled from the photo-info
// cache as they are listed.

#include <cstdint>
#include <filesystem>

#include "album/SPhotoList.h"
#include "image/ImageArray.h"

class CSAlbumPage;

class CSAlbumPhotoList final : public CSPhotoList {
public:
  static constexpr std::int32_t kCheckBoxSide = 20;

  CSAlbumPhotoList();

  [[nodiscard]] bool OnSpriteCreate() override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  // Notes Ctrl: the wheel reaches sprites without the key flags.
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  [[nodiscard]] bool DrawItem(std::int32_t index) override;
  void ClearBackground() override;
  // Commands 132 and 133 open the single selected photo for a cut-out,
  // 1011 lists the folder again; the other photo commands are not built.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  CPhotoItem* AddListedItem(std::int32_t type, const std::filesystem::path& path) override;

  // Adds the item and fills a photo's information from the cache record of
  // its path and its modification time from the file.
  CPhotoItem* AddPhotoItem(std::int32_t type, const std::filesystem::path& path);
  // The first selected item when it is a photo: opened in an edit page.
  void EditSelectedPhoto(std::int32_t mode);
  std::int32_t SelectedPhotoCount();
  // Ctrl and the wheel: 2 -> 3 -> 4 for a positive delta, back for a
  // negative one; the new mode, unchanged at either end.
  static std::int32_t NextViewModeForWheel(std::int32_t mode, std::int32_t delta);

  CImageArray checkBoxIcons;
  CBgraImage cornerPicture;
  CSAlbumPage* albumPage = nullptr;

private:
  bool m_controlHeld = false;
};
