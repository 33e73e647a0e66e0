#pragma once
// A stand-in for the companion service: listens on an ephemeral port of
// 127.0.0.1, takes connections one after another, plays a script on each
// and records every packet it received, byte for byte. A connection
// without a script of its own reads one packet and closes. After its
// script a connection keeps reading packets until the client closes (or a
// few seconds pass), so that whatever a client sends later is recorded too.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

class CFakeServiceServer {
public:
  struct Step {
    enum class Kind { ReadPacket, Send, Pause, Close } kind = Kind::ReadPacket;
    std::vector<std::uint8_t> bytes;  // Send
    std::chrono::milliseconds pause{0};
  };
  using Script = std::vector<Step>;

  struct Packet {
    int connection = 0;  // 0 for the first accepted
    std::vector<std::uint8_t> bytes;
  };

  CFakeServiceServer();
  ~CFakeServiceServer();
  CFakeServiceServer(const CFakeServiceServer&) = delete;
  CFakeServiceServer& operator=(const CFakeServiceServer&) = delete;

  std::uint16_t Port() const { return m_port; }
  // Scripts for the next connections, in order.
  void AddScript(Script script);
  int Connections() const;
  std::vector<Packet> Packets() const;
  // Waits until that many connections have ended; false after the timeout.
  [[nodiscard]] bool WaitForConnections(int count, std::chrono::milliseconds timeout) const;

  // Script steps.
  static Step Read() { return {}; }
  static Step Send(std::vector<std::uint8_t> bytes) { return {Step::Kind::Send, std::move(bytes), {}}; }
  static Step Pause(std::chrono::milliseconds pause) { return {Step::Kind::Pause, {}, pause}; }
  static Step Close() { return {Step::Kind::Close, {}, {}}; }
  // A whole packet: header and payload.
  static std::vector<std::uint8_t> PacketBytes(std::uint16_t command, std::span<const std::uint8_t> payload);

private:
  void Run();
  void Serve(int fd, int connection, const Script& script);
  // A whole packet (header and the announced payload) or false.
  bool ReadPacket(int fd, std::vector<std::uint8_t>& packet);

  int m_listen = -1;
  std::uint16_t m_port = 0;
  std::thread m_thread;
  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::deque<Script> m_scripts;
  std::vector<Packet> m_packets;
  int m_accepted = 0;
  int m_ended = 0;
  bool m_stopping = false;
};
