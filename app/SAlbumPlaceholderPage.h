#pragma once
// CSAlbumPlaceholderPage: the album tab while the album page is not built.
// It shows an empty panel; every request writes "... not built" to the
// debug log. The folder tree has nothing to set up, so its start-up stage
// succeeds and the program starts.

#include "album/SAlbumPageBase.h"

class CSAlbumPlaceholderPage final : public CSAlbumPageBase {
public:
  explicit CSAlbumPlaceholderPage(std::u16string_view pageTitle) : CSAlbumPageBase(pageTitle) {}

  bool Draw(std::uint32_t now) override;
  [[nodiscard]] bool InitFolderTree() override;
  bool IsPreviewOpen() override { return false; }
  void ClosePreview() override;
  void ShowNoticeButton(std::u16string_view tip, std::u16string_view message,
                        std::u16string_view link) override;
};
