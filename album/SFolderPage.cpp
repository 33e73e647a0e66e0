#include "album/SFolderPage.h"

#include <algorithm>
#include <mutex>

#include "album/ConfigFile.h"
#include "album/FavManageDlg.h"
#include "album/Favourites.h"
#include "album/SAlbumPage.h"
#include "album/SAlbumPhotoList.h"
#include "platform/Folder.h"
#include "platform/UserFolders.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/SkinIcon.h"

namespace {

std::u16string_view TextOf(std::u16string_view key) { return UIResources().texts.TextOrEmpty(key); }

std::int32_t Width(const CBgraImage& image) { return static_cast<std::int32_t>(image.width); }
std::int32_t Height(const CBgraImage& image) { return static_cast<std::int32_t>(image.height); }

std::string PathText(const std::filesystem::path& path) {
  return WithoutTrailingSlash(path.lexically_normal().string());
}

}  // namespace

CSFolderPage::CSFolderPage() : CSTabPage(u"") {
  favourites = &g_FavouriteFolders;
  albumFolder = &g_AlbumRootFolder;
}

CSFolderPage::~CSFolderPage() { Destroy(0); }

void CSFolderPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  std::lock_guard guard(lock);
  CSTabPage::SetSpriteRect(x, y, w, h);
  if (tree.key == 0) return;
  backButton.SetSpriteRect(0, 0, 20, 20);
  forwardButton.SetSpriteRect(20, 0, 20, 20);
  upButton.SetSpriteRect(45, 0, 20, 20);
  newFolderButton.SetSpriteRect(w - 40, 0, 20, 20);
  favouritesButton.SetSpriteRect(w - 20, 0, 20, 20);
  tree.SetSpriteRect(0, 23, w, std::max(h - 45, 0));
  tag.SetSpriteRect(2, h - 20, std::max(w - 4, 0), 20);
}

bool CSFolderPage::OnSpriteCreate() {
  const Rect place{0, 0, 20, 20};
  struct Button {
    CSButton& button;
    std::int32_t id;
    const char16_t* icon;
    const char16_t* tip;
  };
  const Button buttons[] = {{backButton, kBackId, u"prev.png", nullptr},
                            {forwardButton, kForwardId, u"next.png", nullptr},
                            {upButton, kUpId, u"up.png", nullptr},
                            {newFolderButton, kNewFolderId, u"newfolder.png", u"newfolder"},
                            {favouritesButton, kFavouritesId, u"fav.png", u"favtip"}};
  for (const Button& entry : buttons) {
    if (!entry.button.Create(this, nullptr, entry.id, place, 3, {}, entry.icon, false)) return false;
    if (entry.tip) {
      std::lock_guard guard(entry.button.lock);
      entry.button.tipText = std::u16string(TextOf(entry.tip));
    }
    AppendChild(&entry.button);
  }
  tree.sources = &sources;
  if (!tree.Create(this, nullptr, kTreeId, {0, 23, 100, 100}, 2)) return false;
  AppendChild(&tree);
  if (!tag.Create(this, nullptr, kTagId, {2, 80, 96, 20}, 2)) return false;
  tag.visible = 0;
  AppendChild(&tag);
  if (!favouritesMenu.Create(nullptr, renderWindow, kMenuId, {0, 0, 100, 100}, kPopupMenuLayer)) return false;
  favouritesMenu.visible = 0;
  SetSpriteRect(rect.left, rect.top, rect.Width(), rect.Height());
  return true;
}

void CSFolderPage::ReleaseMenu() {
  if (favouritesMenu.key == 0) return;
  if (CRenderWindow* window = RenderWindowOf(*this)) {
    if (favouritesMenu.visible) favouritesMenu.CloseMenu(false);
    window->RemoveTopLevelSprite(&favouritesMenu);
  }
}

void CSFolderPage::Destroy(int final) {
  ReleaseMenu();
  if (final) favouritesMenu.Destroy(final);
  {
    CSTree::EditGuard edit(tree);
    tree.SetRoot(nullptr);
    m_current = nullptr;
    tag.currentNode = nullptr;
    root.ClearSubtree();
  }
  for (CSprite* child :
       {static_cast<CSprite*>(&tree), static_cast<CSprite*>(&tag), static_cast<CSprite*>(&backButton),
        static_cast<CSprite*>(&forwardButton), static_cast<CSprite*>(&upButton),
        static_cast<CSprite*>(&newFolderButton), static_cast<CSprite*>(&favouritesButton)}) {
    if (child->parent == this) (void)DestroyChild(child);  // a member: destroyed, never deleted
  }
  CSTabPage::Destroy(final);
}

bool CSFolderPage::Draw(std::uint32_t now) {
  // The media are due: the UI thread looks (never the first time).
  if (m_lastMediaCheck == 0) {
    m_lastMediaCheck = now;
  } else if (now - m_lastMediaCheck > kMediaCheckMs && !m_mediaCheckPosted.exchange(true)) {
    m_lastMediaCheck = now;
    if (!PostSpriteMessage(this, kSpriteMsgCheckMedia, 0, 0, this)) m_mediaCheckPosted = false;
  }
  if (!dirty || surface.IsEmpty()) return false;
  FillRect(surface, {0, 0, Width(surface), Height(surface)}, 0);
  const std::int32_t w = rect.Width(), h = rect.Height();
  FillRect(surface, {0, 21, w, 22}, kSeparatorColour);
  FillRect(surface, {0, h - 21, w, h - 20}, kSeparatorColour);
  InvalidateArea({}, 1);
  return true;
}

std::filesystem::path CSFolderPage::CurrentPath() const {
  return m_current ? m_current->GetPath() : std::filesystem::path();
}

CFolderNode* CSFolderPage::FindTopLevel(const std::filesystem::path& path) {
  const std::string target = PathText(path);
  for (const auto& child : root.children) {
    auto* entry = static_cast<CFolderNode*>(child.get());
    if (WithoutTrailingSlash(entry->segment) == target) return entry;
  }
  return nullptr;
}

bool CSFolderPage::InitFolderTree() {
  if (!LoadSkinIconStrip(u"foldertree.png", kFolderIconWidth, icons)) return false;
  UIResources().WriteLog("Init Root Folder");
  {
    std::lock_guard guard(tree.lock);
    tree.collapsedGlyph = icons.At(kFolderIconCollapsed);
    tree.expandedGlyph = icons.At(kFolderIconExpanded);
  }
  sources.favourites =
      favourites ? std::span<const FavouriteFolder>(*favourites) : std::span<const FavouriteFolder>();
  {
    CSTree::EditGuard edit(tree);
    tree.SetRoot(nullptr);
    m_current = nullptr;
    if (BuildFolderRoots(root, &icons, false, sources) != 1) return false;
    tree.SetRoot(&root);
  }
  m_media = ListMediaMounts(sources);
  history.Clear();
  UpdateButtons();
  UIResources().WriteLog("Goto Path");
  const std::u16string stored = albumFolder ? *albumFolder : std::u16string();
  if (stored.empty() || !GoToPath(PathFromUtf16(stored))) {
    // First start, or the folder is gone: Pictures.
    (void)GoToPath(GetPicturesFolder());  // no Pictures and no home: no folder is current
  }
  UIResources().WriteLog("Folder Init over");
  return true;
}

CFolderNode* CSFolderPage::FindChildByPath(CFolderNode& entry, const std::string& target) {
  CFolderNode* node = &entry;
  for (;;) {
    if (!node->HasChildren()) EnumerateSubFolders(*node, 1, &icons);
    CFolderNode* next = nullptr;
    for (const auto& child : node->children) {
      auto* folder = static_cast<CFolderNode*>(child.get());
      if (IsPathPrefix(WithoutTrailingSlash(folder->GetPathText()), target)) {
        next = folder;
        break;
      }
    }
    if (!next) return nullptr;
    if (WithoutTrailingSlash(next->GetPathText()) == target) {
      if (!next->HasChildren()) EnumerateSubFolders(*next, 1, &icons);
      return next;
    }
    node = next;
  }
}

bool CSFolderPage::GoToPath(const std::filesystem::path& path) {
  if (!IsExistingFolder(path)) return false;
  const std::string target = PathText(path);
  CFolderNode* found = nullptr;
  {
    CSTree::EditGuard edit(tree);
    // The longest entry that holds the target by whole segments.
    CFolderNode* best = nullptr;
    std::size_t bestLength = 0;
    for (const auto& child : root.children) {
      auto* entry = static_cast<CFolderNode*>(child.get());
      const std::string entryPath = WithoutTrailingSlash(entry->segment);
      if (IsPathPrefix(entryPath, target) && (!best || entryPath.size() > bestLength)) {
        best = entry;
        bestLength = entryPath.size();
      }
    }
    if (!best) return false;
    found = WithoutTrailingSlash(best->segment) == target ? best : FindChildByPath(*best, target);
    if (!found) return false;
    for (CTreeNode* ancestor = found->parent; ancestor; ancestor = ancestor->parent) {
      ancestor->expanded = 1;
      for (const auto& child : ancestor->children) {
        auto* folder = static_cast<CFolderNode*>(child.get());
        if (!folder->HasChildren() && !folder->listed) EnumerateSubFolders(*folder, 1, &icons);
      }
    }
  }
  tree.SelectNode(found, true);
  SelectFolder(found);
  UIResources().WriteLog("Path Go to OK");
  return true;
}

void CSFolderPage::ShowProgress(bool shown) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  if (!shown) {
    window->HideProgress();
    return;
  }
  const Rect page = RectToWindow({0, 0, rect.Width(), rect.Height()});
  const Point centre{(page.left + page.right) / 2, (page.top + page.bottom) / 2};
  window->ShowProgress({centre.x - 45, centre.y - 45, centre.x + 45, centre.y + 45});
}

void CSFolderPage::SelectFolder(CFolderNode* node) {
  if (node == m_current) return;
  m_current = node;
  if (!node) {
    tag.visible = 0;
    tag.currentNode = nullptr;
    tag.RebuildSegments();
    UpdateButtons();
    return;
  }
  const std::filesystem::path path = node->GetPath();
  if (albumPage) albumPage->WatchFolder(path);
  ShowProgress(true);
  history.Visit(path);
  tag.currentNode = node;
  tag.RebuildSegments();
  tag.visible = 1;
  tag.dirty = 1;
  UpdateButtons();
  if (photoList) {
    photoList->DeleteAllPhotos();
    if (albumPage) albumPage->ListFolderIntoList(*node);
  }
  if (albumFolder) *albumFolder = PathToUtf16(path);
  ShowProgress(false);
}

void CSFolderPage::RefreshCurrentFolder() {
  if (!m_current) return;
  {
    CSTree::EditGuard edit(tree);
    EnumerateSubFolders(*m_current, 1, &icons);
  }
  tree.SelectNode(m_current, false);
}

void CSFolderPage::RefreshAll() {
  if (albumPage) albumPage->RefreshFolderListing();
  RefreshCurrentFolder();
}

bool CSFolderPage::RefreshMedia() {
  if (icons.Count() == 0) return false;
  std::vector<MediaMount> now = ListMediaMounts(sources);
  if (now == m_media) return false;
  const std::filesystem::path remembered = CurrentPath();
  {
    CSTree::EditGuard edit(tree);
    tree.SetRoot(nullptr);
    m_current = nullptr;
    tag.currentNode = nullptr;
    // Gone media leave the tree; new ones are appended without an icon.
    for (const MediaMount& old : m_media) {
      if (std::find(now.begin(), now.end(), old) != now.end()) continue;
      const std::string path = WithoutTrailingSlash(old.path.string());
      const auto gone = std::find_if(root.children.begin(), root.children.end(), [&](const auto& child) {
        const auto* entry = static_cast<const CFolderNode*>(child.get());
        return entry->kind != kFolderKindFolder && WithoutTrailingSlash(entry->segment) == path;
      });
      if (gone != root.children.end()) root.children.erase(gone);
    }
    for (const MediaMount& medium : now) {
      if (std::find(m_media.begin(), m_media.end(), medium) != m_media.end()) continue;
      AppendTopLevel(root, medium.path, medium.name, medium.kind, nullptr, &icons);
    }
    tree.SetRoot(&root);
  }
  m_media = std::move(now);
  tag.RebuildSegments();
  tag.visible = 0;
  history.Clear();
  UpdateButtons();
  if (remembered.empty() || !GoToPath(remembered)) {
    // The folder shown was on a medium that went: nothing is current.
    if (photoList) photoList->DeleteAllPhotos();
    if (albumPage) albumPage->WatchFolder({});
  }
  return true;
}

void CSFolderPage::EnableButton(CSButton& button, bool enabled) {
  button.acceptsInput = enabled ? 1 : 0;
  button.alpha = enabled ? 255 : 100;
  button.dirty = 1;
  button.InvalidateArea({}, 1);
}

void CSFolderPage::UpdateButtons() {
  EnableButton(backButton, history.CanGoBack());
  EnableButton(forwardButton, history.CanGoForward());
  EnableButton(upButton, m_current && m_current->parent);
  EnableButton(favouritesButton, m_current != nullptr);
  EnableButton(newFolderButton, true);
}

void CSFolderPage::OnButton(std::int32_t buttonId) {
  std::filesystem::path target;
  switch (buttonId) {
    case kBackId:
      target = history.BackTarget();
      break;
    case kForwardId:
      target = history.ForwardTarget();
      break;
    case kUpId:
      if (m_current && m_current->parent) target = static_cast<CFolderNode*>(m_current->parent)->GetPath();
      break;
    case kFavouritesId:
      if (!favourites || favourites->empty()) {
        AddFavourite();
      } else {
        ShowFavouritesMenu();
      }
      return;
    case kNewFolderId:
      NewFolder();
      return;
    default:
      return;
  }
  if (!target.empty()) (void)GoToPath(target);  // a folder gone meanwhile: nothing changes
}

void CSFolderPage::ShowFavouritesMenu() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window || !favourites) return;
  favouritesMenu.Destroy(0);
  favouritesMenu.AddItemEx({}, kAddFavouriteCommand, TextOf(u"AddFav"), {}, {}, nullptr);
  favouritesMenu.AddItemEx({}, kManageFavouritesCommand, TextOf(u"ManagementFav"), {}, {}, nullptr);
  favouritesMenu.AddItem({}, 0, {}, nullptr);
  for (std::size_t i = 0; i < favourites->size(); ++i) {
    favouritesMenu.AddItemEx({}, kFirstFavouriteCommand + static_cast<std::int32_t>(i),
                             (*favourites)[i].Name(), {}, {}, nullptr);
  }
  const Point corner = favouritesButton.PointToWindow({favouritesButton.rect.Width(), 0});
  window->ShowPopupMenu(&favouritesMenu, corner, true, true, this);
}

void CSFolderPage::AddFavourite() {
  if (!m_current || !favourites) return;
  std::u16string name = m_current->text;
  const Point corner = PointToWindow({rect.Width(), 20});
  if (!InputName(name, TextOf(u"AddFav2"), corner)) return;
  switch (AddFavouriteRecord(*favourites, name, m_current->GetPath())) {
    case AddFavouriteResult::Full:
      (void)ShowMessageBox(TextOf(u"FavFull"), MessageBoxIcon::Warning, MessageBoxButtons::Ok);
      break;
    case AddFavouriteResult::PathTooLong:
      (void)ShowMessageBox(TextOf(u"FavPathTooLong"), MessageBoxIcon::Warning, MessageBoxButtons::Ok);
      break;
    default:  // a duplicate is dropped without a word
      break;
  }
}

void CSFolderPage::NewFolder() {
  if (!m_current) return;
  std::u16string name;
  const Point corner = PointToWindow({rect.Width(), 20});
  if (!InputName(name, TextOf(u"New folder"), corner) || name.empty()) return;
  const MakeFolderResult made = MakeFolder(m_current->GetPath() / PathFromUtf16(name));
  if (made != MakeFolderResult::Made) return;  // taken or refused: nothing to show
  RefreshAll();
}

void CSFolderPage::OnFolderExpanded(CFolderNode* node) {
  if (!node) return;
  CFolderNode* selected = static_cast<CFolderNode*>(tree.GetSelectedNode());
  CFolderNode* select = selected;
  {
    CSTree::EditGuard edit(tree);
    if (node->expanded) {
      for (const auto& child : node->children) {
        auto* folder = static_cast<CFolderNode*>(child.get());
        if (!folder->HasChildren() && !folder->listed) EnumerateSubFolders(*folder, 1, &icons);
      }
    } else {
      for (const CTreeNode* walk = selected ? selected->parent : nullptr; walk; walk = walk->parent) {
        if (walk == node) {
          select = node;
          break;
        }
      }
    }
  }
  if (select) tree.SelectNode(select, false);
  if (select != selected) SelectFolder(select);
}

bool CSFolderPage::OnSpriteMessage(const SpriteMessage& message) {
  switch (message.code) {
    case kSpriteMsgButtonClicked:
      OnButton(static_cast<std::int32_t>(message.wparam));
      break;
    case kTreeMsgExpandToggled:
      OnFolderExpanded(static_cast<CFolderNode*>(reinterpret_cast<CTreeNode*>(message.lparam)));
      break;
    case kTreeMsgSelectionChanged:
      SelectFolder(static_cast<CFolderNode*>(reinterpret_cast<CTreeNode*>(message.lparam)));
      break;
    case kTreeMsgBackspace:
      OnButton(kBackId);
      break;
    case kMenuMsgCommand: {
      const auto command = static_cast<std::int32_t>(message.wparam);
      if (command == kAddFavouriteCommand) {
        AddFavourite();
      } else if (command == kManageFavouritesCommand && favourites) {
        ManageFavourites(*favourites);
      } else if (favourites && command >= kFirstFavouriteCommand &&
                 command - kFirstFavouriteCommand < static_cast<std::int32_t>(favourites->size())) {
        const std::u16string_view path =
            (*favourites)[static_cast<std::size_t>(command - kFirstFavouriteCommand)].Path();
        if (!path.empty()) (void)GoToPath(PathFromUtf16(path));  // a favourite that is gone changes nothing
      }
      break;
    }
    case kTreeTagMsgNavigate: {
      // The node may be of a tree rebuilt since: only one still on the path counts.
      const auto* node = reinterpret_cast<const CTreeNode*>(message.lparam);
      bool known = false;
      for (const CTreeNode* walk = m_current; walk && !known; walk = walk->parent) {
        known = walk == node || (node && node->parent == walk);
      }
      for (const auto& child : root.children) known = known || child.get() == node;
      // A folder deleted meanwhile changes nothing.
      if (known) (void)GoToPath(static_cast<const CFolderNode*>(node)->GetPath());
      break;
    }
    case kSpriteMsgCheckMedia:
      m_mediaCheckPosted = false;
      (void)RefreshMedia();  // unchanged media: nothing to do
      break;
    default:
      break;
  }
  return CSTabPage::OnSpriteMessage(message);
}
