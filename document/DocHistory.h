#pragma once
// CDocHistory: the undo history of one edit page's document. The steps live
// in memory; their payloads are concatenated in one temporary file of this
// run. A step stores the state after an edit: a layers-only snapshot of the
// document (type 255), one whole layer (12), one rectangle of a layer (13)
// or the properties of every layer (32). Going to a step goes back to the
// nearest snapshot at or before it and replays forward from there; redo
// replays only the steps after the current one.
//
// Snapshot rule: the first step of a list is always a snapshot; a whole-layer
// step becomes one when the document has a single layer or when layer and
// rectangle steps have rewritten more than three document areas since the
// last snapshot. That bounds the cost of any undo.
//
// A new step's payload starts where the current step's payload ends, so
// recording after an undo drops the redo steps and overwrites their bytes;
// the file never shrinks. Offsets are 64-bit.
//
// UI thread only. Recording holds the document lock while it writes the
// payload, with the window's progress indicator shown; a replay holds the
// window's frame lock (then the document and layer locks) while the document
// changes. The file is opened and closed around each operation.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "document/HistoryStep.h"
#include "platform/Rect.h"

class CBFDoc;
class CBFLayer;
class CFile;
class IHistoryListener;
class IHistoryWindow;

// What AddStep's parameter block is to an automation scheme, stated by the
// caller. Only a block in its stored byte form, which refers to nothing
// outside itself, can be replayed from a scheme; a block holding addresses
// (a table, a plane, an image) would mean nothing once stored, so its step is
// never replayable and none of its bytes are kept.
enum class StepBlock : std::uint8_t {
  None,           // no block for a scheme (a type-13 step still passes its rectangle)
  Replayable,     // a self-contained block in its stored byte form
  HoldsPointers,  // a block with addresses in it: never replayable, never kept
};

// Makes a new, empty temporary file with a name unique to this run and
// process, remembered for deletion when the run ends (MakeTempFileName of the
// application). False when none can be made.
using HistoryFileMaker = std::function<bool(std::filesystem::path& path, std::u16string_view prefix)>;

class CDocHistory {
public:
  static constexpr std::u16string_view kFilePrefix = u"his";
  // Whole-layer steps since the last snapshot, in document areas, beyond
  // which the next whole-layer step is a snapshot.
  static constexpr double kSnapshotArea = 3.0;

  CDocHistory() = default;
  CDocHistory(const CDocHistory&) = delete;
  CDocHistory& operator=(const CDocHistory&) = delete;

  // Names and creates (empty) the history file and remembers the document.
  // False when the file cannot be made.
  [[nodiscard]] bool Open(CBFDoc& document, const HistoryFileMaker& makeFile);
  // Takes over a history file left by another process with its steps (read
  // from outside, so checked): the first step must be a snapshot, every
  // payload must lie inside the file. The file is renamed to a new temporary
  // name of this run (made by makeFile), the document replays up to the last
  // step and counts as changed since its save. False, with the history and
  // the file as they were, when a check fails or the file cannot be taken;
  // a replay that fails after the file was taken leaves the steps that
  // replayed.
  // The checks of AdoptSteps without taking anything: steps present, the
  // first a snapshot, every type known and every payload inside the file.
  [[nodiscard]] static bool CheckAdoptable(const std::filesystem::path& file,
                                           std::span<const HistoryStep> steps);
  [[nodiscard]] bool AdoptSteps(CBFDoc& document, const std::filesystem::path& file,
                                std::vector<HistoryStep> steps, const HistoryFileMaker& makeFile);
  // The window and the listener; either may be null (nothing is told).
  void SetWindow(IHistoryWindow* window) { m_window = window; }
  void SetListener(IHistoryListener* listener) { m_listener = listener; }

  // Records the document's state after an edit.
  //   type        a HistoryStepType (promoted to a snapshot by the rule above)
  //   layerIndex  the layer of a type 12 or 13 step; -1 the current layer
  //   name        display name (31 characters or more become 29 and "..")
  //   block       StepBlock::Replayable: params is kept with stepType and
  //               the step is replayable (HistoryStep::replayable 1); else
  //               neither is kept and replayable is 0
  //   stepType    the scheme step type, or for type 13 the tool's id
  //   params      the block in its stored byte form; for type 13 at least
  //               the 16 rectangle bytes (HistoryStep::EncodeRectangle): the
  //               rectangle of the layer whose pixels changed
  // False, with the step list unchanged but for dropped redo steps, when the
  // file cannot be written, the layer does not exist, the rectangle has no
  // pixels in the layer or the document cannot be stored.
  [[nodiscard]] bool AddStep(HistoryStepType type, int layerIndex, std::u16string_view name, StepBlock block,
                             std::uint16_t stepType, std::span<const std::uint8_t> params);

  // Undo (index currentStep - 1), redo (currentStep + 1) or a jump. Going to
  // the current step with skipIfCurrent does nothing. A size change drops
  // the selection. Marks the document modified. False for an index outside
  // the list or when a replay fails; the document then stays at the last
  // step that replayed, which becomes the current step.
  [[nodiscard]] bool GoToStep(int index, bool skipIfCurrent = true);
  // Rebuilds one step's state on top of the document.
  [[nodiscard]] bool ReplayStep(int index);

  // The payload parts, on an open, positioned stream.
  //
  // A whole layer (empty rectangle: left == right or top == bottom) or the
  // pixels of a rectangle, normalised and cut to the layer image. Returns the
  // bytes written; 0 when nothing could be written.
  [[nodiscard]] std::uint64_t WritePixels(CFile& stream, CBFLayer& layer, const Rect& rectangle) const;
  // Reads back what WritePixels wrote into the first layer with that id. The
  // rectangle is normalised and cut as it was when written, and the pixels
  // read are copied only where they fall inside it and the layer.
  [[nodiscard]] bool RestorePixels(CFile& stream, std::int32_t layerId, const Rect& rectangle);
  // u16 layer count, u16 current layer, an 80-byte LayerRecord per layer.
  [[nodiscard]] std::uint64_t WriteLayerList(CFile& stream) const;
  // Takes effect only when the whole list arrived and matches the layers.
  [[nodiscard]] bool ReadLayerList(CFile& stream);

  // Empties the list (storage kept) / empties it and releases its storage.
  // Neither touches the current step or the file.
  void FreeSteps();
  void Clear();

  // The save mark: the step that was current when the document was last
  // saved, step 0 until then (a page's first step is its opening, which is
  // what the file holds). Recording a step in place of the saved one, or of
  // one before it, drops the saved state for good: only a new save brings
  // the mark back.
  void MarkSaved();
  int SavedStep() const { return m_savedStep; }
  bool SavedStepDropped() const { return m_savedDropped; }
  // True when the document may differ from the file: the current step is
  // not the saved one, or the saved one was dropped.
  bool ChangedSinceSave() const { return m_savedDropped || m_currentStep != m_savedStep; }

  const std::vector<HistoryStep>& Steps() const { return m_steps; }
  int StepCount() const { return static_cast<int>(m_steps.size()); }
  int CurrentStep() const { return m_currentStep; }
  const std::filesystem::path& FilePath() const { return m_filePath; }
  CBFDoc* Document() const { return m_document; }
  double ChangedArea() const { return m_changedArea; }

private:
  // The document's area in pixels, 0 when it has none.
  double DocumentArea() const;
  [[nodiscard]] std::uint64_t WritePayload(CFile& stream, HistoryStep& step, int layerIndex);
  void NotifyChanged();

  std::vector<HistoryStep> m_steps;  // oldest first
  std::int32_t m_currentStep = -1;
  std::filesystem::path m_filePath;
  CBFDoc* m_document = nullptr;
  double m_changedArea = 0;
  std::int32_t m_savedStep = 0;
  bool m_savedDropped = false;
  IHistoryWindow* m_window = nullptr;
  IHistoryListener* m_listener = nullptr;
};
