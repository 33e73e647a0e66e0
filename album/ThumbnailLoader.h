#pragma once
// CThumbnailLoader: the job queue and the work of one of the album's two
// thumbnail-loader threads (the threads are the render window's
// CHelpLoaderThread; the loader installs itself as their work). Loader 1
// makes first pictures: for a large JPEG with an EXIF thumbnail that quick
// picture, handing the item on to loader 2, which decodes the file and
// replaces it. Folder items get the composed folder picture, project files
// the skin's project picture.
//
// A stored picture is announced to the item's list with sprite message 2369
// (wparam the job's reply value, lparam the loader's number). The file's
// information, read on the loader thread without any lock held, travels to
// the UI thread just ahead of that reply and goes into the item's record
// there, while the item lives and its record is still empty.
//
// Locks, in order: the list's lock, loader 1's, loader 2's, the budget's.
// The queue is guarded by this loader's thread lock; storing a picture takes
// both loader locks (the budget may free other items' pictures then). A job
// whose item key has died is dropped before loading, before storing and
// before replying. A queue holds at most one job per item.

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <unordered_set>

#include "album/LoadJob.h"
#include "album/ThumbnailBudget.h"
#include "image/BgraImage.h"
#include "image/Thumbnail.h"
#include "ui/HelpLoaderThread.h"
#include "ui/LoaderWork.h"

struct ImageInfo;

// The item type of project files, which GetImageType does not know.
inline constexpr std::int32_t kProjectFileType = 9;
// The type a loader gives a path: GetImageType's, or kProjectFileType for
// the extension ".bfdoc" (any case).
std::int32_t ThumbnailFileType(const std::filesystem::path& path);

class CThumbnailLoader final : public ILoaderWork {
public:
  static constexpr std::int32_t kThumbnailSide = 200;
  static constexpr const char16_t* kFolderPictureFile = u"folderthumb.png";
  static constexpr const char16_t* kProjectPictureFile = u"projectfile.png";

  // number 1 or 2; thread gives the lock and the wake.
  CThumbnailLoader(CHelpLoaderThread& thread, std::int32_t number);
  ~CThumbnailLoader();
  CThumbnailLoader(const CThumbnailLoader&) = delete;
  CThumbnailLoader& operator=(const CThumbnailLoader&) = delete;

  // Set up before the first job: the loader that refines quick pictures
  // (loader 1's is loader 2), the budget (none: pictures are not counted).
  void SetRefiner(CThumbnailLoader* refiner) { m_refiner = refiner; }
  void SetBudget(CThumbnailBudget* budget) { m_budget = budget; }
  // The picture a failed first load stores (a copy is kept). Loader 2 has
  // none: a failed refinement leaves the quick picture.
  void SetFailurePicture(const CBgraImage& picture);

  // Any thread (the list asks from its drawing): queues a job and wakes the
  // thread, unless the kind is unknown or the queue holds a job for the key
  // already (a request repeated at every drawing of a cell).
  void EnqueueLoadJob(std::int32_t key, CBgraImage* target, LoadJobKind kind,
                      const std::filesystem::path& path, std::int32_t notifyKey, std::int32_t replyValue,
                      ImageInfo* info);

  // ILoaderWork: takes the front job, runs it when its item lives and (for
  // a first load) still has no picture, then removes it.
  bool RunOneJob() override;

  // Kind 1 loads at normal speed, kind 2 fast; a stored picture is
  // announced. False for another kind, no target, or nothing stored.
  [[nodiscard]] bool ProcessLoadJob(const LoadJob& job);
  // Loads, stores and hands on one thumbnail; true when a picture was
  // stored.
  [[nodiscard]] bool LoadItemThumbnail(const LoadJob& job, ThumbnailSpeed speed);

  std::int32_t Number() const { return m_number; }
  CHelpLoaderThread& Thread() { return m_thread; }
  std::size_t QueuedCount() const;
  // Pictures stored since the start.
  std::uint32_t StoredCount() const { return m_stored.load(); }

private:
  // Loads the skin picture into m_folderPicture once; false when missing.
  [[nodiscard]] bool LoadFolderPicture();
  void PostLoadedInfo(const LoadJob& job, std::unique_ptr<ImageInfo> info);

  CHelpLoaderThread& m_thread;
  std::int32_t m_number;
  CThumbnailLoader* m_refiner = nullptr;
  CThumbnailBudget* m_budget = nullptr;
  std::deque<LoadJob> m_queue;                // m_thread.lock
  std::unordered_set<std::int32_t> m_queued;  // keys in m_queue; m_thread.lock
  CBgraImage m_failurePicture;                // m_thread.lock
  CBgraImage m_folderPicture;                 // loader thread only
  std::atomic<std::uint32_t> m_stored{0};
};

// The two loaders of the process, bound to HelpLoaderThread(0) and (1).
CThumbnailLoader& ThumbnailLoader(std::int32_t index);

// Wires the two loaders (refiner, ThumbnailBudget() with its cap from the
// settings) and installs them as the loader threads' work. Call once on the
// UI thread before the album lists photos, holding no loader lock.
void InstallThumbnailLoaders();
// Takes the work out of the loader threads again (waits for a job under way).
void UninstallThumbnailLoaders();
