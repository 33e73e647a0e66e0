#pragma once
// CSSearchPage: the album's search page, the second tab of its tab frame. A
// tree of searches over the photo-info cache: photos by year and month, by
// place, by tag word, the user's saved searches (catalogs, nested) and, for
// photos without camera data, by type. Selecting a node that carries a
// search fills the album's photo list with the photos that match it (at most
// 512). The tool panel creates, changes and deletes catalogs, names places
// and searches again. The generated branches are built when the page is made
// and again whenever the photo scan ends (10011); until then a busy
// indicator turns. Catalogs live in "UserSearchTree.db" in the data folder,
// place names in "gpsname.set".

#include <cstdint>
#include <filesystem>
#include <string>

#include "album/PlaceNameList.h"
#include "album/SSearchTree.h"
#include "album/SearchNode.h"
#include "image/ImageArray.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SProgress.h"
#include "ui/widgets/STabPage.h"

class CSAlbumPhotoList;
class PhotoInfoCache;

enum SearchToolItem : std::uint32_t {
  kSearchToolNewCatalog = 11,
  kSearchToolEditCatalog = 12,
  kSearchToolDeleteCatalog = 13,
  kSearchToolRefresh = 14,
  kSearchToolRenamePlace = 15,
};

class CSSearchPage final : public CSTabPage {
public:
  static constexpr std::int32_t kToolPanelId = 100;
  static constexpr std::int32_t kBusyId = 101;
  static constexpr std::int32_t kTreeId = 102;
  static constexpr std::int32_t kNodeIconWidth = 16;
  static constexpr std::int32_t kToolIconWidth = 24;
  static constexpr std::int32_t kBusySide = 90;
  static constexpr std::int32_t kPlaceNameLength = 31;
  static constexpr char kCatalogFileName[] = "UserSearchTree.db";

  // dataFolder: where the catalog file lives; shippedFolder: the program's
  // data folder (its "gpsname.set" is read while the user has none).
  CSSearchPage(std::u16string_view pageTitle, std::filesystem::path dataFolder,
               std::filesystem::path shippedFolder);
  ~CSSearchPage() override;

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  [[nodiscard]] bool OnSpriteCreate() override;
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  void RebuildTree();
  // The current node's search into the photo list: fresh empties the list
  // first; otherwise items still found keep their pictures.
  void RunSearch(bool fresh);
  void OnNodeToggled(CSearchNode* node);
  void CreateCatalog();
  void EditCatalog();
  void DeleteCatalog();
  void RenamePlace(CSearchNode* node);
  void UpdateToolbar();
  void SaveCatalogs();
  void LoadCatalogs();
  void ShowBusy(bool shown);

  PlaceNameList placeNames;
  CSProgress busy;
  CSearchNode root;
  CSearchNode* dateRoot = nullptr;
  CSearchNode* placeRoot = nullptr;
  CSearchNode* tagRoot = nullptr;
  CSearchNode* catalogRoot = nullptr;
  CSearchNode* noExifRoot = nullptr;
  CSearchNode* currentNode = nullptr;
  CImageArray nodeIcons;
  CImageArray toolIcons;
  std::filesystem::path catalogFile;
  CPanelSprite toolPanel;
  CSAlbumPhotoList* photoList = nullptr;  // set by the album page before use
  PhotoInfoCache* cache = nullptr;        // the process's cache unless a test sets its own
  CSSearchTree tree;

private:
  PhotoInfoCache& Cache();
  CSearchNode* SelectedNode();
  // Forgets the current node when it lies in the subtree that goes.
  void ForgetCurrentIn(const CTreeNode& subtree);
  // The rows again from the root, under the tree's lock.
  void RebuildRows();

  std::filesystem::path m_dataFolder;
};
