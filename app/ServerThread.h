#pragma once
// CServerThread: the client of the companion service on a thread of its
// own. The main window posts commands (201 the update check, 205 the
// information records); the thread carries them out one at a time in the
// order posted, each over a new connection to the service's port, and hands
// accepted results to the main window as window message kServiceMessage.
// Nothing is reported when the service is missing, refuses, closes early,
// answers another command or offers no newer version.
//
// Threads: PostCommand, the stored replies and Stop may be used from any
// thread; the replies are copied under a lock.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "app/ServiceClient.h"
#include "app/ServicePacket.h"
#include "platform/LocalSocket.h"

inline constexpr std::chrono::milliseconds kServiceTimeout{10000};
inline constexpr std::size_t kUpdateRequestBytes = 68;
inline constexpr std::uint16_t kUpdateRequestMark = 356;
// Versions are hundredths; this is 1.00, the least ever sent.
inline constexpr std::uint16_t kLeastCheckVersion = 100;

class CServerThread final : public IServiceClient {
public:
  CServerThread() = default;
  ~CServerThread() override;
  CServerThread(const CServerThread&) = delete;
  CServerThread& operator=(const CServerThread&) = delete;

  // Starts the thread; enabled decides for its whole life whether commands
  // are carried out. False when it runs already or cannot start.
  [[nodiscard]] bool Start(bool enabled);
  // Drops the commands not yet begun, cuts the current exchange short and
  // joins the thread.
  void Stop();

  bool IsEnabled() const override { return m_enabled; }
  void PostCommand(std::uint16_t command) override;
  std::array<std::uint8_t, kUpdateReplyBytes> UpdateReply() const override;
  std::array<std::uint8_t, kInfoRecordsBytes> InfoRecords() const override;

  // One command on the calling thread: 201, 205; others are ignored.
  void OnServiceCommand(std::uint16_t command);
  void CheckForUpdate();
  void FetchInfoRecords();

  // The update-check request for the stored Program "LastCheckVersion".
  static std::array<std::uint8_t, kUpdateRequestBytes> UpdateRequest(std::uint16_t& version);

  // Set before Start.
  std::uint16_t port = kServicePort;
  std::chrono::milliseconds timeout = kServiceTimeout;
  // Where results go; empty: to the main window while it exists.
  std::function<void(std::uint64_t result)> resultSink;

private:
  void Run();
  // Connects, sends one request and receives one reply; false when any
  // step fails.
  [[nodiscard]] bool Exchange(std::uint16_t command, std::span<const std::uint8_t> request,
                              ServicePacketHeader& header, std::vector<std::uint8_t>& reply);
  void Report(std::uint64_t result);

  bool m_enabled = false;
  std::thread m_thread;
  std::mutex m_lock;  // the queue and the flag
  std::condition_variable m_wake;
  std::deque<std::uint16_t> m_commands;
  bool m_stopping = false;
  std::array<std::uint8_t, kUpdateReplyBytes> m_updateReply{};
  std::array<std::uint8_t, kInfoRecordsBytes> m_infoRecords{};
  CLocalSocket m_socket;           // the thread's current connection
  mutable std::mutex m_replyLock;  // the stored replies
};
