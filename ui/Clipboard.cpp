#include "ui/Clipboard.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "image/BgraImage.h"
#include "image/ImageFileProbe.h"
#include "image/codecs/BitmapInfoHeader.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/Clipboard.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/UriList.h"
#include "platform/Utf16.h"
#include "platform/WindowHost.h"
#include "ui/ClipboardBlocks.h"

namespace {

constexpr std::string_view kPng = "image/png";
constexpr std::string_view kBmp = "image/bmp";
constexpr std::string_view kGnomeFiles = "x-special/gnome-copied-files";
constexpr std::string_view kUriList = "text/uri-list";
constexpr std::string_view kUtf8Text = "UTF8_STRING";
constexpr std::uint32_t kBmpFileHeaderSize = 14;
// Enough of a picture file for its size (PNG's IHDR, BMP's headers).
constexpr std::size_t kProbeBytes = 4096;

using Bytes = std::vector<std::uint8_t>;

IClipboard* Board() {
  IWindowHost* host = WindowHost();
  return host ? host->Clipboard() : nullptr;
}

// Where a block of ours is kept as written; other programs do not see it.
std::string OwnTarget(ClipboardFormat format) {
  return "application/x-tessera-format-" + std::to_string(static_cast<std::uint32_t>(format));
}

bool Offers(const std::vector<std::string>& targets, std::string_view name) {
  return std::find(targets.begin(), targets.end(), name) != targets.end();
}

ClipboardBytes Share(Bytes bytes) { return std::make_shared<const Bytes>(std::move(bytes)); }

Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::span<const std::uint8_t> Span(const ClipboardBytes& bytes) { return {bytes->data(), bytes->size()}; }

[[nodiscard]] Bytes EncodePng(const Bytes& dib) {
  CBgraImage picture;
  CCodecImage codec;
  CCodecMemStream stream;
  if (!ReadDibBlock(dib, picture) || !picture.ToCodecImage(codec, true) ||
      !codec.Encode(stream, CodecFormat::Png)) {
    return {};
  }
  const std::span<const std::uint8_t> encoded = stream.Bytes();
  return Bytes(encoded.begin(), encoded.end());
}

// A BMP file is the bitmap behind a 14-byte file header.
Bytes MakeBmpFile(const Bytes& dib) {
  const BitmapInfoHeader header = BitmapInfoHeader::Load(dib.data());
  Bytes file(kBmpFileHeaderSize + dib.size());
  file[0] = 'B';
  file[1] = 'M';
  StoreLE32(&file[2], static_cast<std::uint32_t>(std::min<std::uint64_t>(file.size(), UINT32_MAX)));
  StoreLE32(&file[10], kBmpFileHeaderSize + header.biSize + 4 * header.biClrUsed);
  std::copy(dib.begin(), dib.end(), file.begin() + kBmpFileHeaderSize);
  return file;
}

Bytes DropEffectBlock(std::uint32_t effect) {
  Bytes block(4);
  StoreLE32(block.data(), effect);
  return block;
}

// The targets of the program's blocks: each block as written, and what
// other programs understand of it. false when a file list or picture block
// does not read back.
[[nodiscard]] bool AddTargets(std::vector<std::pair<ClipboardFormat, ClipboardBytes>> blocks,
                              std::vector<ClipboardTarget>& targets) {
  bool cut = false;
  for (const auto& [format, bytes] : blocks) {
    if (format == ClipboardFormat::PreferredDropEffect && bytes->size() >= 4) {
      cut = LoadLE32(bytes->data()) == kDropEffectMove;
    }
  }
  for (auto& [format, bytes] : blocks) {
    if (format == ClipboardFormat::Hdrop) {
      std::vector<std::filesystem::path> paths;
      if (!ReadDropFilesBlock(Span(bytes), paths)) return false;
      std::string lines;
      for (const std::filesystem::path& path : paths) lines += (lines.empty() ? "" : "\n") + path.native();
      targets.push_back({std::string(kGnomeFiles), Share(TextBytes(MakeGnomeCopiedFiles(cut, paths)))});
      targets.push_back({std::string(kUriList), Share(TextBytes(MakeUriList(paths)))});
      targets.push_back({std::string(kUtf8Text), Share(TextBytes(lines))});
    } else if (format == ClipboardFormat::Dib) {
      if (!CheckDibBlock(Span(bytes))) return false;
      targets.push_back({std::string(kPng), nullptr, [dib = bytes] { return EncodePng(*dib); }});
      targets.push_back({std::string(kBmp), nullptr, [dib = bytes] { return MakeBmpFile(*dib); }});
    }
    targets.push_back({OwnTarget(format), std::move(bytes), nullptr, false});
  }
  return true;
}

[[nodiscard]] int PutBlocks(std::vector<std::pair<ClipboardFormat, ClipboardBytes>> blocks) {
  IClipboard* board = Board();
  std::vector<ClipboardTarget> targets;
  if (!board || !AddTargets(std::move(blocks), targets)) return 0;
  return board->Offer(std::move(targets));
}

[[nodiscard]] int DecodePicture(std::span<const std::uint8_t> file, CodecFormat format, CBgraImage& picture) {
  CCodecMemStream stream(file);
  CCodecImage codec(format);
  codec.attributes.maxSide = kMaxImageSide;
  return codec.Decode(stream, format) && picture.FromCodecImage(codec) ? 1 : 0;
}

// Another program's picture file as a block.
[[nodiscard]] int ReadForeignPicture(IClipboard& board, const std::vector<std::string>& targets,
                                     ClipboardBytes& block) {
  ClipboardBytes file;
  CBgraImage picture;
  if (Offers(targets, kPng) && board.Read(kPng, file)) {
    if (!DecodePicture(Span(file), CodecFormat::Png, picture)) return 0;
  } else if (Offers(targets, kBmp) && board.Read(kBmp, file)) {
    if (!DecodePicture(Span(file), CodecFormat::Bmp, picture)) return 0;
  } else {
    return 0;
  }
  Bytes dib = MakeDibBlock(picture);
  if (dib.empty()) return 0;
  block = Share(std::move(dib));
  return 1;
}

// The block size of another program's picture, from its file's header.
[[nodiscard]] std::uint64_t ForeignPictureSize(IClipboard& board, const std::vector<std::string>& targets) {
  ClipboardBytes file;
  if (!(Offers(targets, kPng) && board.Read(kPng, file)) &&
      !(Offers(targets, kBmp) && board.Read(kBmp, file))) {
    return 0;
  }
  CMemFile head(
      Bytes(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(std::min(file->size(), kProbeBytes))));
  const CImageFileProbe::Result probe = CImageFileProbe::Probe(head, CImageFileProbe::Format::Unknown);
  const std::uint64_t pixels = PixelByteCount(probe.width, probe.height, 4);
  if ((probe.format != CImageFileProbe::Format::Png && probe.format != CImageFileProbe::Format::Bmp) ||
      probe.width > kMaxImageSide || probe.height > kMaxImageSide || pixels == 0) {
    return 0;
  }
  return BitmapInfoHeader::kSize + pixels;
}

// Another program's file list, with whether it was cut.
[[nodiscard]] int ReadForeignFiles(IClipboard& board, const std::vector<std::string>& targets,
                                   std::vector<std::filesystem::path>& paths, bool& cut) {
  ClipboardBytes list;
  cut = false;
  if (Offers(targets, kGnomeFiles) && board.Read(kGnomeFiles, list))
    return ParseGnomeCopiedFiles(Span(list), cut, paths);
  if (Offers(targets, kUriList) && board.Read(kUriList, list)) return ParseUriList(Span(list), paths);
  return 0;
}

[[nodiscard]] int ReadBlock(ClipboardFormat format, ClipboardBytes& block) {
  IClipboard* board = Board();
  if (!board) return 0;
  const std::vector<std::string> targets = board->Targets();
  const std::string own = OwnTarget(format);
  if (Offers(targets, own)) return board->Read(own, block);

  std::u16string text;
  std::vector<std::filesystem::path> paths;
  bool cut = false;
  switch (format) {
    case ClipboardFormat::Text: {
      if (!board->GetText(text)) return 0;
      const std::string utf8 = ToUtf8(text);
      Bytes bytes(utf8.begin(), utf8.end());
      bytes.push_back(0);
      block = Share(std::move(bytes));
      return 1;
    }
    case ClipboardFormat::UnicodeText: {
      if (!board->GetText(text)) return 0;
      Bytes bytes((text.size() + 1) * 2, 0);
      for (std::size_t i = 0; i < text.size(); ++i) StoreLE16(&bytes[2 * i], text[i]);
      block = Share(std::move(bytes));
      return 1;
    }
    case ClipboardFormat::Dib:
      return ReadForeignPicture(*board, targets, block);
    case ClipboardFormat::Hdrop:
      if (!ReadForeignFiles(*board, targets, paths, cut)) return 0;
      block = Share(MakeDropFilesBlock(MakeFileList(paths)));
      return 1;
    case ClipboardFormat::PreferredDropEffect:
      // Only the GNOME list says whether it was cut.
      if (!Offers(targets, kGnomeFiles) || !ReadForeignFiles(*board, targets, paths, cut)) return 0;
      block = Share(DropEffectBlock(cut ? kDropEffectMove : kDropEffectCopy));
      return 1;
    case ClipboardFormat::DibV5:
      break;
  }
  return 0;
}

}  // namespace

std::uint64_t GetClipboardDataSize(ClipboardFormat format) {
  IClipboard* board = Board();
  if (!board) return 0;
  if (format == ClipboardFormat::Dib) {
    // Another program's picture is measured without decoding it.
    const std::vector<std::string> targets = board->Targets();
    if (!Offers(targets, OwnTarget(format))) return ForeignPictureSize(*board, targets);
  }
  ClipboardBytes block;
  return ReadBlock(format, block) ? block->size() : 0;
}

int WriteClipboardBytes(ClipboardFormat format, std::span<const std::uint8_t> data) {
  IClipboard* board = Board();
  if (!board) return 0;
  if (format == ClipboardFormat::Text) {
    const auto end = static_cast<std::size_t>(std::find(data.begin(), data.end(), 0) - data.begin());
    return board->SetText(FromUtf8({reinterpret_cast<const char*>(data.data()), end}));
  }
  if (format == ClipboardFormat::UnicodeText) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      const char16_t c = LoadLE16(&data[i]);
      if (c == u'\0') break;
      text.push_back(c);
    }
    return board->SetText(text);
  }
  try {
    return PutBlocks({{format, Share(Bytes(data.begin(), data.end()))}});
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int ReadClipboardBytes(ClipboardFormat format, std::vector<std::uint8_t>& bytes) {
  ClipboardBytes block;
  if (!ReadBlock(format, block)) return 0;
  bytes = *block;
  return 1;
}

int OfferFileDrag(std::span<const std::filesystem::path> paths) {
  IClipboard* board = Board();
  if (!board || paths.empty()) return 0;
  std::vector<ClipboardTarget> targets;
  targets.push_back({std::string(kUriList), Share(TextBytes(MakeUriList(paths)))});
  return board->StartDrag(std::move(targets));
}

int CopyFilesToClipboard(std::u16string_view fileList, bool copy) {
  return PutBlocks({{ClipboardFormat::Hdrop, Share(MakeDropFilesBlock(fileList))},
                    {ClipboardFormat::PreferredDropEffect,
                     Share(DropEffectBlock(copy ? kDropEffectCopy : kDropEffectMove))}});
}

FilePasteResult PasteFilesFromClipboard(const std::filesystem::path& destinationFolder,
                                        const FileConflictQuestion& ask) {
  FilePasteResult result;
  IClipboard* board = Board();
  ClipboardBytes list;
  if (!board || !ReadBlock(ClipboardFormat::Hdrop, list)) return result;
  ClipboardBytes effect;
  if (ReadBlock(ClipboardFormat::PreferredDropEffect, effect) && effect->size() >= 4 &&
      LoadLE32(effect->data()) == kDropEffectMove) {
    result.mode = FileTransferMode::Move;
  }
  std::vector<std::filesystem::path> paths;
  if (ReadDropFilesBlock(Span(list), paths)) {
    result.report = TransferFiles(paths, destinationFolder, result.mode, ask);
  }
  // Whatever came of it: a list is pasted once.
  result.emptied = board->Empty() != 0;
  result.pasted = 1;
  return result;
}

int CopyImageToClipboard(const CBgraImage& picture) {
  try {
    Bytes block = MakeDibBlock(picture);
    if (block.empty()) return 0;
    return PutBlocks({{ClipboardFormat::Dib, Share(std::move(block))}});
  } catch (const std::bad_alloc&) {
    return 0;
  }
}
