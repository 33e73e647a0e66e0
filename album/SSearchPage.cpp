#include "album/SSearchPage.h"

#include <memory>
#include <string>
#include <utility>

#include "album/AddCatalogDlg.h"
#include "album/AlbumMessages.h"
#include "album/CatalogFile.h"
#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "album/SAlbumPhotoList.h"
#include "album/SearchTreeBuilder.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "ui/DialogSprite.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/SkinIcon.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// Icon pieces of "searchnode.png".
enum NodeIcon : std::size_t {
  kIconDates = 0,
  kIconCatalogs = 1,
  kIconTagRoot = 2,
  kIconTag = 3,
  kIconCollapsed = 4,
  kIconExpanded = 5,
  kIconNoExif = 7,
  kIconPlace = 8,
};

constexpr std::int32_t kToolHeight = 28;
constexpr std::int32_t kTreeTop = 32;
constexpr std::int32_t kTreeBottomMargin = 80;
constexpr std::int32_t kBusyIndicatorSide = 40;
constexpr std::int32_t kRefreshFromRight = 38;
constexpr std::int32_t kRefreshRightMargin = 10;
constexpr std::size_t kPlaceCaptionField = 32;

bool LiesIn(const CTreeNode* node, const CTreeNode& subtree) {
  for (; node != nullptr; node = node->parent) {
    if (node == &subtree) return true;
  }
  return false;
}

std::int32_t CatalogDepth(const CSearchNode* node) {
  std::int32_t depth = 0;
  for (; node && node->hasCriteria && node->userCatalog; node = node->SearchParent()) ++depth;
  return depth;
}

}  // namespace

CSSearchPage::CSSearchPage(std::u16string_view pageTitle, std::filesystem::path dataFolder,
                           std::filesystem::path shippedFolder)
    : CSTabPage(pageTitle), placeNames(std::move(shippedFolder)), m_dataFolder(std::move(dataFolder)) {}

CSSearchPage::~CSSearchPage() { root.ClearSubtree(); }

PhotoInfoCache& CSSearchPage::Cache() { return cache ? *cache : GlobalPhotoInfoCache(); }

CSearchNode* CSSearchPage::SelectedNode() { return static_cast<CSearchNode*>(tree.GetSelectedNode()); }

void CSSearchPage::ForgetCurrentIn(const CTreeNode& subtree) {
  if (currentNode && currentNode != &subtree && LiesIn(currentNode, subtree)) currentNode = nullptr;
}

void CSSearchPage::RebuildRows() {
  CSTree::EditGuard guard(tree);
  tree.dirty = 1;
}

bool CSSearchPage::OnSpriteCreate() {
  if (!CSTabPage::OnSpriteCreate()) return false;
  if (!busy.Create(this, renderWindow, kBusyId, {0, 0, 100, 100}, 1)) return false;
  AppendChild(&busy);
  if (!tree.Create(this, renderWindow, kTreeId, {0, kTreeTop, rect.Width(), rect.Height()}, 1)) return false;
  AppendChild(&tree);
  if (!LoadSkinIconStrip(u"searchnode.png", kNodeIconWidth, nodeIcons)) return false;
  const auto makeRoot = [&](std::u16string_view key, std::size_t icon) {
    auto node = std::make_unique<CSearchNode>();
    node->text = TextOf(key);
    node->icon = nodeIcons.At(icon);
    return static_cast<CSearchNode*>(root.AppendChild(std::move(node)));
  };
  {
    std::lock_guard guard(tree.lock);
    dateRoot = makeRoot(u"timenode", kIconDates);
    placeRoot = makeRoot(u"gpsnode", kIconPlace);
    tagRoot = makeRoot(u"tagnode", kIconTagRoot);
    catalogRoot = makeRoot(u"searchnode", kIconCatalogs);
    catalogRoot->userCatalog = 1;
    tree.collapsedGlyph = nodeIcons.At(kIconCollapsed);
    tree.expandedGlyph = nodeIcons.At(kIconExpanded);
  }
  if (!LoadSkinIconStrip(u"searchpagetool.png", kToolIconWidth, toolIcons) || toolIcons.Count() < 5)
    return false;
  const std::int32_t w = rect.Width();
  if (!toolPanel.Create(this, renderWindow, kToolPanelId, {10, 1, w - 10, kToolHeight}, 1)) return false;
  AppendChild(&toolPanel);
  struct Tool {
    SearchToolItem id;
    std::u16string_view tip;
    std::size_t icon;
    Rect place;
  };
  const Tool tools[] = {
      {kSearchToolNewCatalog, u"Createnewcatalog", 0, {0, 0, 28, 28}},
      {kSearchToolEditCatalog, u"Setupcatalog", 1, {28, 0, 56, 28}},
      {kSearchToolDeleteCatalog, u"Removecatalog", 2, {56, 0, 84, 28}},
      {kSearchToolRenamePlace, u"RenameGPS", 3, {90, 0, 118, 28}},
      {kSearchToolRefresh, u"Refresh", 4, {w - 48, 0, w - 20, 28}},
  };
  for (const Tool& tool : tools) {
    if (!toolPanel.AddIconItem(tool.id, tool.place, *toolIcons.At(tool.icon), TextOf(tool.tip))) return false;
  }
  // Without names the places show their coordinates.
  (void)placeNames.Load();
  catalogFile = m_dataFolder / kCatalogFileName;
  RebuildTree();
  UpdateToolbar();
  // The busy indicator turns until the scan ends (the album page passes its
  // 10011 on); a scan that ended before the page was made sends nothing more.
  ShowBusy(!PhotoScanThread().IsFinished());
  return true;
}

void CSSearchPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CSTabPage::SetSpriteRect(x, y, w, h);
  toolPanel.SetSpriteRect(1, 1, w - 11, kToolHeight - 1);
  if (PanelItem* refresh = toolPanel.FindItem(kSearchToolRefresh)) {
    std::lock_guard guard(toolPanel.lock);
    refresh->rect = {w - kRefreshFromRight, 0, w - kRefreshRightMargin, kToolHeight};
  }
  busy.SetSpriteRect(5, h - 45, kBusyIndicatorSide, kBusyIndicatorSide);
  tree.SetSpriteRect(0, kTreeTop, w, h - kTreeBottomMargin);
}

void CSSearchPage::Destroy(int final) {
  {
    std::lock_guard guard(tree.lock);
    tree.SetRoot(nullptr);
    root.ClearSubtree();
  }
  currentNode = nullptr;
  dateRoot = placeRoot = tagRoot = catalogRoot = noExifRoot = nullptr;
  nodeIcons.Clear();
  {
    std::lock_guard guard(lock);
    titleImage.Free();
  }
  CSTabPage::Destroy(final);
}

void CSSearchPage::ShowBusy(bool shown) { CDialogSprite::ShowControl(&busy, shown); }

void CSSearchPage::RebuildTree() {
  if (!dateRoot) return;
  const SearchNodeIcons icons{nodeIcons.At(kIconDates), nodeIcons.At(kIconNoExif), nodeIcons.At(kIconTag),
                              nodeIcons.At(kIconPlace)};
  PhotoInfoCache& photos = Cache();
  {
    CSTree::EditGuard guard(tree);
    // The generated nodes are replaced: a current node among them goes.
    for (const CSearchNode* branch : {dateRoot, placeRoot, tagRoot, noExifRoot}) {
      if (branch) ForgetCurrentIn(*branch);
    }
    BuildDateNodes(photos, *dateRoot, icons);
    BuildPlaceNodes(photos, *placeRoot, placeNames, icons);
    BuildTagNodes(photos, *tagRoot, icons);
    BuildNoExifNodes(photos, root, noExifRoot, icons);
    LoadCatalogs();
    tree.rows.clear();
    tree.SetRoot(&root);
  }
  tree.dirty = 1;
  UIResources().WriteLog("Search tree built: " + std::to_string(dateRoot->children.size()) + " years, " +
                         std::to_string(placeRoot->children.size()) + " places, " +
                         std::to_string(tagRoot->children.size()) + " tags");
}

void CSSearchPage::LoadCatalogs() {
  if (catalogRoot->HasChildren()) return;
  (void)LoadCatalogFile(catalogFile, *catalogRoot);  // no file: no catalogs yet
}

void CSSearchPage::SaveCatalogs() {
  // A failed write keeps the old file; the catalogs stay in the tree.
  (void)SaveCatalogFile(catalogFile, *catalogRoot);
}

void CSSearchPage::RunSearch(bool fresh) {
  if (!photoList || !currentNode || !currentNode->hasCriteria) return;
  if (fresh)
    photoList->DeleteAllItems();
  else
    photoList->BeginRescan();
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) {
    const Rect place = RectToWindow({0, 0, rect.Width(), rect.Height()});
    const std::int32_t left = place.left + (place.Width() - kBusySide) / 2;
    const std::int32_t top = place.top + (place.Height() - kBusySide) / 2;
    window->ShowProgress({left, top, left + kBusySide, top + kBusySide});
  }
  SearchPhotos(
      Cache(), *currentNode,
      [&](const PhotoInfoRecord& record) {
        const std::filesystem::path path = PathFromUtf16(record.Path());
        (void)photoList->AddPhotoItem(static_cast<std::int32_t>(GetImageType(path)), path);  // null: memory
      },
      [&](std::int32_t percent) {
        if (window) window->progress.SetPercent(percent);
      });
  if (window) window->HideProgress();
  UIResources().WriteLog("Search found " + std::to_string(currentNode->matchCount) + " photos");
  if (!fresh) photoList->EndRescan();
  photoList->SortItems();
}

void CSSearchPage::OnNodeToggled(CSearchNode* node) {
  if (!node) return;
  CTreeNode* selected = tree.GetSelectedNode();
  const CTreeNode* chosen =
      !node->expanded && selected && selected != node && LiesIn(selected, *node) ? node : selected;
  RebuildRows();
  tree.SelectNode(chosen, false);
}

void CSSearchPage::UpdateToolbar() {
  const CSearchNode* s = SelectedNode();
  const bool catalog = s && s->userCatalog;
  const bool savedCatalog = catalog && s->hasCriteria;
  // The catalog file keeps 64 levels: no catalog is made below them.
  toolPanel.EnableItem(kSearchToolNewCatalog, catalog && CatalogDepth(s) < kMaxCatalogDepth);
  toolPanel.EnableItem(kSearchToolEditCatalog, savedCatalog);
  toolPanel.EnableItem(kSearchToolDeleteCatalog, savedCatalog && s->parent);
  toolPanel.EnableItem(kSearchToolRenamePlace, s && s->criteria.slots[kSlotLatitude].kind != 0);
  toolPanel.EnableItem(kSearchToolRefresh, s && s->hasCriteria);
}

void CSSearchPage::CreateCatalog() {
  CSearchNode* selected = SelectedNode();
  if (!selected || !selected->userCatalog || CatalogDepth(selected) >= kMaxCatalogDepth) return;
  CAddCatalogDlg dialog;
  if (!dialog.Create(CAddCatalogDlg::kTemplateId) || dialog.RunModal() != kIdOk) return;
  {
    CSTree::EditGuard guard(tree);
    auto node = std::make_unique<CSearchNode>();
    node->hasCriteria = 1;
    node->userCatalog = 1;
    node->criteria = dialog.criteria;
    node->text = dialog.name;
    selected->AppendChild(std::move(node));
    selected->expanded = 1;
  }
  SaveCatalogs();
}

void CSSearchPage::EditCatalog() {
  CSearchNode* selected = SelectedNode();
  if (!selected || !selected->userCatalog || !selected->hasCriteria) return;
  CAddCatalogDlg dialog;
  if (!dialog.Create(CAddCatalogDlg::kTemplateId)) return;
  dialog.criteria = selected->criteria;
  dialog.name = selected->text;
  if (dialog.RunModal() != kIdOk) return;
  {
    CSTree::EditGuard guard(tree);
    selected->criteria = dialog.criteria;
    selected->text = dialog.name;
    selected->textImage.Free();
  }
  RunSearch(false);
  SaveCatalogs();
}

void CSSearchPage::DeleteCatalog() {
  CSearchNode* selected = SelectedNode();
  if (!selected || !selected->userCatalog || !selected->hasCriteria || !selected->parent) return;
  if (ShowMessageBox(TextOf(u"DeletecatalogWarning"), MessageBoxIcon::Question, MessageBoxButtons::YesNo) !=
      kIdYes)
    return;
  {
    CSTree::EditGuard guard(tree);
    // The current node goes with the catalog when it lies inside it.
    if (LiesIn(currentNode, *selected)) currentNode = nullptr;
    CTreeNode& parentNode = *selected->parent;
    std::erase_if(parentNode.children,
                  [&](const std::unique_ptr<CTreeNode>& child) { return child.get() == selected; });
  }
  tree.SelectRow(-1, false, false);
  SaveCatalogs();
}

void CSSearchPage::RenamePlace(CSearchNode* node) {
  if (!node) return;
  std::u16string name = TruncatedText(node->text, kPlaceCaptionField);
  if (!InputString(name, kPlaceNameLength, TextOf(u"RenameGPS"), TextOf(u"RenameGPSTip"))) return;
  placeNames.SetName(*node, name);
  {
    std::lock_guard guard(tree.lock);
    node->text = name;
    node->textImage.Free();
    tree.dirty = 1;
  }
  // A failed write keeps the name for this run only, as when there is no
  // user folder.
  if (placeNames.MakeFilePath()) (void)placeNames.Save();
}

bool CSSearchPage::OnSpriteMessage(const SpriteMessage& message) {
  if (message.sender == &tree) {
    auto* node = reinterpret_cast<CSearchNode*>(message.lparam);
    if (message.code == kTreeMsgExpandToggled) {
      OnNodeToggled(node);
      UpdateToolbar();
    } else if (message.code == kTreeMsgSelectionChanged) {
      if (node != currentNode) {
        currentNode = node;
        if (node && node->hasCriteria) RunSearch(true);
      }
      UpdateToolbar();
    }
  } else if (message.sender == &toolPanel && message.code == kPanelMsgItemClicked) {
    switch (message.wparam) {
      case kSearchToolNewCatalog:
        CreateCatalog();
        break;
      case kSearchToolEditCatalog:
        EditCatalog();
        break;
      case kSearchToolDeleteCatalog:
        DeleteCatalog();
        UpdateToolbar();
        break;
      case kSearchToolRefresh:
        RunSearch(false);
        break;
      case kSearchToolRenamePlace:
        RenamePlace(SelectedNode());
        break;
      default:
        break;
    }
  } else if (message.code == kSpriteMsgPhotoScan) {
    if (message.wparam == kPhotoScanStarted) {
      ShowBusy(true);
    } else if (message.wparam == kPhotoScanFinished) {
      RebuildTree();
      ShowBusy(false);
    }
  }
  return CSTabPage::OnSpriteMessage(message);
}
