#include "document/DocHistory.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>

#include "document/BFDoc.h"
#include "document/DocHeader.h"
#include "document/HistoryListener.h"
#include "document/HistoryWindow.h"
#include "document/LayerRecord.h"
#include "image/BgraImage16.h"
#include "image/PackedRecords.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

// The progress indicator around a payload write.
class ProgressShown {
public:
  explicit ProgressShown(IHistoryWindow* window) : m_window(window) {
    if (m_window) m_window->ShowProgress();
  }
  ~ProgressShown() {
    if (m_window) m_window->HideProgress();
  }
  ProgressShown(const ProgressShown&) = delete;
  ProgressShown& operator=(const ProgressShown&) = delete;

private:
  IHistoryWindow* m_window;
};

// The frame lock around a replay.
class FramesLocked {
public:
  explicit FramesLocked(IHistoryWindow* window) : m_window(window) {
    if (m_window) m_window->LockFrames();
  }
  ~FramesLocked() {
    if (m_window) m_window->UnlockFrames();
  }
  FramesLocked(const FramesLocked&) = delete;
  FramesLocked& operator=(const FramesLocked&) = delete;

private:
  IHistoryWindow* m_window;
};

bool KnownType(std::uint8_t type) {
  return type == kStepLayer || type == kStepRegion || type == kStepLayerList || type == kStepDocument;
}

Rect Normalised(const Rect& r) {
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
          std::max(r.top, r.bottom)};
}

// The rectangle normalised and cut to an image; empty when nothing is left.
Rect CutToImage(const Rect& rectangle, const CBgraImage16& image) {
  const Rect r = Normalised(rectangle);
  if (image.IsEmpty()) return {};
  const std::int64_t w = image.width, h = image.height;
  Rect cut{static_cast<std::int32_t>(std::clamp<std::int64_t>(r.left, 0, w)),
           static_cast<std::int32_t>(std::clamp<std::int64_t>(r.top, 0, h)),
           static_cast<std::int32_t>(std::clamp<std::int64_t>(r.right, 0, w)),
           static_cast<std::int32_t>(std::clamp<std::int64_t>(r.bottom, 0, h))};
  return cut.IsEmpty() ? Rect{} : cut;
}

}  // namespace

bool CDocHistory::Open(CBFDoc& document, const HistoryFileMaker& makeFile) {
  std::filesystem::path path;
  if (!makeFile || !makeFile(path, kFilePrefix) || path.empty()) return false;
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Create)) return false;
  file.Close();
  m_filePath = path;
  m_document = &document;
  m_steps.clear();
  m_currentStep = -1;
  m_changedArea = 0;
  m_savedStep = 0;
  m_savedDropped = false;
  return true;
}

bool CDocHistory::CheckAdoptable(const std::filesystem::path& file, std::span<const HistoryStep> steps) {
  if (steps.empty() || steps.front().type != kStepDocument) return false;
  std::error_code error;
  // Not through a link: only a file of its own is taken over.
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error))) return false;
  const std::uintmax_t fileSize = std::filesystem::file_size(file, error);
  if (error) return false;
  for (const HistoryStep& step : steps) {
    if (!KnownType(step.type) || step.size == 0 || step.offset > HistoryStep::kMaxOffset ||
        step.size > HistoryStep::kMaxSize || step.offset + step.size > fileSize) {
      return false;
    }
  }
  return true;
}

bool CDocHistory::AdoptSteps(CBFDoc& document, const std::filesystem::path& file,
                             std::vector<HistoryStep> steps, const HistoryFileMaker& makeFile) {
  if (!makeFile || !CheckAdoptable(file, steps)) return false;
  std::error_code error;
  std::filesystem::path taken;
  if (!makeFile(taken, kFilePrefix) || taken.empty()) return false;
  std::filesystem::rename(file, taken, error);
  if (error) {
    std::filesystem::remove(taken, error);
    return false;
  }
  m_filePath = taken;
  m_document = &document;
  m_steps = std::move(steps);
  m_currentStep = -1;
  m_changedArea = 0;
  m_savedStep = 0;
  m_savedDropped = true;
  if (!GoToStep(StepCount() - 1, false)) return false;
  // A snapshot's replay keeps the document's path; the document's own is
  // the one its newest snapshot holds.
  for (auto it = m_steps.rbegin(); it != m_steps.rend(); ++it) {
    if (it->type != kStepDocument) continue;
    CFile stream;
    std::array<std::uint8_t, DocHeader::kSize + CBFDoc::kPathLength * 2> head{};
    if (stream.Open(m_filePath, CFile::OpenMode::Read) &&
        stream.Seek(static_cast<std::int64_t>(it->offset), CFile::SeekOrigin::Begin) &&
        stream.ReadExact(head.data(), head.size())) {
      std::array<char16_t, CBFDoc::kPathLength> path{};
      for (std::size_t i = 0; i < path.size(); ++i) path[i] = LoadLE16(&head[DocHeader::kSize + 2 * i]);
      document.SetPath(std::u16string_view(path.data(), BoundedLength(path)));
    }
    break;
  }
  return true;
}

double CDocHistory::DocumentArea() const {
  return m_document ? static_cast<double>(m_document->m_width) * m_document->m_height : 0;
}

bool CDocHistory::AddStep(HistoryStepType type, int layerIndex, std::u16string_view name, StepBlock block,
                          std::uint16_t stepType, std::span<const std::uint8_t> params) {
  if (!m_document || m_filePath.empty() || !KnownType(type)) return false;
  if (type == kStepRegion && params.size() < HistoryStep::kRectangleBytes) return false;
  const bool replayable = block == StepBlock::Replayable;
  if (replayable && params.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return false;

  const bool snapshot = m_steps.empty() || (type == kStepLayer &&
                                            (m_document->LayerCount() == 1 || m_changedArea > kSnapshotArea));
  CFile file;
  if (!file.Open(m_filePath, CFile::OpenMode::ReadWrite)) return false;

  HistoryStep step;
  step.type = snapshot ? kStepDocument : type;
  if (replayable) {
    step.replayable = 1;
    step.stepType = stepType;
    step.paramSize = static_cast<std::int32_t>(params.size());
    if (params.size() <= HistoryStep::kInlineParams) {
      std::copy(params.begin(), params.end(), step.params.begin());
    } else {
      try {
        step.heapParams = std::make_shared<const std::vector<std::uint8_t>>(params.begin(), params.end());
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
  }
  CopyTextTruncated(step.name, name.substr(0, name.find(u'\0')));
  if (layerIndex == -1) layerIndex = m_document->m_currentLayer;
  step.layerIndex = static_cast<std::uint8_t>(layerIndex);

  // The payload follows the current step's; later steps are dropped, their
  // bytes about to be overwritten.
  std::uint64_t position = 0;
  const bool hasCurrent = m_currentStep >= 0 && m_currentStep < StepCount();
  if (hasCurrent) {
    const HistoryStep& current = m_steps[static_cast<std::size_t>(m_currentStep)];
    position = current.offset + current.size;
  }
  if (position > HistoryStep::kMaxOffset ||
      !file.Seek(static_cast<std::int64_t>(position), CFile::SeekOrigin::Begin)) {
    return false;
  }
  const std::size_t kept = hasCurrent ? static_cast<std::size_t>(m_currentStep) + 1 : 0;
  if (m_savedStep >= 0 && static_cast<std::size_t>(m_savedStep) >= kept && m_savedStep < StepCount())
    m_savedDropped = true;
  m_steps.resize(kept);

  std::uint64_t size = 0;
  double area = 0;
  {
    ProgressShown progress(m_window);
    std::lock_guard guard(m_document->m_lock);
    const double documentArea = DocumentArea();
    CBFLayer* layer = m_document->GetLayer(layerIndex);
    switch (step.type) {
      case kStepLayer:
        if (layer) {
          step.layerId = layer->m_id;
          size = WritePixels(file, *layer, Rect{});
          if (documentArea > 0) area = static_cast<double>(layer->m_image.pixelCount) / documentArea;
        }
        break;
      case kStepRegion: {
        std::copy_n(params.begin(), HistoryStep::kRectangleBytes, step.params.begin());
        step.stepType = stepType;
        const Rect r = step.Rectangle();
        if (layer) {
          step.layerId = layer->m_id;
          size = WritePixels(file, *layer, r);
          // A reversed rectangle counts its real size.
          const double changed =
              std::fabs((static_cast<double>(r.bottom) - r.top) * (static_cast<double>(r.right) - r.left));
          if (documentArea > 0) area = changed / documentArea;
        }
        break;
      }
      case kStepLayerList:
        size = WriteLayerList(file);
        break;
      default: {
        const std::int64_t start = file.GetPosition();
        if (start >= 0 && m_document->Serialize(file, 0, 0)) {
          const std::int64_t end = file.GetPosition();
          if (end > start) size = static_cast<std::uint64_t>(end - start);
        }
        break;
      }
    }
    file.Close();
  }

  if (size == 0 || size > HistoryStep::kMaxSize) return false;
  step.offset = position;
  step.size = size;
  try {
    m_steps.push_back(std::move(step));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (m_steps.back().type == kStepDocument) {
    m_changedArea = 0;
  } else {
    m_changedArea += area;
  }
  m_currentStep = StepCount() - 1;
  if (m_currentStep >= 1 && m_listener) m_listener->OnRecoveryIndexDue(*this);
  NotifyChanged();
  return true;
}

std::uint64_t CDocHistory::WritePixels(CFile& stream, CBFLayer& layer, const Rect& rectangle) const {
  const std::int64_t start = stream.GetPosition();
  if (start < 0) return 0;
  if (rectangle.left == rectangle.right || rectangle.top == rectangle.bottom) {
    if (!layer.Serialize(stream, 0)) return 0;
  } else {
    CBgraImage16 pixels;
    {
      std::lock_guard guard(layer.m_lock);
      const Rect cut = CutToImage(rectangle, layer.m_image);
      if (cut.IsEmpty() ||
          !pixels.Create(static_cast<std::uint32_t>(cut.Width()), static_cast<std::uint32_t>(cut.Height()))) {
        return 0;
      }
      for (std::uint32_t row = 0; row < pixels.height; ++row) {
        std::memcpy(
            pixels.Row(row),
            layer.m_image.At(static_cast<std::uint32_t>(cut.left), static_cast<std::uint32_t>(cut.top) + row),
            std::size_t{pixels.width} * CBgraImage16::kBytesPerPixel);
      }
    }
    if (!WritePackedImage16(pixels, stream)) return 0;
  }
  const std::int64_t end = stream.GetPosition();
  return end > start ? static_cast<std::uint64_t>(end - start) : 0;
}

bool CDocHistory::RestorePixels(CFile& stream, std::int32_t layerId, const Rect& rectangle) {
  if (!m_document) return false;
  CBFLayer* layer = nullptr;
  for (const auto& candidate : m_document->m_layers) {
    if (candidate->m_id == layerId) {
      layer = candidate.get();
      break;
    }
  }
  if (!layer) return false;
  if (rectangle.left == rectangle.right || rectangle.top == rectangle.bottom)
    return layer->Serialize(stream, 1);

  CBgraImage16 pixels;
  if (!ReadPackedImage16(stream, pixels)) return false;
  std::lock_guard documentGuard(m_document->m_lock);
  std::lock_guard layerGuard(layer->m_lock);
  const Rect cut = CutToImage(rectangle, layer->m_image);
  const std::uint32_t width = std::min(static_cast<std::uint32_t>(cut.Width()), pixels.width);
  const std::uint32_t height = std::min(static_cast<std::uint32_t>(cut.Height()), pixels.height);
  for (std::uint32_t row = 0; row < height; ++row) {
    std::memcpy(
        layer->m_image.At(static_cast<std::uint32_t>(cut.left), static_cast<std::uint32_t>(cut.top) + row),
        pixels.Row(row), std::size_t{width} * CBgraImage16::kBytesPerPixel);
  }
  return true;
}

std::uint64_t CDocHistory::WriteLayerList(CFile& stream) const {
  if (!m_document) return 0;
  const CBFDoc& doc = *m_document;
  // A list that could not be read back is not written.
  if (doc.m_layers.empty() || doc.m_layers.size() > CBFDoc::kMaxLayers) return 0;
  if (doc.m_currentLayer < 0 || doc.m_currentLayer >= doc.LayerCount()) return 0;
  ByteWriter out;
  out.U16(static_cast<std::uint16_t>(doc.m_layers.size()));
  out.U16(static_cast<std::uint16_t>(doc.m_currentLayer));
  for (const auto& layer : doc.m_layers) {
    LayerRecord record;
    if (!LayerRecord::FromLayer(*layer, record)) return 0;
    std::array<std::uint8_t, LayerRecord::kSize> bytes;
    record.Encode(bytes);
    out.Bytes(bytes);
  }
  return stream.Write(out.bytes()) ? out.size() : 0;
}

bool CDocHistory::ReadLayerList(CFile& stream) {
  if (!m_document) return false;
  CBFDoc& doc = *m_document;
  std::uint8_t head[4];
  if (!stream.ReadExact(head, 4)) return false;
  const std::uint32_t count = LoadLE16(head), current = LoadLE16(head + 2);
  if (count != doc.m_layers.size() || current >= count) return false;
  std::vector<LayerRecord> records(count);
  for (LayerRecord& record : records) {
    std::array<std::uint8_t, LayerRecord::kSize> bytes;
    if (!stream.ReadExact(bytes.data(), bytes.size()) || !LayerRecord::Decode(bytes, record)) return false;
  }
  std::lock_guard guard(doc.m_lock);
  doc.m_currentLayer = static_cast<std::int32_t>(current);
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::lock_guard layerGuard(doc.m_layers[i]->m_lock);
    records[i].ApplyProperties(*doc.m_layers[i]);
  }
  return true;
}

bool CDocHistory::ReplayStep(int index) {
  if (!m_document || index < 0 || index >= StepCount()) return false;
  const HistoryStep& step = m_steps[static_cast<std::size_t>(index)];
  CFile file;
  if (!file.Open(m_filePath, CFile::OpenMode::Read)) return false;
  if (step.offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) ||
      !file.Seek(static_cast<std::int64_t>(step.offset), CFile::SeekOrigin::Begin)) {
    return false;
  }
  bool replayed = false;
  {
    FramesLocked frames(m_window);
    switch (step.type) {
      case kStepLayer:
        replayed = RestorePixels(file, step.layerId, Rect{});
        break;
      case kStepRegion:
        replayed = RestorePixels(file, step.layerId, step.Rectangle());
        break;
      case kStepLayerList:
        replayed = ReadLayerList(file);
        break;
      case kStepDocument:
        replayed = m_document->Serialize(file, 1, 0) != 0;
        break;
      default:
        break;
    }
  }
  file.Close();
  if (replayed) m_currentStep = index;
  return replayed;
}

bool CDocHistory::GoToStep(int index, bool skipIfCurrent) {
  if (!m_document || index < 0 || index >= StepCount()) return false;
  const std::uint32_t width = m_document->m_width, height = m_document->m_height;
  if (index == m_currentStep && skipIfCurrent) return true;

  int first = 0;
  if (m_currentStep >= 0 && index > m_currentStep) {
    first = m_currentStep + 1;
  } else {
    first = index;
    while (first > 0 && m_steps[static_cast<std::size_t>(first)].type != kStepDocument) --first;
    if (m_steps[static_cast<std::size_t>(first)].type != kStepDocument) return false;
  }

  bool ok = true;
  for (int i = first; i <= index && ok; ++i) ok = ReplayStep(i);
  // The selection belongs to the size it was made for, also after a replay
  // that stopped half-way.
  if (m_document->m_width != width || m_document->m_height != height) m_document->m_selection.Free();
  m_document->m_modified = 1;
  NotifyChanged();
  return ok;
}

void CDocHistory::MarkSaved() {
  m_savedStep = m_currentStep;
  m_savedDropped = false;
}

void CDocHistory::FreeSteps() { m_steps.clear(); }

void CDocHistory::Clear() {
  m_steps.clear();
  m_steps.shrink_to_fit();
}

void CDocHistory::NotifyChanged() {
  if (m_listener) m_listener->OnHistoryChanged(*this);
}
