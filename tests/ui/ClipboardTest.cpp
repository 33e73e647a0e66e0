#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/HeadlessHost.h"
#include "platform/LittleEndian.h"
#include "platform/UriList.h"
#include "tests/common/TestData.h"
#include "ui/Clipboard.h"
#include "ui/ClipboardBlocks.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Paths = std::vector<fs::path>;

Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string AsText(const ClipboardBytes& bytes) { return std::string(bytes->begin(), bytes->end()); }

// A picture whose every pixel differs, with partial alpha.
CBgraImage Picture(std::uint32_t width, std::uint32_t height) {
  CBgraImage picture;
  EXPECT_EQ(picture.Create(width, height), 1);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = picture.At(x, y);
      p[0] = static_cast<std::uint8_t>(10 * x + y);
      p[1] = static_cast<std::uint8_t>(20 + y);
      p[2] = static_cast<std::uint8_t>(30 * x);
      p[3] = static_cast<std::uint8_t>(255 - 40 * y);
    }
  }
  return picture;
}

bool SamePixels(const CBgraImage& a, const CBgraImage& b) {
  return a.width == b.width && a.height == b.height &&
         std::equal(a.Samples().begin(), a.Samples().end(), b.Samples().begin());
}

Bytes EncodeFile(const CBgraImage& picture, CodecFormat format) {
  CCodecImage codec;
  CCodecMemStream stream;
  EXPECT_TRUE(picture.ToCodecImage(codec, format == CodecFormat::Png));
  EXPECT_TRUE(codec.Encode(stream, format));
  return Bytes(stream.Bytes().begin(), stream.Bytes().end());
}

CBgraImage DecodeFile(const ClipboardBytes& file, CodecFormat format) {
  CCodecMemStream stream(*file);
  CCodecImage codec;
  CBgraImage picture;
  EXPECT_TRUE(codec.Decode(stream, format)) << codec.GetLastError();
  EXPECT_EQ(picture.FromCodecImage(codec), 1);
  return picture;
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(Clipboard, APictureIsABottomUpBitmapAndAPngForOtherPrograms) {
  CHeadlessHost host;
  const CBgraImage picture = Picture(3, 2);
  ASSERT_EQ(CopyImageToClipboard(picture), 1);

  EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::Dib), 64u);
  Bytes dib;
  ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::Dib, dib), 1);
  ASSERT_EQ(dib.size(), 64u);
  const std::uint32_t header[] = {40, 3, 2};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(LoadLE32(&dib[4 * i]), header[i]);
  EXPECT_EQ(LoadLE16(&dib[12]), 1);   // planes
  EXPECT_EQ(LoadLE16(&dib[14]), 32);  // bits per pixel
  EXPECT_EQ(LoadLE32(&dib[16]), 0u);  // uncompressed
  EXPECT_EQ(LoadLE32(&dib[20]), 24u);
  for (int offset = 24; offset < 40; offset += 4) EXPECT_EQ(LoadLE32(&dib[offset]), 0u);
  // The first row of pixels is the picture's last row.
  EXPECT_TRUE(std::equal(dib.begin() + 40, dib.begin() + 52, picture.Row(1)));
  EXPECT_TRUE(std::equal(dib.begin() + 52, dib.end(), picture.Row(0)));

  // Other programs get a PNG with the alpha, and a BMP file, not our block.
  CMemoryClipboard& board = *host.Clipboard();
  EXPECT_EQ(board.TargetsSeenByOtherProgram(), (std::vector<std::string>{"image/png", "image/bmp"}));
  ClipboardBytes file;
  ASSERT_EQ(board.ReadAsOtherProgram("image/png", file), 1);
  EXPECT_TRUE(SamePixels(DecodeFile(file, CodecFormat::Png), picture));
  ASSERT_EQ(board.ReadAsOtherProgram("image/bmp", file), 1);
  EXPECT_EQ(file->size(), 14u + 64u);
  EXPECT_EQ(LoadLE32(&(*file)[10]), 54u);
  EXPECT_EQ(DecodeFile(file, CodecFormat::Bmp).width, 3u);
}

TEST(Clipboard, AnotherProgramsPictureReadsAsABitmap) {
  CHeadlessHost host;
  const CBgraImage picture = Picture(5, 4);
  CBgraImage opaque;
  ASSERT_EQ(opaque.CopyFrom(picture), 1);
  for (std::uint32_t i = 0; i < opaque.pixelCount; ++i) opaque.pixels[4 * i + 3] = 255;
  const struct {
    const char* target;
    CodecFormat format;
    const CBgraImage& expected;  // BMP files keep no alpha
  } cases[] = {{"image/png", CodecFormat::Png, picture}, {"image/bmp", CodecFormat::Bmp, opaque}};
  for (const auto& c : cases) {
    host.Clipboard()->OfferFromOtherProgram({{"TARGETS", {1}}, {c.target, EncodeFile(picture, c.format)}});
    EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::Dib), 40u + 5 * 4 * 4) << c.target;
    Bytes dib;
    ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::Dib, dib), 1) << c.target;
    CBgraImage pasted;
    ASSERT_EQ(ReadDibBlock(dib, pasted), 1);
    EXPECT_TRUE(SamePixels(pasted, c.expected)) << c.target;
  }
  // A damaged file is no picture.
  Bytes png = EncodeFile(picture, CodecFormat::Png);
  png.resize(png.size() / 2);
  host.Clipboard()->OfferFromOtherProgram({{"image/png", png}});
  Bytes dib{7};
  EXPECT_EQ(ReadClipboardBytes(ClipboardFormat::Dib, dib), 0);
  EXPECT_EQ(dib, Bytes{7});
}

struct FileScene {
  CHeadlessHost host;
  fs::path root = ScratchDir();
  fs::path from = root / "from";
  fs::path to = root / "to";
  Paths sources{from / "a.jpg", from / "b.jpg"};
  FileScene() {
    fs::create_directories(from);
    fs::create_directories(to);
    Write(sources[0], "A");
    Write(sources[1], "B");
  }
  CMemoryClipboard& Board() { return *host.Clipboard(); }
};

TEST(Clipboard, CopiedAndCutFilesArePastedOnce) {
  for (const bool copy : {true, false}) {
    FileScene scene;
    const std::u16string list = MakeFileList(scene.sources);
    ASSERT_EQ(CopyFilesToClipboard(list, copy), 1);
    Bytes block;
    ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::Hdrop, block), 1);
    EXPECT_EQ(block.size(), list.size() * 2 + 28);
    EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::PreferredDropEffect), 4u);

    // What other programs see.
    ClipboardBytes seen;
    ASSERT_EQ(scene.Board().ReadAsOtherProgram("x-special/gnome-copied-files", seen), 1);
    EXPECT_EQ(AsText(seen), MakeGnomeCopiedFiles(!copy, scene.sources));
    ASSERT_EQ(scene.Board().ReadAsOtherProgram("text/uri-list", seen), 1);
    EXPECT_EQ(AsText(seen), MakeUriList(scene.sources));
    ASSERT_EQ(scene.Board().ReadAsOtherProgram("UTF8_STRING", seen), 1);
    EXPECT_EQ(AsText(seen), scene.sources[0].native() + "\n" + scene.sources[1].native());

    const FilePasteResult paste = PasteFilesFromClipboard(scene.to);
    EXPECT_EQ(paste.pasted, 1);
    EXPECT_TRUE(paste.emptied);
    EXPECT_EQ(paste.mode, copy ? FileTransferMode::Copy : FileTransferMode::Move);
    EXPECT_EQ(paste.report.done, (Paths{scene.to / "a.jpg", scene.to / "b.jpg"}));
    EXPECT_EQ(Read(scene.to / "b.jpg"), "B");
    for (const fs::path& source : scene.sources) EXPECT_EQ(fs::exists(source), copy);
    EXPECT_TRUE(scene.Board().IsEmpty());

    // The second paste does nothing.
    fs::remove(scene.to / "a.jpg");
    const FilePasteResult again = PasteFilesFromClipboard(scene.to);
    EXPECT_EQ(again.pasted, 0);
    EXPECT_FALSE(fs::exists(scene.to / "a.jpg"));
    EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::Hdrop), 0u);
  }
}

TEST(Clipboard, AnotherProgramsListIsCutOnlyWhenItSaysSo) {
  const struct {
    const char* target;
    std::string prefix;
    FileTransferMode mode;
  } cases[] = {
      {"text/uri-list", "", FileTransferMode::Copy},
      {"x-special/gnome-copied-files", "copy\n", FileTransferMode::Copy},
      {"x-special/gnome-copied-files", "cut\n", FileTransferMode::Move},
  };
  for (const auto& c : cases) {
    FileScene scene;
    scene.Board().OfferFromOtherProgram({{c.target, TextBytes(c.prefix + MakeFileUri(scene.sources[0]) +
                                                              "\n" + MakeFileUri(scene.sources[1]))}});
    Bytes block;
    ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::Hdrop, block), 1) << c.target;
    Paths listed;
    ASSERT_EQ(ReadDropFilesBlock(block, listed), 1);
    EXPECT_EQ(listed, scene.sources);
    const FilePasteResult paste = PasteFilesFromClipboard(scene.to);
    EXPECT_EQ(paste.mode, c.mode) << c.target << c.prefix;
    EXPECT_EQ(Read(scene.to / "a.jpg"), "A");
    EXPECT_EQ(fs::exists(scene.sources[0]), c.mode == FileTransferMode::Copy);
    EXPECT_TRUE(scene.Board().IsEmpty());
  }
}

TEST(Clipboard, AMalformedListIsRefusedAndLeftAlone) {
  FileScene scene;
  for (const std::string_view list :
       {"http://example.org/a.jpg", "file://elsewhere/tmp/a.jpg", "file:///tmp/a%00.jpg",
        "file:///tmp/a%0D.jpg", "file:///tmp/a\x7F.jpg"}) {
    const std::string good = MakeFileUri(scene.sources[0]) + "\r\n";
    scene.Board().OfferFromOtherProgram({{"text/uri-list", TextBytes(good + std::string(list))}});
    EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::Hdrop), 0u) << list;
    EXPECT_EQ(PasteFilesFromClipboard(scene.to).pasted, 0) << list;
    EXPECT_FALSE(scene.Board().IsEmpty());
  }
  EXPECT_FALSE(fs::exists(scene.to / "a.jpg"));
  // Nor does the program put a list on the clipboard that would not read back.
  EXPECT_EQ(CopyFilesToClipboard(std::u16string(u"relative/a.jpg\0\0", 16), true), 0);
  EXPECT_EQ(CopyFilesToClipboard(std::u16string(u"\0\0", 2), true), 0);
}

TEST(Clipboard, ATakenNameIsReplacedOnlyWhenTheCallerSaysSo) {
  for (const bool answer : {false, true}) {
    FileScene scene;
    Write(scene.to / "a.jpg", "old");
    ASSERT_EQ(CopyFilesToClipboard(MakeFileList(scene.sources), false), 1);
    std::vector<FileConflict> asked;
    const FilePasteResult paste = PasteFilesFromClipboard(scene.to, [&](const FileConflict& conflict) {
      asked.push_back(conflict);
      return answer;
    });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].target, scene.to / "a.jpg");
    EXPECT_EQ(Read(scene.to / "a.jpg"), answer ? "A" : "old");
    EXPECT_EQ(paste.report.kept.size(), answer ? 0u : 1u);
    EXPECT_EQ(fs::exists(scene.sources[0]), !answer);
    EXPECT_FALSE(fs::exists(scene.sources[1]));
  }
}

TEST(Clipboard, TextAndRawBlocks) {
  CHeadlessHost host;
  const Bytes unicode = {'H', 0, 0xE9, 0, 0x2D, 0x4E, 0, 0, 'x', 0};  // "Hé中", a zero, more
  ASSERT_EQ(WriteClipboardBytes(ClipboardFormat::UnicodeText, unicode), 1);
  Bytes bytes;
  ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::Text, bytes), 1);
  EXPECT_EQ(bytes, (Bytes{'H', 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0}));
  ASSERT_EQ(ReadClipboardBytes(ClipboardFormat::UnicodeText, bytes), 1);
  EXPECT_EQ(bytes, Bytes(unicode.begin(), unicode.begin() + 8));
  EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::Hdrop), 0u);

  // A format the clipboard does not hold reads as nothing.
  bytes = {9};
  EXPECT_EQ(ReadClipboardBytes(ClipboardFormat::Dib, bytes), 0);
  EXPECT_EQ(ReadClipboardBytes(ClipboardFormat::DibV5, bytes), 0);
  EXPECT_EQ(bytes, Bytes{9});

  // Raw bytes of a format only this program knows read back as written.
  ASSERT_EQ(WriteClipboardBytes(ClipboardFormat::DibV5, Bytes{1, 2, 3}), 1);
  EXPECT_EQ(GetClipboardDataSize(ClipboardFormat::DibV5), 3u);
  EXPECT_TRUE(host.Clipboard()->TargetsSeenByOtherProgram().empty());
  // A bitmap that does not read is not stored.
  EXPECT_EQ(WriteClipboardBytes(ClipboardFormat::Dib, Bytes(40, 0)), 0);
}

TEST(ClipboardBlocks, AFileListBlockIsCheckedBeforeItIsRead) {
  const fs::path a = "/tmp/a.jpg";
  const Bytes good = MakeDropFilesBlock(MakeFileList(Paths{a, "/tmp/b"}));
  const auto with = [&](std::size_t at, std::uint32_t value) {
    Bytes block = good;
    StoreLE32(&block[at], value);
    return block;
  };
  Bytes unterminated = MakeDropFilesBlock(u"/tmp/a.jpg");
  unterminated.resize(unterminated.size() - 8);
  Bytes oddEnd = unterminated;
  oddEnd.push_back('x');
  const struct {
    const char* name;
    Bytes block;
    Paths paths;
  } cases[] = {
      {"whole", good, {a, "/tmp/b"}},
      {"an offset past the header", with(0, 28), {"/a.jpg", "/tmp/b"}},
      {"without its double zero", unterminated, {a}},
      {"an odd last byte", oddEnd, {a}},
      {"short", Bytes(good.begin(), good.begin() + 19), {}},
      {"the offset inside the header", with(0, 19), {}},
      {"the offset past the end", with(0, static_cast<std::uint32_t>(good.size() + 1)), {}},
      {"the offset far out", with(0, 0xFFFFFFF0u), {}},
      {"8-bit characters", with(16, 0), {}},
      {"no path", MakeDropFilesBlock(std::u16string(2, u'\0')), {}},
      {"a relative path", MakeDropFilesBlock(std::u16string(u"tmp/a\0\0", 7)), {}},
  };
  for (const auto& c : cases) {
    Paths paths{"/left/over"};
    EXPECT_EQ(ReadDropFilesBlock(c.block, paths), c.paths.empty() ? 0 : 1) << c.name;
    EXPECT_EQ(paths, c.paths) << c.name;
  }
}

TEST(ClipboardBlocks, BitmapsOfEitherRowOrderAnd24Bits) {
  const CBgraImage picture = Picture(3, 2);
  Bytes dib = MakeDibBlock(picture);
  CBgraImage read;
  ASSERT_EQ(ReadDibBlock(dib, read), 1);
  EXPECT_TRUE(SamePixels(read, picture));
  // Top-down: the same rows, negative height, read the right way up.
  Bytes topDown(dib.begin(), dib.begin() + 40);
  StoreLE32(&topDown[8], static_cast<std::uint32_t>(-2));
  topDown.insert(topDown.end(), picture.Row(0), picture.Row(0) + 24);
  ASSERT_EQ(ReadDibBlock(topDown, read), 1);
  EXPECT_TRUE(SamePixels(read, picture));
  // 24 bits: rows padded to 4 bytes, alpha 255.
  Bytes rgb(dib.begin(), dib.begin() + 40);
  StoreLE16(&rgb[14], 24);
  for (std::uint32_t y = 2; y-- > 0;) {
    for (std::uint32_t x = 0; x < 3; ++x) rgb.insert(rgb.end(), picture.At(x, y), picture.At(x, y) + 3);
    rgb.insert(rgb.end(), 3, 0);
  }
  ASSERT_EQ(ReadDibBlock(rgb, read), 1);
  EXPECT_EQ(read.At(2, 1)[2], picture.At(2, 1)[2]);
  EXPECT_EQ(read.At(2, 1)[3], 255);
  // Refused: short rows, compression, other bit counts, huge sides.
  const auto changed = [&](std::size_t at, std::uint32_t value, bool wide) {
    Bytes block = dib;
    if (wide) {
      StoreLE32(&block[at], value);
    } else {
      StoreLE16(&block[at], static_cast<std::uint16_t>(value));
    }
    return block;
  };
  const Bytes refused[] = {
      Bytes(dib.begin(), dib.end() - 1),
      changed(16, 3, true),
      changed(14, 16, false),
      changed(12, 2, false),
      changed(4, 0, true),
      changed(8, 0, true),
      changed(8, 0x80000000u, true),
      changed(4, 0x7FFFFFFF, true),
      changed(0, 0xFFFFFFF0u, true),
  };
  for (const Bytes& block : refused) EXPECT_EQ(ReadDibBlock(block, read), 0);
}

}  // namespace
