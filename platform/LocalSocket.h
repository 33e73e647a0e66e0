#pragma once
// A TCP stream connection to a port of this machine (127.0.0.1). Every
// blocking step (connect, each send, each receive) gives up after the
// timeout, and a send to a peer that has gone never raises SIGPIPE. The
// socket closes with the object.
//
// Threads: one thread uses the socket; Abort may come from any other thread
// while the socket is open and makes the current and every later call fail.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

class CLocalSocket {
public:
  CLocalSocket() = default;
  ~CLocalSocket();
  CLocalSocket(const CLocalSocket&) = delete;
  CLocalSocket& operator=(const CLocalSocket&) = delete;

  // False when the socket cannot be made or the connection is refused or
  // not made within the timeout.
  [[nodiscard]] bool Connect(std::uint16_t port, std::chrono::milliseconds timeout);
  // Every byte, or false.
  [[nodiscard]] bool SendAll(std::span<const std::uint8_t> bytes);
  // The bytes that arrived (at most buffer.size()); 0 when the peer closed
  // the connection, -1 on an error or a timeout.
  [[nodiscard]] std::int64_t Receive(std::span<std::uint8_t> buffer);
  // Shuts the connection down in both directions.
  void Abort();
  void Close();
  bool IsOpen() const { return m_fd.load() >= 0; }

private:
  std::atomic<int> m_fd{-1};
  std::mutex m_closing;  // Abort never reaches a descriptor number reused after Close
};
