#pragma once
// HistoryStep: one step of a document's undo history. The step describes the
// state *after* an edit; its payload lives in the history file at offset,
// size bytes long.
//
// Stored form (the step records of the crash-recovery index), 1120 bytes,
// little-endian:
//   0    64  name, 32 UTF-16 units
//   64   4   u32 payload offset, bits 0..31
//   68   4   u32 payload size, bits 0..31
//   72   1   type (HistoryStepType)
//   73   1   layer index at recording time
//   74   2   u16 payload offset, bits 32..47 (0 below 4 GiB)
//   76   4   i32 layer id (types 12 and 13), else -1
//   80   1   replayable: 1 only for a step recorded with a self-contained
//            block (StepBlock::Replayable); a block holding addresses is
//            never kept, so its step stores 0 here and no block
//   81   1   payload size, bits 32..39 (0 below 4 GiB)
//   82   2   u16 scheme step type, or a type-13 step's tool id
//   84   1024 parameter block when it fits, zero-filled after it; a type-13
//            step's first 16 bytes are its rectangle (i32 left, top, right,
//            bottom, layer coordinates, right and bottom exclusive)
//   1108 4   i32 parameter block size (replayable steps), else 0
//   1112 8   zero: the place of the heap block's address, which never leaves
//            the process
// Only blocks the recorder declares self-contained, in their stored byte form,
// are kept (StepBlock in DocHistory.h), so no address ever reaches the
// history or the index.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Rect.h"

enum HistoryStepType : std::uint8_t {
  kStepLayer = 12,      // one whole layer (its own stored record)
  kStepRegion = 13,     // the pixels of one rectangle of a layer
  kStepLayerList = 32,  // the properties of every layer, no pixels
  kStepDocument = 255,  // a layers-only document body: a snapshot
};

struct HistoryStep {
  static constexpr std::size_t kRecordSize = 1120;
  static constexpr std::size_t kNameLength = 32;
  static constexpr std::size_t kInlineParams = 1024;
  static constexpr std::size_t kRectangleBytes = 16;
  // What the stored record can express.
  static constexpr std::uint64_t kMaxOffset = (std::uint64_t{1} << 48) - 1;
  static constexpr std::uint64_t kMaxSize = (std::uint64_t{1} << 40) - 1;

  std::array<char16_t, kNameLength> name{};  // terminated, zero after the text
  std::uint64_t offset = 0;
  std::uint64_t size = 0;  // never 0 for a step in a history
  std::uint8_t type = kStepDocument;
  std::uint8_t layerIndex = 0;
  std::int32_t layerId = -1;
  std::uint8_t replayable = 0;
  std::uint16_t stepType = 0;
  std::array<std::uint8_t, kInlineParams> params{};
  std::int32_t paramSize = 0;
  // A parameter block above kInlineParams bytes; shared by copies of the step
  // (the make-scheme dialog keeps copies), never changed once made.
  std::shared_ptr<const std::vector<std::uint8_t>> heapParams;

  std::u16string Name() const;
  // The parameter block of a replayable step: paramSize bytes, inline or on
  // the heap; empty for a step that is not replayable, whatever it holds.
  std::span<const std::uint8_t> Params() const;
  // A type-13 step's rectangle, as its recorder passed it.
  Rect Rectangle() const;

  void Encode(std::span<std::uint8_t, kRecordSize> bytes) const;
  // Reads a stored record that came from outside the process. False for a
  // name without terminator, an unknown type, a zero size, an offset or size
  // the record cannot express or a negative block size. A block above
  // kInlineParams bytes lived on the heap of the process that wrote it and
  // is gone: such a step keeps no block and is not replayable.
  [[nodiscard]] static bool Decode(std::span<const std::uint8_t, kRecordSize> bytes, HistoryStep& step);

  // The 16 bytes a type-13 step takes as its parameter block.
  static std::array<std::uint8_t, kRectangleBytes> EncodeRectangle(const Rect& rectangle);
};
