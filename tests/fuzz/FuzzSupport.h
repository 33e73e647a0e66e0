#pragma once
// Shared by the libFuzzer targets: a per-process scratch folder for readers
// that only take a path, a reader over the fuzzer's bytes, and a check that
// turns a broken invariant into a crash libFuzzer reports.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

// The largest pixel block a target may allocate. Larger requests fail as if
// memory were exhausted (FuzzPixelLimit.cpp): a few header bytes may declare
// a picture of the size limit, and decoding it would only spend the run's
// time and memory on zeros; the failure path gets fuzzed instead.
inline constexpr std::uint64_t kFuzzMaxPixelBlock = 16ull << 20;

// A file of that name in this process's scratch folder (in /dev/shm when it
// is writable, so file round trips cost no disk), which is removed at exit.
std::filesystem::path FuzzScratchFile(std::string_view name);

// Creates or replaces the file with the bytes; aborts when it cannot, since
// every later result would be meaningless.
void WriteFuzzFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Aborts with the message when the condition is false.
void FuzzCheck(bool condition, const char* what);

// LibRaw runs its loops on OpenMP threads that spin while they wait; a
// fuzz target runs it on one (call before LibRaw's first use).
void UseOneOpenMpThread();

// Takes bytes from the front of the input; past the end every value is 0.
class FuzzBytes {
public:
  FuzzBytes(const std::uint8_t* data, std::size_t size) : m_rest(data, size) {}

  std::uint8_t U8();
  std::uint32_t U32();
  // Up to count bytes.
  std::span<const std::uint8_t> Take(std::size_t count);
  std::span<const std::uint8_t> Rest() const { return m_rest; }

private:
  std::span<const std::uint8_t> m_rest;
};
