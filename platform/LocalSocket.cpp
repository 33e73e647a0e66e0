#include "platform/LocalSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace {

timeval TimeValOf(std::chrono::milliseconds timeout) {
  const auto ms = timeout.count() > 0 ? timeout.count() : 1;
  return {static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
}

}  // namespace

CLocalSocket::~CLocalSocket() { Close(); }

bool CLocalSocket::Connect(std::uint16_t port, std::chrono::milliseconds timeout) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  m_fd.store(fd);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) {
      Close();
      return false;
    }
    pollfd waiting{fd, POLLOUT, 0};
    int ready = 0;
    do {
      ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t errorSize = sizeof error;
    if (ready != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorSize) != 0 || error != 0) {
      Close();
      return false;
    }
  }
  // Blocking from here on, each call bounded by the timeout.
  const int flags = ::fcntl(fd, F_GETFL);
  const timeval bound = TimeValOf(timeout);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
      ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound) != 0 ||
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound) != 0) {
    Close();
    return false;
  }
  return true;
}

bool CLocalSocket::SendAll(std::span<const std::uint8_t> bytes) {
  const int fd = m_fd.load();
  if (fd < 0) return false;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::int64_t CLocalSocket::Receive(std::span<std::uint8_t> buffer) {
  const int fd = m_fd.load();
  if (fd < 0 || buffer.empty()) return -1;
  ssize_t n = 0;
  do {
    n = ::recv(fd, buffer.data(), buffer.size(), 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<std::int64_t>(n);
}

void CLocalSocket::Abort() {
  std::lock_guard guard(m_closing);
  const int fd = m_fd.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void CLocalSocket::Close() {
  std::lock_guard guard(m_closing);
  const int fd = m_fd.exchange(-1);
  if (fd >= 0) ::close(fd);
}
