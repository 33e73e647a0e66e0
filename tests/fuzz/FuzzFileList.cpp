// File lists from the clipboard: the bytes are read as text/uri-list, as
// x-special/gnome-copied-files and as a DROPFILES block. Whatever a reader
// accepts must hold absolute paths free of control characters (the URI
// lists), and must read back the same from the list or block the program
// itself makes of those paths.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/UriList.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/ClipboardBlocks.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void CheckUriPaths(const Paths& paths) {
  FuzzCheck(!paths.empty() && paths.size() <= kMaxUriListFiles, "a list holds files");
  for (const std::filesystem::path& path : paths) {
    FuzzCheck(path.is_absolute() && path.native().size() <= kMaxUriPathBytes,
              "an absolute path of bounded size");
    for (const char c : path.native()) {
      FuzzCheck(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control character");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  Paths paths;
  Paths back;
  if (ParseUriList(input, paths)) {
    CheckUriPaths(paths);
    FuzzCheck(ParseUriList(Bytes(MakeUriList(paths)), back) && back == paths, "a uri-list reads back");
  }
  bool cut = false;
  if (ParseGnomeCopiedFiles(input, cut, paths)) {
    CheckUriPaths(paths);
    bool cutBack = !cut;
    FuzzCheck(ParseGnomeCopiedFiles(Bytes(MakeGnomeCopiedFiles(cut, paths)), cutBack, back) &&
                  back == paths && cutBack == cut,
              "a GNOME list reads back");
  }
  if (ReadDropFilesBlock(input, paths)) {
    FuzzCheck(!paths.empty() && paths.size() <= kMaxDropFiles, "a block holds files");
    for (const std::filesystem::path& path : paths) FuzzCheck(path.is_absolute(), "an absolute path");
    FuzzCheck(ReadDropFilesBlock(MakeDropFilesBlock(MakeFileList(paths)), back) && back == paths,
              "a block reads back");
  }
  return 0;
}
