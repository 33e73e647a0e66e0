#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/UriList.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(UriList, ReadsFileUrisOfThisMachine) {
  const struct {
    std::string list;
    Paths paths;
  } cases[] = {
      {"file:///home/ann/a.jpg\r\nfile:///home/ann/b.jpg\r\n", {"/home/ann/a.jpg", "/home/ann/b.jpg"}},
      {"# a comment\nfile://localhost/tmp/x\n\nFILE:///tmp/y", {"/tmp/x", "/tmp/y"}},
      {"file:///tmp/with%20space%25and%23hash/", {"/tmp/with space%and#hash"}},
      {"file:///tmp/caf%C3%A9/%E4%B8%AD.png\r\n", {"/tmp/café/中.png"}},
      {"file:///tmp/raw \xC3\xA9.png", {"/tmp/raw é.png"}},
      {std::string("file:///tmp/z\r\n\0\0", 16), {"/tmp/z"}},  // ending NULs of some programs
  };
  for (const auto& c : cases) {
    Paths paths;
    EXPECT_EQ(ParseUriList(Bytes(c.list), paths), 1) << c.list;
    EXPECT_EQ(paths, c.paths) << c.list;
  }
}

TEST(UriList, RefusesAListWithAnyBadLine) {
  const std::string refused[] = {
      "",
      "# only a comment\r\n",
      "http://example.org/a.jpg",
      "file://otherhost/tmp/a.jpg",
      "file:/tmp/a.jpg",
      "/tmp/a.jpg",
      "file:///tmp/a%00.jpg",
      "file:///tmp/a%0A.jpg",
      "file:///tmp/a%7f.jpg",
      "file:///tmp/a\x01.jpg",
      "file:///tmp/a\tb.jpg",
      std::string("file:///tmp/a\0b.jpg", 19),
      "file:///tmp/a%zz.jpg",
      "file:///tmp/a%4",
      "file:///tmp/a.jpg?x=1",
      "file:///tmp/a.jpg#top",
      "file:///tmp/../etc/passwd",
      "file:///tmp/./a.jpg",
      "file:///tmp/%2E%2E",
      "file:///tmp/bad%FF%FE.jpg",
      "file:///tmp/" + std::string(kMaxUriPathBytes, 'a'),
      "file:///tmp/good.jpg\r\nhttp://example.org/bad.jpg\r\n",
  };
  for (const std::string& list : refused) {
    Paths paths{"/left/over"};
    EXPECT_EQ(ParseUriList(Bytes(list), paths), 0) << list;
    EXPECT_TRUE(paths.empty()) << list;
  }
}

TEST(UriList, ReadsTheGnomeListWithItsAction) {
  Paths paths;
  bool cut = false;
  ASSERT_EQ(ParseGnomeCopiedFiles(Bytes("cut\nfile:///tmp/a\nfile:///tmp/b"), cut, paths), 1);
  EXPECT_TRUE(cut);
  EXPECT_EQ(paths, (Paths{"/tmp/a", "/tmp/b"}));
  ASSERT_EQ(ParseGnomeCopiedFiles(Bytes("copy\r\nfile:///tmp/c\r\n"), cut, paths), 1);
  EXPECT_FALSE(cut);
  EXPECT_EQ(paths, (Paths{"/tmp/c"}));
  for (const char* bad : {"move\nfile:///tmp/a", "cut", "cut\n", "file:///tmp/a", "copy\nsmb://host/a"}) {
    EXPECT_EQ(ParseGnomeCopiedFiles(Bytes(bad), cut, paths), 0) << bad;
  }
}

TEST(UriList, WrittenListsReadBack) {
  const Paths paths = {"/tmp/plain.jpg", "/tmp/a b/100% #1?.png", "/tmp/caf\xC3\xA9", "/"};
  EXPECT_EQ(MakeFileUri("/tmp/a b/100%"), "file:///tmp/a%20b/100%25");
  Paths back;
  ASSERT_EQ(ParseUriList(Bytes(MakeUriList(paths)), back), 1);
  EXPECT_EQ(back, paths);
  bool cut = false;
  ASSERT_EQ(ParseGnomeCopiedFiles(Bytes(MakeGnomeCopiedFiles(true, paths)), cut, back), 1);
  EXPECT_TRUE(cut);
  EXPECT_EQ(back, paths);
  EXPECT_EQ(MakeGnomeCopiedFiles(false, Paths{"/a"}), "copy\nfile:///a");
  EXPECT_EQ(MakeUriList(Paths{"/a", "/b"}), "file:///a\r\nfile:///b\r\n");
}

}  // namespace
