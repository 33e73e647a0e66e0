#include "album/SFolderTag.h"

#include "album/FolderNode.h"
#include "album/FolderRoots.h"
#include "platform/Utf16.h"

std::u16string CSFolderTag::GetNodeLabel(const CTreeNode& node) {
  const auto& folder = static_cast<const CFolderNode&>(node);
  std::u16string label = FromUtf8(WithoutTrailingSlash(folder.segment));
  if (label.size() >= 127) label = label.substr(0, 125) + u"..";
  return label.empty() ? u" " : label;
}
