#pragma once
// CSAlbumPhotoList: the album's photo grid: a check box on every photo in
// the thumbnail views that adds it to or takes it out of the selection,
// Ctrl and the wheel to change the view size, the right-click menu, the
// keyboard shortcuts, copying, cutting and pasting files through the
// clipboard, the album's background with the camera picture in its corner,
// and items filled from the photo-info cache as they are listed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "album/SPhotoList.h"
#include "image/ImageArray.h"
#include "ui/widgets/SMenu.h"

class CSAlbumPage;
class CSAlbumPreview;

class CSAlbumPhotoList final : public CSPhotoList {
public:
  static constexpr std::int32_t kCheckBoxSide = 20;

  CSAlbumPhotoList();

  static constexpr std::int32_t kContextMenuId = 100;
  static constexpr std::int32_t kContextMenuLayer = 201;

  [[nodiscard]] bool OnSpriteCreate() override;
  void Destroy(int final) override;
  void OnMouseWheel(Point point, std::int32_t delta) override;
  // Notes Ctrl: the wheel reaches sprites without the key flags.
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  // Ends a file drag: released over another sprite of the window (the tab
  // strip, the folder tree) the files are dropped there; outside the window
  // the platform's drag has carried them to another program.
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  // Keeps a selection when the press is on a selected item, then the menu.
  void OnRButtonDown(Point point, std::uint32_t flags) override;
  // Opens the item, or with Editor "DbClickForEdit" set starts the group
  // photo from a selected photo.
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool ShowsFocusIndicator() override { return false; }
  [[nodiscard]] bool DrawItem(std::int32_t index) override;
  void ClearBackground() override;
  // The list's commands 101 to 133 and 1011 (refresh).
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Files dropped while the folder browser is shown: the image files among
  // them go into its current folder, each moved when it and the folder lie
  // on fixed drives, else copied; nothing when every file comes from that
  // folder (or below it). 1 when taken.
  std::int32_t OnDrop(Point point, const CDropFileList& files) override;
  CPhotoItem* AddListedItem(std::int32_t type, const std::filesystem::path& path) override;

  // Adds the item and fills a photo's information from the cache record of
  // its path and its modification time from the file.
  CPhotoItem* AddPhotoItem(std::int32_t type, const std::filesystem::path& path);
  // The first selected item when it is a photo: opened in an edit page.
  void EditSelectedPhoto(std::int32_t mode);
  std::int32_t SelectedPhotoCount();
  // Empties the menu and fills it with the photo commands, enabled by the
  // selection and the clipboard.
  void BuildContextMenu(CSMenu* menu);
  // Starts dragging the selected photos (no folders); false when there are
  // none. The drag runs inside the window until the button is released;
  // outside it the files are offered to other programs as a uri-list.
  [[nodiscard]] bool StartFileDrag();
  bool IsDraggingFiles() const { return !m_dragFiles.files.empty(); }
  // Every photo selected, every folder not.
  void SelectAllPhotos();
  // The selected paths, each followed by a zero, and one more zero; folders
  // only when asked for and never one whose caption begins with a dot.
  // Just the closing zero when nothing qualifies.
  std::u16string CollectSelectedPaths(bool withFolders);
  void CopySelectedFiles();
  void CutSelectedFiles();
  // Into the folder browser's current folder; a name already taken there
  // is replaced only when the user says so. Lists the folder again.
  void PasteFiles();
  // After the user's yes: to the trash, or for good (folders with their
  // contents); a failure is listed in one message.
  void DeleteSelectedFiles(bool toTrash);
  // Turns the selected JPEG photos by 90 degrees without re-encoding; a
  // failure names the photo, other file types are named once afterwards.
  void RotateSelectedLossless(bool right);
  // Every JPEG of the list stored landscape with orientation 6 or 8 is
  // turned upright (the turn removes the tag, so a second run does nothing).
  void RotateAllByExif();
  // Selected photos go to the rename and convert dialog. With no photo
  // selected, a selected folder is renamed after asking for the name; a
  // name already taken is refused.
  void RenameSelected();
  // The preview's paths: every photo in list order, the one at index
  // current.
  void CollectPreviewPaths(std::int32_t current, CSAlbumPreview* preview);
  // The hover tip of a photo: caption, size, camera settings, shooting
  // date as the camera stored it and the file's local modification time.
  // (0, null) hides it.
  void ShowPhotoInfoTip(std::int32_t show, CPhotoItem* item);
  // The tip's text and the count of lines after the first.
  static std::u16string BuildPhotoInfoTip(const CPhotoItem& item, std::int32_t& lines);
  // With two or more photos selected, the group photo (merge).
  void StartGroupPhoto();
  // Checks sizes (unknown and still-loading ones left out), asks before
  // taking the first 16 of more, refuses camera RAW, then hands the photos
  // on. Kind 1 merge, 2 clone.
  void PrepareGroupPhoto(std::int32_t kind);
  // The selected photos (RAW included) to the batch dialog, writing into
  // the folder of the first selected item.
  void BatchSelectedPhotos();
  // The selected photos without RAW to the batch print (asked first when a
  // RAW photo is among them).
  void PrintSelectedPhotos();
  // The first selected item's index, -1 for none.
  std::int32_t FirstSelectedIndex();
  // The property dialog, or the tag dialog, of the photo at the index;
  // nothing for a folder or an index out of range.
  void ShowPhotoProperties(std::int32_t index);
  void EditTags(std::int32_t index);
  // Ctrl and the wheel: 2 -> 3 -> 4 for a positive delta, back for a
  // negative one; the new mode, unchanged at either end.
  static std::int32_t NextViewModeForWheel(std::int32_t mode, std::int32_t delta);

  CImageArray checkBoxIcons;
  CBgraImage cornerPicture;
  CSAlbumPage* albumPage = nullptr;
  CSMenu contextMenu;

private:
  void SendCommand(std::int32_t command);
  // The photo's path at the index; empty for a folder or a bad index.
  std::filesystem::path PhotoPathAt(std::int32_t index);
  // Drops the item's pictures so that the loader reads the turned file.
  void ForgetPictures(std::int32_t itemKey);

  bool m_controlHeld = false;
  CDropFileList m_dragFiles;  // the files of a running drag
};
