#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <vector>

#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecMemStream.h"

namespace {

std::vector<std::uint8_t> Iota(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

// ---- Memory stream ------------------------------------------------------------

TEST(CodecMemStream, GrowsByDoublingFromWholeSteps) {
  CCodecMemStream stream;
  EXPECT_EQ(stream.Capacity(), 0u);
  const std::uint8_t byte = 7;
  ASSERT_EQ(stream.Write(&byte, 1, 1), 1u);
  EXPECT_EQ(stream.Capacity(), 4096u);

  // A 10000-byte result written in 4096-byte chunks: 4096, 8192, then doubled.
  CCodecMemStream chunks;
  const auto data = Iota(10000);
  std::vector<std::uint32_t> capacities;
  for (std::size_t at = 0; at < data.size(); at += 4096) {
    const std::size_t n = std::min<std::size_t>(4096, data.size() - at);
    ASSERT_EQ(chunks.Write(data.data() + at, 1, n), n);
    capacities.push_back(chunks.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<std::uint32_t>{4096, 8192, 16384}));
  EXPECT_EQ(chunks.Size(), 10000);
  EXPECT_EQ(chunks.Tell(), 10000);

  // One large write goes straight to the next whole step above it.
  CCodecMemStream large;
  ASSERT_EQ(large.Write(data.data(), 1, 9000), 9000u);
  EXPECT_EQ(large.Capacity(), 12288u);

  ASSERT_TRUE(chunks.Seek(0, CCodecStream::kFromStart));
  std::vector<std::uint8_t> back(10000);
  EXPECT_EQ(chunks.Read(back.data(), 100, 100), 100u);
  EXPECT_EQ(back, data);
}

TEST(CodecMemStream, PartialLastItemIsReadButNotCounted) {
  const auto data = Iota(14);
  CCodecMemStream stream(data);
  ASSERT_TRUE(stream.Seek(4, CCodecStream::kFromStart));
  std::array<std::uint8_t, 12> out{};
  EXPECT_EQ(stream.Read(out.data(), 4, 3), 2u);  // 10 bytes left
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(out[i], data[4 + i]);
  EXPECT_EQ(out[10], 0);
  EXPECT_EQ(stream.Tell(), 14);
  EXPECT_TRUE(stream.Eof());
  EXPECT_EQ(stream.Error(), 0);  // a short read is not an error
  EXPECT_EQ(stream.Read(out.data(), 1, 1), 0u);
  EXPECT_EQ(stream.Read(out.data(), 0, 5), 0u);
}

TEST(CodecMemStream, SeekOrigins) {
  const auto data = Iota(10);
  CCodecMemStream stream(data);
  struct Case {
    std::int32_t offset, origin;
    bool ok;
    std::int32_t position;
  };
  const Case cases[] = {
      {-1, CCodecStream::kFromStart, false, 0},
      {3, CCodecStream::kFromStart, true, 3},
      {2, CCodecStream::kFromCurrent, true, 5},
      {-6, CCodecStream::kFromCurrent, false, 5},
      {-4, CCodecStream::kFromEnd, true, 6},
      {-11, CCodecStream::kFromEnd, false, 6},
      {0, 3, false, 6},
      {0, -1, false, 6},
      {INT32_MAX, CCodecStream::kFromStart, true, INT32_MAX},
      {1, CCodecStream::kFromCurrent, false, INT32_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stream.Seek(c.offset, c.origin), c.ok) << c.offset << " from " << c.origin;
    EXPECT_EQ(stream.Tell(), c.position) << c.offset << " from " << c.origin;
  }
}

TEST(CodecMemStream, SeekPastTheEndIsAllowedAndReportedByError) {
  const auto data = Iota(10);
  CCodecMemStream stream(data);
  ASSERT_TRUE(stream.Seek(100, CCodecStream::kFromStart));
  EXPECT_TRUE(stream.Eof());
  EXPECT_EQ(stream.Error(), 1);
  std::uint8_t byte = 0;
  EXPECT_EQ(stream.Read(&byte, 1, 1), 0u);
  EXPECT_EQ(stream.GetC(), -1);
  EXPECT_EQ(stream.Size(), 10);
}

TEST(CodecMemStream, WriteAfterSeekPastTheEndLeavesZerosInTheGap) {
  CCodecMemStream stream;
  ASSERT_EQ(stream.Write("ab", 1, 2), 2u);
  ASSERT_TRUE(stream.Seek(6, CCodecStream::kFromStart));
  ASSERT_TRUE(stream.PutC('z'));
  const auto bytes = stream.Bytes();
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
            (std::vector<std::uint8_t>{'a', 'b', 0, 0, 0, 0, 'z'}));
  EXPECT_EQ(stream.Error(), 0);
}

TEST(CodecMemStream, GetCAndPutC) {
  const std::uint8_t one = 1;
  CCodecMemStream empty(std::span<const std::uint8_t>(&one, 0));
  EXPECT_EQ(empty.GetC(), -1);

  CCodecMemStream stream;
  EXPECT_EQ(stream.GetC(), -1);
  for (int c : {0, 200, 255}) ASSERT_TRUE(stream.PutC(static_cast<std::uint8_t>(c)));
  ASSERT_TRUE(stream.Seek(0, CCodecStream::kFromStart));
  EXPECT_EQ(stream.GetC(), 0);
  EXPECT_EQ(stream.GetC(), 200);
  EXPECT_EQ(stream.GetC(), 255);
  EXPECT_EQ(stream.GetC(), -1);
}

TEST(CodecMemStream, CallersBlockIsNeitherWrittenNorFreed) {
  // A vector's storage: freeing or reallocating it would trip the sanitizer.
  std::vector<std::uint8_t> caller = Iota(6);
  const std::vector<std::uint8_t> original = caller;
  {
    CCodecMemStream stream(caller);
    ASSERT_TRUE(stream.Seek(2, CCodecStream::kFromStart));
    ASSERT_EQ(stream.Write("XY", 1, 2), 2u);
    EXPECT_EQ(stream.Size(), 6);
    const auto bytes = stream.Bytes();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
              (std::vector<std::uint8_t>{1, 2, 'X', 'Y', 5, 6}));
    EXPECT_TRUE(stream.Close());
    // Closing frees only the stream's own copy.
    EXPECT_EQ(stream.Size(), -1);
  }
  {
    CCodecMemStream reader(caller);
    EXPECT_TRUE(reader.Close());  // not the stream's block: still readable
    EXPECT_EQ(reader.GetC(), 1);
  }
  EXPECT_EQ(caller, original);
}

TEST(CodecMemStream, TakeBufferHandsOverTheWrittenBytes) {
  CCodecMemStream stream;
  ASSERT_EQ(stream.Write("tessera", 1, 7), 7u);
  std::uint32_t size = 0;
  PixelBlock block = stream.TakeBuffer(size);
  ASSERT_TRUE(block);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.get()), size), "tessera");
  EXPECT_EQ(stream.Size(), -1);

  const auto data = Iota(4);
  CCodecMemStream borrowed(data);
  EXPECT_FALSE(borrowed.TakeBuffer(size));
  EXPECT_EQ(size, 0u);
}

TEST(CodecMemStream, WritePastThePositionLimitFailsAndChangesNothing) {
  CCodecMemStream stream;
  ASSERT_EQ(stream.Write("abc", 1, 3), 3u);
  ASSERT_TRUE(stream.Seek(INT32_MAX - 2, CCodecStream::kFromStart));
  EXPECT_EQ(stream.Write("wxyz", 1, 4), 0u);
  EXPECT_EQ(stream.Size(), 3);
  EXPECT_EQ(stream.Tell(), INT32_MAX - 2);
  EXPECT_EQ(stream.Capacity(), 4096u);
}

TEST(CodecMemStream, WithoutABlockEveryOperationFails) {
  CCodecMemStream none(std::span<const std::uint8_t>{});
  std::uint8_t byte = 0;
  EXPECT_EQ(none.Read(&byte, 1, 1), 0u);
  EXPECT_EQ(none.Write(&byte, 1, 1), 0u);
  EXPECT_FALSE(none.Seek(0, CCodecStream::kFromStart));
  EXPECT_EQ(none.Tell(), -1);
  EXPECT_EQ(none.Size(), -1);
  EXPECT_FALSE(none.Flush());
  EXPECT_TRUE(none.Eof());
  EXPECT_EQ(none.Error(), -1);
  EXPECT_FALSE(none.PutC(1));
  EXPECT_EQ(none.GetC(), -1);
  EXPECT_TRUE(none.Close());

  CCodecMemStream writer;
  EXPECT_EQ(writer.Write(nullptr, 1, 1), 0u);
  EXPECT_EQ(writer.Write(&byte, 0, 1), 0u);
  EXPECT_EQ(writer.Size(), 0);
}

// ---- File stream --------------------------------------------------------------

struct TempFile {
  std::FILE* file = std::tmpfile();
  ~TempFile() {
    if (file) std::fclose(file);
  }
};

TEST(CodecFileStream, ReadsWritesAndSeeksTheCallersFile) {
  TempFile temp;
  ASSERT_NE(temp.file, nullptr);
  CCodecFileStream stream(temp.file);
  const auto data = Iota(10);
  ASSERT_EQ(stream.Write(data.data(), 5, 2), 2u);
  ASSERT_TRUE(stream.PutC(0xEE));
  EXPECT_EQ(stream.Tell(), 11);
  ASSERT_TRUE(stream.Seek(4, CCodecStream::kFromStart));
  EXPECT_EQ(stream.Size(), 11);
  EXPECT_EQ(stream.Tell(), 4);  // Size leaves the position alone
  std::array<std::uint8_t, 8> out{};
  EXPECT_EQ(stream.Read(out.data(), 4, 2), 1u);  // 7 bytes left: one whole item
  EXPECT_EQ(out[0], 5);
  EXPECT_TRUE(stream.Eof());
  EXPECT_EQ(stream.Error(), 0);
  ASSERT_TRUE(stream.Seek(-1, CCodecStream::kFromEnd));
  EXPECT_EQ(stream.GetC(), 0xEE);
  EXPECT_EQ(stream.GetC(), -1);
  EXPECT_FALSE(stream.Seek(0, 7));
  EXPECT_FALSE(stream.Seek(-1, CCodecStream::kFromStart));
  EXPECT_TRUE(stream.Flush());
}

TEST(CodecFileStream, NeverClosesTheFile) {
  TempFile temp;
  ASSERT_NE(temp.file, nullptr);
  {
    CCodecFileStream stream(temp.file);
    ASSERT_TRUE(stream.PutC('a'));
    EXPECT_TRUE(stream.Close());
    ASSERT_TRUE(stream.PutC('b'));
  }
  // Still open and usable by its creator.
  ASSERT_EQ(std::fputc('c', temp.file), 'c');
  std::rewind(temp.file);
  char text[4] = {};
  EXPECT_EQ(std::fread(text, 1, 3, temp.file), 3u);
  EXPECT_STREQ(text, "abc");
}

TEST(CodecFileStream, WithoutAFile) {
  CCodecFileStream stream(nullptr);
  std::uint8_t byte = 0;
  EXPECT_TRUE(stream.Close());
  EXPECT_EQ(stream.Read(&byte, 1, 1), 0u);
  EXPECT_EQ(stream.Write(&byte, 1, 1), 0u);
  EXPECT_FALSE(stream.Seek(0, CCodecStream::kFromStart));
  EXPECT_EQ(stream.Tell(), 0);
  EXPECT_EQ(stream.Size(), -1);
  EXPECT_FALSE(stream.Flush());
  EXPECT_TRUE(stream.Eof());
  EXPECT_EQ(stream.Error(), -1);
  EXPECT_FALSE(stream.PutC(1));
  EXPECT_EQ(stream.GetC(), -1);
}

}  // namespace
