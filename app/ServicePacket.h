#pragma once
// The packets of the companion service, in both directions:
//
//   offset 0 "SENT", 4 u16 command, 6 u32 payload length L, 10 u8 0,
//   11 u32 L again, 15 u16 0, 17 the L payload bytes (little-endian)
//
// Replies are read into a buffer of 4096 bytes, so a reply carries at most
// 4079 payload bytes; a request is sent whole, whatever its length.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class CLocalSocket;

inline constexpr std::uint16_t kServicePort = 1480;
inline constexpr std::size_t kServiceHeaderBytes = 17;
inline constexpr std::size_t kServiceBufferBytes = 4096;
inline constexpr std::size_t kMaxServiceReplyPayload = kServiceBufferBytes - kServiceHeaderBytes;
static_assert(kMaxServiceReplyPayload == 4079);

struct ServicePacketHeader {
  std::uint16_t command = 0;
  std::uint32_t length = 0;  // L, from offset 6
};

// Header and payload in one buffer of 17 + L bytes.
std::vector<std::uint8_t> BuildServicePacket(std::uint16_t command, std::span<const std::uint8_t> payload);

// Sends the packet in one piece; false when not every byte went.
[[nodiscard]] bool SendServicePacket(CLocalSocket& socket, std::uint16_t command,
                                     std::span<const std::uint8_t> payload);

// Gathers one reply from received pieces. A reply is complete once 17 + L
// bytes are in; bytes after that are ignored. One whose L is above 4079 is
// refused as soon as its header is in.
class CServicePacketAssembler {
public:
  enum class State { NeedMore, Complete, Refused };

  void Add(std::span<const std::uint8_t> bytes);
  State GetState() const { return m_state; }
  // Valid once complete.
  const ServicePacketHeader& Header() const { return m_header; }
  std::span<const std::uint8_t> Payload() const;
  std::size_t ReceivedBytes() const { return m_received; }

private:
  std::vector<std::uint8_t> m_bytes;  // at most 4096
  ServicePacketHeader m_header;
  std::size_t m_received = 0;
  State m_state = State::NeedMore;
};

// Receives one reply in pieces of up to 4096 bytes into header and payload
// (replaced). The number of bytes received, or 0 when the connection closed,
// failed or timed out first, or the reply was refused.
[[nodiscard]] std::size_t ReceiveServicePacket(CLocalSocket& socket, ServicePacketHeader& header,
                                               std::vector<std::uint8_t>& payload);
