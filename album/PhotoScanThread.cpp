#include "album/PhotoScanThread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <set>
#include <system_error>
#include <utility>

#include "album/AlbumMessages.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "platform/Folder.h"
#include "platform/ThreadPriority.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "ui/SpriteMessage.h"

namespace {

// Degrees of a GPS position's degrees, minutes and seconds; a part with a
// zero denominator counts as 0.
double Degrees(const std::array<ExifRational, 3>& parts) {
  double degrees = 0;
  const double scale[3] = {1.0, 60.0, 3600.0};
  for (int i = 0; i < 3; ++i) {
    if (parts[i].denominator) degrees += double(parts[i].numerator) / parts[i].denominator / scale[i];
  }
  return degrees;
}

// The first characters of a text reduced to 7 bits, zero-terminated.
template <std::size_t N>
void CopySevenBit(std::array<char, N>& field, const OwnedText& text) {
  field.fill(0);
  if (!text) return;
  const std::size_t count = std::min(text->size(), N - 1);
  for (std::size_t i = 0; i < count; ++i) field[i] = static_cast<char>((*text)[i] & 0x7F);
}

const SystemTime* ShootingDate(const ImageInfo& info) {
  if (info.dateTimeDigitized.year != 0) return &info.dateTimeDigitized;
  if (info.dateTimeOriginal.year != 0) return &info.dateTimeOriginal;
  return nullptr;
}

// The exposure time as two 16-bit parts of the same value: reduced by their
// common divisor, then, when a part still needs more than 16 bits, both
// scaled down (a non-zero numerator stays at least 1). Keeping the low 16
// bits of each would give another time (70001/1000000 s read as 4465/16960).
std::pair<std::uint16_t, std::uint16_t> ExposureParts(ExifRational time) {
  std::uint64_t n = time.numerator, d = time.denominator;
  if (d == 0) return {0, 0};
  if (n > 0xFFFF || d > 0xFFFF) {
    const std::uint64_t common = std::gcd(n, d);
    n /= common;
    d /= common;
  }
  if (n > 0xFFFF || d > 0xFFFF) {
    const double scale = static_cast<double>(std::max(n, d)) / 0xFFFF;
    const std::uint64_t scaledN = static_cast<std::uint64_t>(std::llround(static_cast<double>(n) / scale));
    const std::uint64_t scaledD = static_cast<std::uint64_t>(std::llround(static_cast<double>(d) / scale));
    n = std::clamp<std::uint64_t>(scaledN, n > 0 ? 1 : 0, 0xFFFF);
    d = std::clamp<std::uint64_t>(scaledD, 1, 0xFFFF);
  }
  return {static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(d)};
}

using FileId = std::pair<std::uint64_t, std::uint64_t>;

bool IsDotName(const std::string& name) { return !name.empty() && name[0] == '.'; }

}  // namespace

// The records of one batch, appended to the cache when the UI thread takes
// the message; freed unappended when the queue has shut down.
class CPhotoScanThread::CBatch final : public CUiMessageData {
public:
  CBatch(CPhotoScanThread* owner, PhotoInfoCache* cache, std::vector<PhotoInfoEntry> records)
      : m_owner(owner), m_cache(cache), m_records(std::move(records)) {}

  bool Deliver() override {
    std::lock_guard guard(m_cache->lock);
    for (const PhotoInfoEntry& record : m_records) {
      if (m_cache->Append(record)) {
        ++m_owner->m_appended;
      } else {
        ++m_owner->m_dropped;
      }
    }
    return true;
  }

private:
  CPhotoScanThread* m_owner;
  PhotoInfoCache* m_cache;
  std::vector<PhotoInfoEntry> m_records;
};

CPhotoScanThread::~CPhotoScanThread() { Stop(); }

bool CPhotoScanThread::BuildPhotoInfo(const std::filesystem::path& path, PhotoInfoEntry& record) {
  PhotoInfoRecord& head = record.head;
  head = PhotoInfoRecord{};
  record.path.clear();
  record.tags.clear();
  const ImageFileType type = GetImageType(path);
  head.imageType = path.empty() ? PhotoInfoRecord::kNoImageType : static_cast<std::uint8_t>(type);
  ImageInfo info;
  if (path.empty() || !info.ReadFromFile(path) || info.width == 0 || info.height == 0) return false;

  record.path = PathToUtf16(path);
  if (info.tagsText) record.tags = info.tagsText->substr(0, kMaxTagsLength);
  // A path that leaves no room in the size word cannot be recorded; a cut
  // one would name another file.
  if (record.Length() > PhotoInfoRecord::kMaxLength) {
    record.path.clear();
    record.tags.clear();
    return false;
  }

  head.width = info.width;
  head.height = info.height;
  head.fileSize = info.fileSize;
  const bool camera = (info.model && !info.model->empty()) || (info.make && !info.make->empty()) ||
                      info.exposureTime.denominator != 0 || info.fNumber.denominator != 0;
  head.flagsAndDate = camera ? PhotoInfoRecord::kCameraDataBit : 0;
  head.pathHash = HashPhotoPath(record.path);
  const auto [exposureNumerator, exposureDenominator] = ExposureParts(info.exposureTime);
  head.exposureNumerator = exposureNumerator;
  head.exposureDenominator = exposureDenominator;
  if (info.fNumber.denominator != 0) {
    const std::uint64_t tenths = std::uint64_t{info.fNumber.numerator} * 10 / info.fNumber.denominator;
    head.fNumberX10 = static_cast<std::uint16_t>(std::min<std::uint64_t>(tenths, 0xFFFF));
  }
  std::uint8_t bits = 0;
  if (info.colorSpace != ImageInfo::kColorSpaceNone) bits |= static_cast<std::uint8_t>(info.colorSpace & 0x3);
  if (const SystemTime* date = ShootingDate(info)) {
    head.flagsAndDate |= (std::uint32_t{date->month} & 0xF) << 1;
    head.flagsAndDate |= (std::uint32_t{date->day} & 0x1F) << 5;
    head.flagsAndDate |= (std::uint32_t{date->year} & 0x3FFF) << 10;
  }
  if (info.flash >= 0) bits |= static_cast<std::uint8_t>((info.flash & 0x3) << 6);
  if (info.isoSpeed != ImageInfo::kNoIso) head.isoPer50 = static_cast<std::uint16_t>(info.isoSpeed / 50);
  if (info.meteringMode >= 0) bits |= static_cast<std::uint8_t>((info.meteringMode & 0xF) << 2);
  head.shootingBits = bits;
  head.pathBytes = static_cast<std::uint16_t>(record.path.size() * 2);
  head.tagsBytes = static_cast<std::uint16_t>(record.tags.size() * 2);
  head.sizeWord = static_cast<std::uint16_t>(record.Length() | PhotoInfoRecord::kValidBit);
  CopySevenBit(head.maker, info.make);
  CopySevenBit(head.model, info.model);
  if (info.gpsLatitudeRef != 0 && info.gpsLatitude[0].denominator > 0) {
    head.latitude = Degrees(info.gpsLatitude);
    if (info.gpsLatitudeRef == 'S') head.latitude = -head.latitude;
    // Stored catalogs and place names count east as negative.
    head.longitude = Degrees(info.gpsLongitude);
    if (info.gpsLongitudeRef == 'E') head.longitude = -head.longitude;
  }
  ++m_built;
  return true;
}

int CPhotoScanThread::Start(std::vector<std::filesystem::path> folders, IWorkerExitRegistry* registry,
                            PhotoInfoCache& cache) {
  std::lock_guard guard(m_startLock);
  if (m_running) return 0;
  if (m_thread.joinable()) m_thread.join();
  m_stop = false;
  m_finished = false;
  m_running = true;
  std::shared_ptr<CWorkerExitEvent> exit;
  if (registry) exit = registry->RegisterWorkerExitEvent([this] { RequestStop(); });
  if (!exit) exit = std::make_shared<CWorkerExitEvent>();
  try {
    m_thread = std::thread([this, folders = std::move(folders), cache = &cache, exit]() mutable {
      Run(std::move(folders), cache, exit);
    });
  } catch (const std::system_error&) {
    m_running = false;
    exit->Set();
    return 0;
  }
  return 1;
}

void CPhotoScanThread::RequestStop() { m_stop = true; }

void CPhotoScanThread::Stop() {
  RequestStop();
  std::lock_guard guard(m_startLock);
  if (m_thread.joinable()) m_thread.join();
}

void CPhotoScanThread::Run(std::vector<std::filesystem::path> folders, PhotoInfoCache* cache,
                           std::shared_ptr<CWorkerExitEvent> exit) {
  m_priorityLowered = SetCurrentThreadPriority(ThreadPriority::Idle);
  Post(kPhotoScanStarted);
  const bool complete = Walk(folders, cache);
  m_finished = complete;
  if (complete) Post(kPhotoScanFinished);
  m_running = false;
  exit->Set();
}

bool CPhotoScanThread::Walk(const std::vector<std::filesystem::path>& folders, PhotoInfoCache* cache) {
  std::set<FileId> seenFolders;
  std::set<FileId> seenFiles;
  std::vector<PhotoInfoEntry> batch;
  auto lastBatch = std::chrono::steady_clock::now();
  std::vector<FolderEntry> entries;
  for (const std::filesystem::path& scope : folders) {
    std::vector<std::filesystem::path> pending{scope};
    while (!pending.empty()) {
      if (m_stop) {
        PostBatch(batch, cache);
        return false;
      }
      const std::filesystem::path folder = std::move(pending.back());
      pending.pop_back();
      const PathStatus status = StatPath(folder);
      if (status.kind != PathStatus::Kind::Folder ||
          !seenFolders.insert({status.device, status.inode}).second)
        continue;
      // A folder that fails part way still gives the entries read so far.
      (void)ListFolder(folder, entries);
      std::sort(entries.begin(), entries.end(),
                [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
      std::vector<std::filesystem::path> subFolders;
      for (const FolderEntry& entry : entries) {
        if (m_stop) break;
        if (IsDotName(entry.name)) continue;
        const std::filesystem::path path = folder / entry.name;
        const PathStatus found = StatPath(path);
        if (found.kind == PathStatus::Kind::Folder) {
          subFolders.push_back(path);
          continue;
        }
        if (found.kind != PathStatus::Kind::File || GetImageType(path) == ImageFileType::Unknown) continue;
        if (!seenFiles.insert({found.device, found.inode}).second) continue;
        PhotoInfoEntry record;
        if (!BuildPhotoInfo(path, record)) continue;
        record.head.fileSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(found.size, 0xFFFFFFFFu));
        batch.push_back(std::move(record));
        const auto now = std::chrono::steady_clock::now();
        if (batch.size() >= kBatchRecords || now - lastBatch >= std::chrono::milliseconds(kBatchMs)) {
          PostBatch(batch, cache);
          lastBatch = now;
        }
      }
      // Popped from the back: the sub-folders are walked in name order.
      pending.insert(pending.end(), subFolders.rbegin(), subFolders.rend());
    }
  }
  PostBatch(batch, cache);
  return !m_stop;
}

void CPhotoScanThread::PostBatch(std::vector<PhotoInfoEntry>& batch, PhotoInfoCache* cache) {
  if (batch.empty()) return;
  UiMessage message;
  message.message = kPhotoInfoBatchMessage;
  message.data = std::make_unique<CBatch>(this, cache, std::exchange(batch, {}));
  // After the queue has shut down the records are freed with the message.
  (void)UiQueue().Post(std::move(message));
}

void CPhotoScanThread::Post(std::uint64_t stage) {
  if (const std::int32_t key = m_listener.load())
    (void)PostSpriteMessageToKey(key, kSpriteMsgPhotoScan, stage, 0);
}

CPhotoScanThread& PhotoScanThread() {
  static CPhotoScanThread thread;
  return thread;
}

int StartPhotoScan(std::span<const std::u16string> scopeFolders, IWorkerExitRegistry* registry) {
  std::vector<std::filesystem::path> folders;
  for (const std::u16string& folder : scopeFolders) {
    if (!folder.empty()) folders.push_back(PathFromUtf16(folder));
  }
  return PhotoScanThread().Start(std::move(folders), registry, GlobalPhotoInfoCache());
}
