#include "album/FolderRoots.h"

#include <algorithm>
#include <cstdlib>

#include "image/ImageCodec.h"
#include "platform/Folder.h"
#include "platform/MountTable.h"
#include "platform/UserFolders.h"
#include "platform/Utf16.h"
#include "ui/UIResources.h"

namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

const CBgraImage* Cell(const CImageArray* icons, std::size_t cell) {
  return icons ? icons->At(cell) : nullptr;
}

std::u16string DisplayText(std::u16string text) {
  if (text.size() >= kFolderTextField) text = text.substr(0, kFolderTextField - 3) + u"..";
  return text;
}

std::string User(const FolderRootSources& sources) {
  if (!sources.user.empty()) return sources.user;
  const char* user = std::getenv("USER");
  return user ? user : "";
}

// The media roots: entries directly below these (and only those) are media.
std::vector<std::string> MediaRoots(const FolderRootSources& sources) {
  std::vector<std::string> roots;
  const std::string user = User(sources);
  if (!user.empty()) {
    roots.push_back("/media/" + user + "/");
    roots.push_back("/run/media/" + user + "/");
  }
  roots.push_back("/mnt/");
  return roots;
}

bool IsNetworkType(const std::string& type) {
  static constexpr std::string_view kTypes[] = {"nfs",   "nfs4",       "cifs",     "smb3",        "smbfs",
                                                "sshfs", "fuse.sshfs", "davfs",    "fuse.davfs2", "9p",
                                                "afs",   "ceph",       "glusterfs"};
  return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

bool IsOpticalType(const std::string& type) { return type == "iso9660" || type == "udf"; }

std::string Text(const std::filesystem::path& path) { return path.string(); }

}  // namespace

bool IsPathPrefix(const std::string& prefix, const std::string& path) {
  if (prefix == "/") return !path.empty() && path.front() == '/';
  if (!path.starts_with(prefix)) return false;
  return path.size() == prefix.size() || path[prefix.size()] == '/';
}

std::string WithoutTrailingSlash(std::string text) {
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool IsExistingFolder(const std::filesystem::path& path) {
  return !path.empty() && StatPath(path).kind == PathStatus::Kind::Folder;
}

std::vector<MediaMount> ListMediaMounts(const FolderRootSources& sources) {
  std::vector<MediaMount> media;
  const std::vector<std::string> roots = MediaRoots(sources);
  for (const MountEntry& mount : ReadMountInfo(sources.mountInfo)) {
    const std::string point = Text(mount.mountPoint);
    for (const std::string& root : roots) {
      if (!point.starts_with(root) || point.size() == root.size()) continue;
      // Directly below the root only.
      if (point.find('/', root.size()) != std::string::npos) continue;
      const std::int32_t kind = IsNetworkType(mount.fsType)   ? kFolderKindNetwork
                                : IsOpticalType(mount.fsType) ? kFolderKindOptical
                                                              : kFolderKindRemovable;
      MediaMount entry{mount.mountPoint, kind, PathToUtf16(mount.mountPoint.filename())};
      if (std::find(media.begin(), media.end(), entry) == media.end()) media.push_back(std::move(entry));
    }
  }
  return media;
}

void EnumerateSubFolders(CFolderNode& node, std::int32_t depth, const CImageArray* icons) {
  const std::filesystem::path folder = node.GetPath();
  node.DeleteChildren();
  node.imageCount = 0;
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries)) return;
  std::vector<std::string> names;
  for (const FolderEntry& entry : entries) {
    if (entry.name.empty() || entry.name.front() == '.') continue;
    if (entry.isFile) {
      if (GetImageType(entry.name) != ImageFileType::Unknown) {
        ++node.imageCount;
        if (const CBgraImage* icon = Cell(icons, kFolderIconImages)) node.icon = icon;
      }
      continue;
    }
    if (IsExistingFolder(folder / entry.name)) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end(), LessIgnoringCase);
  for (const std::string& name : names) {
    auto child = std::make_unique<CFolderNode>();
    child->segment = name + "/";
    child->text = DisplayText(FromUtf8(name));
    child->kind = kFolderKindFolder;
    child->icon = Cell(icons, kFolderIconFolder);
    child->checked = node.checked;
    auto* added = static_cast<CFolderNode*>(node.AppendChild(std::move(child)));
    if (depth > 1) EnumerateSubFolders(*added, depth - 1, icons);
  }
  node.listed = 1;
}

CFolderNode* AppendTopLevel(CFolderNode& root, const std::filesystem::path& path, std::u16string_view text,
                            std::int32_t kind, const CBgraImage* icon, const CImageArray* icons) {
  auto entry = std::make_unique<CFolderNode>();
  std::string segment = Text(path);
  if (segment.empty() || segment.back() != '/') segment += '/';
  entry->segment = std::move(segment);
  entry->text = DisplayText(std::u16string(text));
  entry->kind = kind;
  entry->icon = icon;
  auto* added = static_cast<CFolderNode*>(root.AppendChild(std::move(entry)));
  // Top-level entries have no parent: paths and "up" stop there.
  added->parent = nullptr;
  EnumerateSubFolders(*added, 1, icons);
  return added;
}

int BuildFolderRoots(CFolderNode& root, const CImageArray* icons, bool fixedOnly,
                     const FolderRootSources& sources) {
  root.ClearSubtree();
  const auto text = [](std::u16string_view key) { return UIResources().texts.TextOrKey(key); };
  const CBgraImage* folderIcon = Cell(icons, kFolderIconFolder);
  if (!fixedOnly) {
    const std::pair<const char*, const char*> special[] = {{"DESKTOP", "Desktop"},
                                                           {"DOCUMENTS", "Documents"}};
    const char16_t* keys[] = {u"Desktop", u"Documents"};
    for (std::size_t i = 0; i < 2; ++i) {
      const std::filesystem::path folder = GetUserDirFolder(special[i].first, special[i].second);
      if (!folder.empty()) AppendTopLevel(root, folder, text(keys[i]), kFolderKindFolder, folderIcon, icons);
    }
    const std::filesystem::path home = GetHomeFolder();
    const std::filesystem::path pictures = GetPicturesFolder();
    if (!pictures.empty() && pictures != home && IsExistingFolder(pictures))
      AppendTopLevel(root, pictures, text(u"Pictures"), kFolderKindFolder, folderIcon, icons);
  }
  if (const std::filesystem::path home = GetHomeFolder(); IsExistingFolder(home))
    AppendTopLevel(root, home, text(u"HomeFolder"), kFolderKindFolder, folderIcon, icons);
  AppendTopLevel(root, "/", text(u"RootFolder"), kFolderKindFixed, Cell(icons, kFolderIconFixed), icons);
  if (fixedOnly) return 1;
  for (const FavouriteFolder& favourite : sources.favourites) {
    if (favourite.Path().empty()) continue;
    AppendTopLevel(root, PathFromUtf16(favourite.Path()), favourite.Name(), kFolderKindFolder, folderIcon,
                   icons);
  }
  for (const MediaMount& medium : ListMediaMounts(sources)) {
    const CBgraImage* icon = medium.kind == kFolderKindOptical   ? Cell(icons, kFolderIconOptical)
                             : medium.kind == kFolderKindNetwork ? nullptr
                                                                 : Cell(icons, kFolderIconRemovable);
    AppendTopLevel(root, medium.path, medium.name, medium.kind, icon, icons);
  }
  return 1;
}

bool BothOnFixedDrives(const std::filesystem::path& a, const std::filesystem::path& b,
                       const FolderRootSources& sources) {
  const std::vector<MountEntry> mounts = ReadMountInfo(sources.mountInfo);
  const std::vector<std::string> roots = MediaRoots(sources);
  const auto fixed = [&](const std::filesystem::path& path) {
    const std::string text = WithoutTrailingSlash(Text(path));
    if (text.empty() || text.front() != '/') return false;
    const MountEntry* best = nullptr;
    std::size_t bestLength = 0;
    for (const MountEntry& mount : mounts) {
      const std::string point = WithoutTrailingSlash(Text(mount.mountPoint));
      if (IsPathPrefix(point, text) && (!best || point.size() >= bestLength)) {
        best = &mount;
        bestLength = point.size();
      }
    }
    if (!best || IsNetworkType(best->fsType) || IsOpticalType(best->fsType)) return false;
    const std::string point = WithoutTrailingSlash(Text(best->mountPoint)) + "/";
    return std::none_of(roots.begin(), roots.end(),
                        [&](const std::string& root) { return point.starts_with(root); });
  };
  return fixed(a) && fixed(b);
}

DropPlan PlanImageDrop(std::span<const std::filesystem::path> files, const std::filesystem::path& folder,
                       const FolderRootSources& sources) {
  DropPlan plan;
  for (const std::filesystem::path& file : files) {
    if (GetImageType(file) == ImageFileType::Unknown || StatPath(file).kind != PathStatus::Kind::File)
      continue;
    (BothOnFixedDrives(file, folder, sources) ? plan.move : plan.copy).push_back(file);
  }
  return plan;
}
