#include "album/FolderWatchThread.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "album/AlbumMessages.h"
#include "platform/ThreadPriority.h"
#include "ui/SpriteMessage.h"

namespace {

// A wait without pending changes still ends now and then.
constexpr int kIdleWaitMs = 1000;

// The quiet time is measured against the real waits of poll, so it comes
// from the real clock even where tests run the interface on a fake one.
std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

CFolderWatchThread::~CFolderWatchThread() { Stop(); }

int CFolderWatchThread::Start(std::int32_t targetKey, IWorkerExitRegistry* registry) {
  if (m_running) return 1;
  // A thread the window stopped has left its loop: it is joined first.
  if (m_thread.joinable()) m_thread.join();
  if (!m_watch.Open()) return 0;
  {
    std::lock_guard guard(m_mutex);
    m_stop = false;
  }
  m_target = targetKey;
  std::shared_ptr<CWorkerExitEvent> exit;
  if (registry) exit = registry->RegisterWorkerExitEvent([this] { RequestStop(); });
  if (!exit) exit = std::make_shared<CWorkerExitEvent>();
  m_running = true;
  try {
    m_thread = std::thread([this, exit] { Run(exit); });
  } catch (const std::system_error&) {
    m_running = false;
    exit->Set();
    return 0;
  }
  return 1;
}

void CFolderWatchThread::SetFolder(const std::filesystem::path& folder) {
  {
    std::lock_guard guard(m_mutex);
    if (folder == m_folder) return;
    m_folder = folder;
    m_newFolder = true;
  }
  m_watch.Wake();
}

std::filesystem::path CFolderWatchThread::Folder() const {
  std::lock_guard guard(m_mutex);
  return m_folder;
}

std::filesystem::path CFolderWatchThread::WatchedFolder() const {
  std::lock_guard guard(m_mutex);
  return m_watched;
}

void CFolderWatchThread::RequestStop() {
  {
    std::lock_guard guard(m_mutex);
    m_stop = true;
  }
  m_watch.Wake();
}

void CFolderWatchThread::Stop() {
  RequestStop();
  if (m_thread.joinable()) m_thread.join();
}

void CFolderWatchThread::Notify() { (void)PostSpriteMessageToKey(m_target, kSpriteMsgFolderChanged, 0, 0); }

void CFolderWatchThread::Run(std::shared_ptr<CWorkerExitEvent> exit) {
  m_priorityLowered = SetCurrentThreadPriority(ThreadPriority::Idle);
  bool pending = false;
  std::uint64_t firstChange = 0;
  std::uint64_t lastChange = 0;
  for (;;) {
    // The stop and a new folder are looked at after every wake-up, however
    // busy the folder is.
    std::filesystem::path folder;
    bool newFolder = false;
    {
      std::lock_guard guard(m_mutex);
      if (m_stop) break;
      newFolder = std::exchange(m_newFolder, false);
      if (newFolder) folder = m_folder;
    }
    if (newFolder) {
      // Changes of the old folder are not told: the album lists the new one.
      pending = false;
      const bool watching = !folder.empty() && m_watch.Watch(folder);
      if (!watching) m_watch.Unwatch();
      std::lock_guard guard(m_mutex);
      m_watched = watching ? folder : std::filesystem::path();
    }

    int timeout = kIdleWaitMs;
    if (pending) {
      const std::uint64_t now = NowMs();
      const std::uint64_t due = std::min(lastChange + kQuietMs, firstChange + kLongestDelayMs);
      if (now >= due) {
        pending = false;
        Notify();
        continue;
      }
      timeout = static_cast<int>(due - now);
    }
    const FolderWatchEvents events = m_watch.Wait(timeout);
    if (events.changed || events.overflow) {
      const std::uint64_t now = NowMs();
      if (!pending) firstChange = now;
      pending = true;
      lastChange = now;
    }
    if (events.gone) {
      // The folder itself is gone: one message at once, then nothing until
      // a folder is set, which may be the same path made anew.
      pending = false;
      {
        std::lock_guard guard(m_mutex);
        if (!m_newFolder && m_folder == m_watched) m_folder.clear();
        m_watched.clear();
      }
      Notify();
    }
    if (events.failed) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  m_watch.Unwatch();
  {
    std::lock_guard guard(m_mutex);
    m_watched.clear();
  }
  m_running = false;
  exit->Set();
}
