#pragma once
// CFolderWatchThread: tells the album page (sprite message 11026, wparam and
// lparam 0) when the folder it shows changes on disk: entries made, deleted
// or renamed, files rewritten or touched; changes inside sub-folders are not
// reported. inotify reports every file, so a burst (a copy of many files)
// is gathered into one message sent after kQuietMs without further changes,
// or kLongestDelayMs after the burst began when it goes on; a kernel
// overflow counts as a change. A folder that is deleted or moved away is
// reported once and then left until another folder is set.
//
// The thread runs at idle priority. Setting a folder and stopping wake it at
// once (an eventfd), whatever it waits for; the folder and its flag are
// shared under a mutex.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "algorithms/WorkerExitRegistry.h"
#include "platform/FolderChangeWatch.h"

class CFolderWatchThread {
public:
  static constexpr std::uint32_t kQuietMs = 200;
  static constexpr std::uint32_t kLongestDelayMs = 1000;

  CFolderWatchThread() = default;
  ~CFolderWatchThread();  // stops and joins
  CFolderWatchThread(const CFolderWatchThread&) = delete;
  CFolderWatchThread& operator=(const CFolderWatchThread&) = delete;

  // Starts the thread; 11026 goes to targetKey. With a registry, the thread
  // registers its exit event there (the render window stops it when it
  // closes). 1 when running, 0 when the notifications or the thread cannot
  // be had.
  [[nodiscard]] int Start(std::int32_t targetKey, IWorkerExitRegistry* registry);
  // Any thread: the folder to watch from now on; the folder watched already
  // changes nothing, an empty path stops watching.
  void SetFolder(const std::filesystem::path& folder);
  // Any thread; does not wait.
  void RequestStop();
  // Asks the thread to stop and waits for it.
  void Stop();

  bool IsRunning() const { return m_running.load(); }
  bool PriorityLowered() const { return m_priorityLowered.load(); }
  // The folder last set, and the one the thread watches now (empty while it
  // watches none).
  std::filesystem::path Folder() const;
  std::filesystem::path WatchedFolder() const;

private:
  void Run(std::shared_ptr<CWorkerExitEvent> exit);
  void Notify();

  CFolderChangeWatch m_watch;
  std::thread m_thread;
  mutable std::mutex m_mutex;
  std::filesystem::path m_folder;   // m_mutex
  bool m_newFolder = false;         // m_mutex
  bool m_stop = false;              // m_mutex
  std::filesystem::path m_watched;  // m_mutex
  std::int32_t m_target = 0;
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_priorityLowered{false};
};
