#include "platform/FolderChangeWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr std::uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                         IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                         IN_ONLYDIR;
constexpr std::uint32_t kGoneEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

void CloseDescriptor(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

CFolderChangeWatch::~CFolderChangeWatch() {
  CloseDescriptor(m_notify);
  CloseDescriptor(m_wake);
}

bool CFolderChangeWatch::Open() {
  if (IsOpen()) return true;
  m_notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (IsOpen()) return true;
  CloseDescriptor(m_notify);
  CloseDescriptor(m_wake);
  return false;
}

bool CFolderChangeWatch::Watch(const std::filesystem::path& folder) {
  Unwatch();
  if (m_notify < 0 || folder.empty()) return false;
  m_watch = ::inotify_add_watch(m_notify, folder.c_str(), kWatchedEvents);
  return m_watch >= 0;
}

void CFolderChangeWatch::Unwatch() {
  if (m_watch >= 0 && m_notify >= 0) ::inotify_rm_watch(m_notify, m_watch);
  m_watch = -1;
  // Events of the old folder that are still queued must not count for the
  // next one: drop them (the IN_IGNORED of the removal among them).
  FolderWatchEvents dropped;
  ReadNotifications(dropped);
}

FolderWatchEvents CFolderChangeWatch::Wait(int timeoutMs) {
  FolderWatchEvents events;
  if (!IsOpen()) {
    events.failed = true;
    return events;
  }
  pollfd fds[2] = {{m_notify, POLLIN, 0}, {m_wake, POLLIN, 0}};
  const int ready = ::poll(fds, 2, timeoutMs < 0 ? -1 : timeoutMs);
  if (ready < 0) {
    if (errno != EINTR) events.failed = true;
    return events;
  }
  std::uint64_t count = 0;
  if (::read(m_wake, &count, sizeof count) == static_cast<ssize_t>(sizeof count)) events.woken = true;
  ReadNotifications(events);
  return events;
}

void CFolderChangeWatch::Wake() {
  if (m_wake < 0) return;
  const std::uint64_t one = 1;
  // A full counter (never reached in practice) still wakes the waiter.
  [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
}

void CFolderChangeWatch::ReadNotifications(FolderWatchEvents& events) {
  if (m_notify < 0) return;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t length = ::read(m_notify, buffer, sizeof buffer);
    if (length < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) events.failed = true;
      return;
    }
    if (length == 0) return;
    for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
      inotify_event event;
      std::memcpy(&event, buffer + offset, sizeof event);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      if (event.mask & IN_Q_OVERFLOW) {
        events.overflow = true;
      } else if (event.wd == m_watch && m_watch >= 0) {
        if (event.mask & kGoneEvents) {
          events.gone = true;
        } else {
          events.changed = true;
        }
      }
    }
    if (events.gone && m_watch >= 0) {
      // The kernel removes a deleted folder's watch itself (IN_IGNORED);
      // a moved one is removed here, since its path names it no longer.
      ::inotify_rm_watch(m_notify, m_watch);
      m_watch = -1;
    }
  }
}
