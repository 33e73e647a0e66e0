#pragma once
// The project file "*.bfdoc": u32 N, the number of the photo's property
// items, then the full document body (CBFDoc::Serialize), then the items as
// ImageInfo::SerializeProperties writes them. No header of its own. The
// save chooser writes it, the album and the edit page read it.
//
// N is informative only: a reader takes items until one is not whole, so a
// file whose N disagrees with its records still opens.

#include <filesystem>

class CBFDoc;
class CFile;
struct ImageInfo;

// Writes the file to stream; info may be null (N = 0, the file ends with the
// body). 0 when the document cannot be written or any write fails.
[[nodiscard]] int WriteProjectFile(CFile& stream, CBFDoc& doc, ImageInfo* info);

// Writes the file through a temporary file beside path that replaces path
// only once every byte is on the disk: a failure (a full disk, a document
// the body cannot hold) leaves an earlier file byte for byte and no
// temporary file. 1 or 0.
[[nodiscard]] int SaveProjectFile(const std::filesystem::path& path, CBFDoc& doc, ImageInfo* info);

// Reads N, the body and the items. The document changes only when the body
// was read whole (CBFDoc::Serialize); info's items are then replaced by
// those that follow, up to the first that is not whole or that memory
// cannot hold, and its fields parsed from them (read into a fresh record).
// 0, with doc and info as they were, when N or the body is not whole.
[[nodiscard]] int ReadProjectFile(CFile& stream, CBFDoc& doc, ImageInfo& info);

// ReadProjectFile of a file on disk; 0 also when it cannot be opened.
[[nodiscard]] int LoadProjectFile(const std::filesystem::path& path, CBFDoc& doc, ImageInfo& info);
