#pragma once
// Change notifications of one folder through inotify, with an eventfd that
// another thread uses to wake the waiting one. The folder's own entries are
// watched (not those of its sub-folders) for what changes a folder listing
// or a photo: entries made, deleted or moved in or out, files closed after
// writing, attributes changed (a touch); and the folder's own removal or
// move, after which the watch is gone.
//
// One thread waits; Wake may be called from any thread. Every descriptor is
// closed by the destructor.

#include <cstdint>
#include <filesystem>

// What one Wait saw; several may be set at once, none after a timeout.
struct FolderWatchEvents {
  bool changed = false;   // an entry of the folder changed
  bool overflow = false;  // the kernel dropped events: anything may have changed
  bool gone = false;      // the folder was deleted, moved or unmounted; no watch is left
  bool woken = false;     // Wake was called
  bool failed = false;    // reading the notifications failed
  bool Any() const { return changed || overflow || gone || woken || failed; }
};

class CFolderChangeWatch {
public:
  CFolderChangeWatch() = default;
  ~CFolderChangeWatch();
  CFolderChangeWatch(const CFolderChangeWatch&) = delete;
  CFolderChangeWatch& operator=(const CFolderChangeWatch&) = delete;

  // Makes the inotify instance and the eventfd; false when either cannot be
  // made (nothing is held then).
  [[nodiscard]] bool Open();
  bool IsOpen() const { return m_notify >= 0 && m_wake >= 0; }

  // Watches folder instead of the folder watched so far. False when it
  // cannot be watched (missing, not a folder, no access, out of watches);
  // no folder is watched then.
  [[nodiscard]] bool Watch(const std::filesystem::path& folder);
  void Unwatch();
  bool IsWatching() const { return m_watch >= 0; }

  // Waits at most timeoutMs (negative: without limit) for notifications or
  // a wake, then takes every notification and wake that is pending.
  FolderWatchEvents Wait(int timeoutMs);

  // Any thread: the next or current Wait returns with woken set.
  void Wake();

private:
  void ReadNotifications(FolderWatchEvents& events);

  int m_notify = -1;
  int m_wake = -1;
  int m_watch = -1;
};
