#include "tests/common/FakeServiceServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace {

constexpr std::size_t kHeader = 17;
// A packet larger than this is not read whole (the clients never send one).
constexpr std::uint32_t kLargestPacket = 1 << 20;

bool ReadExact(int fd, std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::recv(fd, out, count, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

CFakeServiceServer::CFakeServiceServer() {
  m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_listen, 16) != 0 ||
      ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("the stand-in service cannot listen");
  }
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { Run(); });
}

CFakeServiceServer::~CFakeServiceServer() {
  {
    std::lock_guard guard(m_lock);
    m_stopping = true;
  }
  m_thread.join();
  ::close(m_listen);
}

void CFakeServiceServer::AddScript(Script script) {
  std::lock_guard guard(m_lock);
  m_scripts.push_back(std::move(script));
}

int CFakeServiceServer::Connections() const {
  std::lock_guard guard(m_lock);
  return m_accepted;
}

std::vector<CFakeServiceServer::Packet> CFakeServiceServer::Packets() const {
  std::lock_guard guard(m_lock);
  return m_packets;
}

bool CFakeServiceServer::WaitForConnections(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_lock);
  return m_changed.wait_for(lock, timeout, [&] { return m_ended >= count; });
}

std::vector<std::uint8_t> CFakeServiceServer::PacketBytes(std::uint16_t command,
                                                          std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> bytes{'S', 'E', 'N', 'T'};
  const auto length = static_cast<std::uint32_t>(payload.size());
  bytes.push_back(static_cast<std::uint8_t>(command));
  bytes.push_back(static_cast<std::uint8_t>(command >> 8));
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    bytes.push_back(0);
  }
  bytes.push_back(0);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

void CFakeServiceServer::Run() {
  for (;;) {
    {
      std::lock_guard guard(m_lock);
      if (m_stopping) return;
    }
    pollfd waiting{m_listen, POLLIN, 0};
    if (::poll(&waiting, 1, 20) != 1) continue;
    const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    timeval bound{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    Script script;
    int connection = 0;
    {
      std::lock_guard guard(m_lock);
      connection = m_accepted++;
      if (m_scripts.empty()) {
        script = {Read(), Close()};
      } else {
        script = std::move(m_scripts.front());
        m_scripts.pop_front();
      }
    }
    Serve(fd, connection, script);
    ::close(fd);
    {
      std::lock_guard guard(m_lock);
      ++m_ended;
    }
    m_changed.notify_all();
  }
}

void CFakeServiceServer::Serve(int fd, int connection, const Script& script) {
  const auto record = [&](std::vector<std::uint8_t> bytes) {
    std::lock_guard guard(m_lock);
    m_packets.push_back({connection, std::move(bytes)});
  };
  for (const Step& step : script) {
    std::vector<std::uint8_t> packet;
    switch (step.kind) {
      case Step::Kind::ReadPacket:
        if (!ReadPacket(fd, packet)) return;
        record(std::move(packet));
        break;
      case Step::Kind::Send:
        if (::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(step.bytes.size()))
          return;
        break;
      case Step::Kind::Pause:
        std::this_thread::sleep_for(step.pause);
        break;
      case Step::Kind::Close:
        return;
    }
  }
  for (std::vector<std::uint8_t> packet; ReadPacket(fd, packet); packet.clear()) record(std::move(packet));
}

bool CFakeServiceServer::ReadPacket(int fd, std::vector<std::uint8_t>& packet) {
  packet.assign(kHeader, 0);
  if (!ReadExact(fd, packet.data(), kHeader)) return false;
  const std::uint32_t length =
      static_cast<std::uint32_t>(packet[6]) | static_cast<std::uint32_t>(packet[7]) << 8 |
      static_cast<std::uint32_t>(packet[8]) << 16 | static_cast<std::uint32_t>(packet[9]) << 24;
  if (length > kLargestPacket) return false;
  packet.resize(kHeader + length);
  return ReadExact(fd, packet.data() + kHeader, length);
}
