#include "album/ThumbnailLoader.h"

#include <memory>
#include <mutex>
#include <utility>

#include "album/AlbumMessages.h"
#include "album/FolderThumbnail.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "platform/Folder.h"
#include "platform/UiQueue.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/SpriteMessage.h"
#include "ui/widgets/SkinIcon.h"

namespace {

// The information a loader read for an item: copied into the item's record
// on the UI thread, while the item lives and its record is still empty (an
// item filled meanwhile from the photo-info cache keeps what it has).
class CLoadedInfo final : public CUiMessageData {
public:
  CLoadedInfo(std::int32_t key, ImageInfo* target, std::unique_ptr<ImageInfo> info)
      : m_key(key), m_target(target), m_info(std::move(info)) {}

  bool Deliver() override {
    if (!IsObjectKeyAlive(m_key)) return true;
    if (m_target->fNumber.denominator == 0 && m_target->exposureTime.denominator == 0 &&
        m_target->height == 0)
      CopyImageInfo(*m_target, *m_info);
    return true;
  }

private:
  std::int32_t m_key;
  ImageInfo* m_target;
  std::unique_ptr<ImageInfo> m_info;
};

bool HasProjectExtension(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  if (extension.size() != 6) return false;
  static constexpr char kExtension[] = ".bfdoc";
  for (std::size_t i = 0; i < extension.size(); ++i) {
    const char c = extension[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != kExtension[i]) return false;
  }
  return true;
}

}  // namespace

std::int32_t ThumbnailFileType(const std::filesystem::path& path) {
  if (HasProjectExtension(path)) return kProjectFileType;
  return static_cast<std::int32_t>(GetImageType(path));
}

CThumbnailLoader::CThumbnailLoader(CHelpLoaderThread& thread, std::int32_t number)
    : m_thread(thread), m_number(number) {}

CThumbnailLoader::~CThumbnailLoader() { m_thread.RemoveWork(this); }

void CThumbnailLoader::SetFailurePicture(const CBgraImage& picture) {
  std::lock_guard guard(m_thread.lock);
  if (picture.IsEmpty()) {
    m_failurePicture.Free();
  } else if (!m_failurePicture.CopyFrom(picture)) {
    m_failurePicture.Free();
  }
}

std::size_t CThumbnailLoader::QueuedCount() const {
  std::lock_guard guard(m_thread.lock);
  return m_queue.size();
}

void CThumbnailLoader::EnqueueLoadJob(std::int32_t key, CBgraImage* target, LoadJobKind kind,
                                      const std::filesystem::path& path, std::int32_t notifyKey,
                                      std::int32_t replyValue, ImageInfo* info) {
  if (kind != LoadJobKind::First && kind != LoadJobKind::Refine) return;
  {
    std::lock_guard guard(m_thread.lock);
    if (!m_queued.insert(key).second) return;
    m_queue.push_back({key, kind, target, notifyKey, info, replyValue, path});
  }
  m_thread.Wake();
}

bool CThumbnailLoader::RunOneJob() {
  LoadJob job;
  {
    std::lock_guard guard(m_thread.lock);
    if (m_queue.empty()) return false;
    job = m_queue.front();
  }
  bool wanted = false;
  {
    // The item's picture is read under both locks, like every reader.
    CBothLoaderLocks locks;
    wanted =
        job.target && IsObjectKeyAlive(job.key) && (job.kind == LoadJobKind::Refine || job.target->IsEmpty());
  }
  // A duplicate for an item another job has served is dropped here.
  if (wanted) (void)ProcessLoadJob(job);
  {
    std::lock_guard guard(m_thread.lock);
    m_queue.pop_front();
    m_queued.erase(job.key);
    if (m_queue.empty()) m_queue.shrink_to_fit();
  }
  return true;
}

bool CThumbnailLoader::ProcessLoadJob(const LoadJob& job) {
  if (!job.target) return false;
  bool stored = false;
  switch (job.kind) {
    case LoadJobKind::First:
      stored = LoadItemThumbnail(job, ThumbnailSpeed::Normal);
      break;
    case LoadJobKind::Refine:
      stored = LoadItemThumbnail(job, ThumbnailSpeed::Fast);
      break;
    default:
      return false;
  }
  if (stored && job.notifyKey && IsObjectKeyAlive(job.key)) {
    (void)PostSpriteMessageToKey(job.notifyKey, kSpriteMsgThumbnailLoaded,
                                 static_cast<std::uint32_t>(job.replyValue),
                                 static_cast<std::uint64_t>(m_number));
  }
  return stored;
}

bool CThumbnailLoader::LoadFolderPicture() {
  if (!m_folderPicture.IsEmpty()) return true;
  return LoadSkinIcon(kFolderPictureFile, m_folderPicture) && !m_folderPicture.IsEmpty();
}

bool CThumbnailLoader::LoadItemThumbnail(const LoadJob& job, ThumbnailSpeed speed) {
  // A folder is a folder whatever its name ends in ("Trip.2019.jpg").
  const std::int32_t type = StatPath(job.path).kind == PathStatus::Kind::Folder
                                ? static_cast<std::int32_t>(ImageFileType::Unknown)
                                : ThumbnailFileType(job.path);
  CBgraImage picture;
  int result = 0;
  if (type == static_cast<std::int32_t>(ImageFileType::Unknown)) {
    result = LoadFolderPicture() && BuildFolderThumbnail(job.path, m_folderPicture, picture) ? 1 : 0;
  } else if (type == kProjectFileType) {
    if (!LoadSkinIcon(kProjectPictureFile, picture) || picture.IsEmpty()) return false;
    result = 1;
  } else {
    result = LoadThumbnail(job.path, kThumbnailSide, picture, speed);
  }

  if (result == 0) {
    // Loader 2 has no failure picture: a failed refinement keeps the quick
    // picture the item shows. A failed first load stores the failure
    // picture, or a transparent one, so the item stops asking.
    if (m_number != 1) return false;
    CBgraImage failed;
    {
      std::lock_guard guard(m_thread.lock);
      if (!m_failurePicture.IsEmpty() && !failed.CopyFrom(m_failurePicture)) return false;
    }
    if (failed.IsEmpty()) {
      if (!failed.Create(kThumbnailSide, kThumbnailSide)) return false;
      std::fill(failed.Samples().begin(), failed.Samples().end(), std::uint8_t{0});
    }
    CBothLoaderLocks locks;
    if (!IsObjectKeyAlive(job.key)) return false;
    if (m_budget) m_budget->MakeRoom(job.key, failed.byteSize);
    *job.target = std::move(failed);
    if (m_budget) m_budget->NoteStored(job.key, job.target);
    return false;
  }

  // The file's information is read before any lock is taken; the UI thread
  // puts it into the item.
  std::unique_ptr<ImageInfo> info;
  if (job.info && type != static_cast<std::int32_t>(ImageFileType::Unknown)) {
    info = std::make_unique<ImageInfo>();
    if (!info->ReadFromFile(job.path)) info.reset();
  }
  {
    CBothLoaderLocks locks;
    if (!IsObjectKeyAlive(job.key)) return false;
    if (m_budget) m_budget->MakeRoom(job.key, picture.byteSize);
    *job.target = std::move(picture);
    if (m_budget) m_budget->NoteStored(job.key, job.target);
  }
  ++m_stored;
  if (info) PostLoadedInfo(job, std::move(info));

  if (result == 2 && type != static_cast<std::int32_t>(ImageFileType::Raw) && m_refiner) {
    m_refiner->EnqueueLoadJob(job.key, job.target, LoadJobKind::Refine, job.path, job.notifyKey, job.key,
                              nullptr);
  }
  return true;
}

void CThumbnailLoader::PostLoadedInfo(const LoadJob& job, std::unique_ptr<ImageInfo> info) {
  UiMessage message;
  message.message = kLoadedInfoMessage;
  message.data = std::make_unique<CLoadedInfo>(job.key, job.info, std::move(info));
  (void)UiQueue().Post(std::move(message));
}

CThumbnailLoader& ThumbnailLoader(std::int32_t index) {
  static CThumbnailLoader first(HelpLoaderThread(0), 1);
  static CThumbnailLoader second(HelpLoaderThread(1), 2);
  return index == 0 ? first : second;
}

void InstallThumbnailLoaders() {
  CThumbnailBudget& budget = ThumbnailBudget();
  budget.SetCap(ThumbnailBudgetCapFromSettings());
  for (std::int32_t i = 0; i < kHelpLoaderCount; ++i) ThumbnailLoader(i).SetBudget(&budget);
  ThumbnailLoader(0).SetRefiner(&ThumbnailLoader(1));
  for (std::int32_t i = 0; i < kHelpLoaderCount; ++i) HelpLoaderThread(i).SetWork(&ThumbnailLoader(i));
}

void UninstallThumbnailLoaders() {
  for (std::int32_t i = 0; i < kHelpLoaderCount; ++i) HelpLoaderThread(i).RemoveWork(&ThumbnailLoader(i));
}
