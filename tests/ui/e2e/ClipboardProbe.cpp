// A small program for the end-to-end test of the clipboard under a virtual
// X server, driven by the test with one command a line on standard input
// and answering in a log:
//
//   copy-image W H EXPECTED   puts a W x H picture of noise with varying
//                             alpha on the clipboard; writes it to EXPECTED
//                             as raw R, G, B, A
//   paste-image FILE          reads the clipboard's picture, writes it to
//                             FILE as raw R, G, B, A
//   copy-files copy|cut PATH...   puts a file list on the clipboard
//   paste-files FOLDER        pastes the clipboard's file list there
//   copy-text TEXT / paste-text   text (UTF-8 on the line and in the log)
//   size dib|hdrop|text       GetClipboardDataSize, with the time it took
//   quit
//
// Each command answers with one line that starts with the command's name.
// While the UI thread waits for the next line, the platform thread goes on
// answering other programs' requests.
//
//   clipboard_probe LOG            run
//   clipboard_probe --silent-owner takes the clipboard and never answers

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "platform/Platform.h"
#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "tests/common/ProbeLog.h"
#include "tests/ui/e2e/SilentOwner.h"
#include "ui/Clipboard.h"
#include "ui/ClipboardBlocks.h"

namespace {

using probe::Write;

bool WriteRgba(const CBgraImage& picture, const std::string& path) {
  std::ofstream file(path, std::ios::binary);
  for (std::uint32_t i = 0; i < picture.pixelCount; ++i) {
    const std::uint8_t* p = picture.pixels + 4 * i;
    const char rgba[4] = {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0]),
                          static_cast<char>(p[3])};
    file.write(rgba, 4);
  }
  return static_cast<bool>(file);
}

// Noise, so the PNG stays large (INCR); alpha never 0, so every colour
// survives the trip.
CBgraImage Noise(std::uint32_t width, std::uint32_t height) {
  CBgraImage picture;
  if (!picture.Create(width, height)) return picture;
  std::uint32_t state = 12345;
  for (std::uint32_t i = 0; i < picture.pixelCount; ++i) {
    for (int c = 0; c < 4; ++c) {
      state = state * 1664525u + 1013904223u;
      picture.pixels[4 * i + c] = static_cast<std::uint8_t>(state >> 24);
    }
    picture.pixels[4 * i + 3] |= 1;
  }
  return picture;
}

ClipboardFormat FormatNamed(const std::string& name) {
  if (name == "dib") return ClipboardFormat::Dib;
  if (name == "hdrop") return ClipboardFormat::Hdrop;
  return ClipboardFormat::UnicodeText;
}

void Run(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  if (command == "copy-image") {
    std::uint32_t width = 0, height = 0;
    std::string expected;
    words >> width >> height >> expected;
    const CBgraImage picture = Noise(width, height);
    const bool copied = CopyImageToClipboard(picture) != 0;
    Write("copy-image %d %d", copied ? 1 : 0, WriteRgba(picture, expected) ? 1 : 0);
  } else if (command == "paste-image") {
    std::string path;
    words >> path;
    std::vector<std::uint8_t> dib;
    CBgraImage picture;
    if (ReadClipboardBytes(ClipboardFormat::Dib, dib) && ReadDibBlock(dib, picture) &&
        WriteRgba(picture, path)) {
      Write("paste-image %u %u", picture.width, picture.height);
    } else {
      Write("paste-image none");
    }
  } else if (command == "copy-files") {
    std::string action, path;
    words >> action;
    std::vector<std::filesystem::path> paths;
    while (words >> path) paths.emplace_back(path);
    Write("copy-files %d", CopyFilesToClipboard(MakeFileList(paths), action == "copy"));
  } else if (command == "paste-files") {
    std::string folder;
    words >> folder;
    const FilePasteResult result = PasteFilesFromClipboard(folder);
    Write("paste-files pasted %d emptied %d mode %s done %zu kept %zu failed %zu", result.pasted,
          result.emptied ? 1 : 0, result.mode == FileTransferMode::Move ? "move" : "copy",
          result.report.done.size(), result.report.kept.size(), result.report.failed.size());
  } else if (command == "copy-text") {
    std::string text;
    std::getline(words >> std::ws, text);
    const std::u16string wide = FromUtf8(text);
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : wide) {
      bytes.push_back(static_cast<std::uint8_t>(c));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    Write("copy-text %d", WriteClipboardBytes(ClipboardFormat::UnicodeText, bytes));
  } else if (command == "paste-text") {
    std::vector<std::uint8_t> bytes;
    if (ReadClipboardBytes(ClipboardFormat::Text, bytes) && !bytes.empty()) {
      Write("paste-text %s", reinterpret_cast<const char*>(bytes.data()));
    } else {
      Write("paste-text none");
    }
  } else if (command == "size") {
    std::string name;
    words >> name;
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t size = GetClipboardDataSize(FormatNamed(name));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    Write("size %s %llu ms %lld", name.c_str(), static_cast<unsigned long long>(size),
          static_cast<long long>(ms));
  } else {
    Write("unknown %s", command.c_str());
  }
}

int RunProbe(const char* logPath) {
  if (!probe::OpenLog(logPath)) return 2;
  IWindowHost* host = WindowHost();
  WindowOptions options;
  options.title = u"Tessera clipboard probe";
  options.size = {320, 200};
  options.maximized = false;
  if (!host || !host->CreateMainWindow(options)) {
    Write("no window");
    return 2;
  }
  Write("ready");
  std::string line;
  while (std::getline(std::cin, line) && line != "quit") Run(line);
  host->DestroyMainWindow();
  Write("exit 0");
  probe::CloseLog();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--silent-owner") == 0) return RunSilentClipboardOwner();
  if (argc != 2) {
    std::fprintf(stderr, "usage: clipboard_probe LOG | clipboard_probe --silent-owner\n");
    return 2;
  }
  return RunPlatform([&] { return RunProbe(argv[1]); });
}
