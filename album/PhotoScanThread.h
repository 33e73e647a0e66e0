#pragma once
// CPhotoScanThread: makes photo-info records from photo files. Tag writing
// makes one record at a time (BuildPhotoInfo). At start the thread walks the
// search-scope folders once, at idle priority: every file of an image type
// whose name and folders' names do not start with a dot, each file once
// however many links or nested scopes reach it (files and folders are told
// apart by device and inode, so link loops end). It builds the records on
// its own thread and hands them to the UI thread in batches, which appends
// them to the cache there (the cache's users are all on the UI thread). It
// posts sprite message 10011 to its listener with kPhotoScanStarted first
// and kPhotoScanFinished after the last batch; a scan stopped early posts no
// end.
//
// The listener is a registry key, set whenever its sprite exists; a page
// made after the scan ended asks IsFinished instead of waiting for 10011.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "album/PhotoInfoCache.h"
#include "album/PhotoInfoEntry.h"
#include "algorithms/WorkerExitRegistry.h"

class CPhotoScanThread {
public:
  // A batch goes to the UI thread when it holds this many records or when
  // this long has passed since the last one.
  static constexpr std::size_t kBatchRecords = 64;
  static constexpr std::uint32_t kBatchMs = 250;
  // The tags text a record keeps: the longest a photo's tags may be.
  static constexpr std::size_t kMaxTagsLength = 255;

  CPhotoScanThread() = default;
  ~CPhotoScanThread();  // stops and joins
  CPhotoScanThread(const CPhotoScanThread&) = delete;
  CPhotoScanThread& operator=(const CPhotoScanThread&) = delete;

  // Fills record from the file's information (ImageInfo), the path as
  // given, the tags text cut to kMaxTagsLength characters, the file size as
  // the information gives it. False, and the record without its valid bit,
  // when the file cannot be read, has no width or height, or its path is
  // too long for a record. Counts the records it built; any thread.
  [[nodiscard]] bool BuildPhotoInfo(const std::filesystem::path& path, PhotoInfoEntry& record);

  // Starts one walk of the folders into cache (not while a walk runs). With
  // a registry, the thread registers its exit event there (the render
  // window asks it to stop when it closes). 1 when started, 0 otherwise.
  [[nodiscard]] int Start(std::vector<std::filesystem::path> folders, IWorkerExitRegistry* registry,
                          PhotoInfoCache& cache);
  // Any thread; does not wait.
  void RequestStop();
  // Asks the walk to stop and waits for the thread.
  void Stop();

  // The key 10011 goes to (0: none).
  void SetListener(std::int32_t key) { m_listener = key; }
  bool IsRunning() const { return m_running.load(); }
  // The last walk went through all its folders.
  bool IsFinished() const { return m_finished.load(); }
  bool PriorityLowered() const { return m_priorityLowered.load(); }
  std::uint32_t BuiltCount() const { return m_built.load(); }
  // Records the UI thread put into the cache, and those it could not (the
  // block could not grow).
  std::uint32_t AppendedCount() const { return m_appended.load(); }
  std::uint32_t DroppedCount() const { return m_dropped.load(); }

private:
  class CBatch;
  void Run(std::vector<std::filesystem::path> folders, PhotoInfoCache* cache,
           std::shared_ptr<CWorkerExitEvent> exit);
  // False when the walk was stopped.
  [[nodiscard]] bool Walk(const std::vector<std::filesystem::path>& folders, PhotoInfoCache* cache);
  void PostBatch(std::vector<PhotoInfoEntry>& batch, PhotoInfoCache* cache);
  void Post(std::uint64_t stage);

  std::thread m_thread;
  std::mutex m_startLock;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_finished{false};
  std::atomic<bool> m_priorityLowered{false};
  std::atomic<std::int32_t> m_listener{0};
  std::atomic<std::uint32_t> m_built{0};
  std::atomic<std::uint32_t> m_appended{0};
  std::atomic<std::uint32_t> m_dropped{0};
};

// The process's scan thread.
CPhotoScanThread& PhotoScanThread();

// The main window's start-up stage: scans the search-scope folders (as
// config.dat keeps them) into the process's cache, stopped by the window
// given as registry when it closes. 1 when the scan started.
[[nodiscard]] int StartPhotoScan(std::span<const std::u16string> scopeFolders, IWorkerExitRegistry* registry);
