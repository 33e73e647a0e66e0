#pragma once
// Tagging photos by dropping them on a tag node of the search page (also
// the album's paste-as-tag): the node's one tag word is written into each
// JPEG file, whose photo-info record is then made again. Files of other
// types are skipped and reported once at the end; the first file that
// cannot be tagged stops the work with a message naming it.

#include <filesystem>
#include <span>

class CSearchNode;
class PhotoInfoCache;

// Nothing for a node that is not a tag node. A node whose tag words are not
// exactly one word gives "AddTagFailed" and nothing else. Messages go
// through ShowMessageBox; UI thread.
void AddTagToPhotoFiles(const CSearchNode* node, std::span<const std::filesystem::path> files,
                        PhotoInfoCache& cache);
