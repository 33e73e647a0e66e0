#include "app/ServicePacket.h"

#include <algorithm>
#include <array>

#include "platform/LittleEndian.h"
#include "platform/LocalSocket.h"

std::vector<std::uint8_t> BuildServicePacket(std::uint16_t command, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> packet(kServiceHeaderBytes + payload.size(), 0);
  const auto length = static_cast<std::uint32_t>(payload.size());
  packet[0] = 'S';
  packet[1] = 'E';
  packet[2] = 'N';
  packet[3] = 'T';
  StoreLE16(packet.data() + 4, command);
  StoreLE32(packet.data() + 6, length);
  StoreLE32(packet.data() + 11, length);
  std::copy(payload.begin(), payload.end(), packet.begin() + kServiceHeaderBytes);
  return packet;
}

bool SendServicePacket(CLocalSocket& socket, std::uint16_t command, std::span<const std::uint8_t> payload) {
  if (payload.size() > UINT32_MAX - kServiceHeaderBytes) return false;
  return socket.SendAll(BuildServicePacket(command, payload));
}

void CServicePacketAssembler::Add(std::span<const std::uint8_t> bytes) {
  if (m_state != State::NeedMore) return;
  m_received += bytes.size();
  if (m_bytes.size() < kServiceHeaderBytes) {
    const std::size_t taken = std::min(bytes.size(), kServiceHeaderBytes - m_bytes.size());
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    bytes = bytes.subspan(taken);
    if (m_bytes.size() < kServiceHeaderBytes) return;
    m_header.command = LoadLE16(m_bytes.data() + 4);
    m_header.length = LoadLE32(m_bytes.data() + 6);
    if (m_header.length > kMaxServiceReplyPayload) {
      m_state = State::Refused;
      return;
    }
  }
  const std::size_t total = kServiceHeaderBytes + m_header.length;
  const std::size_t taken = std::min(bytes.size(), total - m_bytes.size());
  m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
  if (m_bytes.size() == total) m_state = State::Complete;
}

std::span<const std::uint8_t> CServicePacketAssembler::Payload() const {
  if (m_state != State::Complete) return {};
  return std::span<const std::uint8_t>(m_bytes).subspan(kServiceHeaderBytes);
}

std::size_t ReceiveServicePacket(CLocalSocket& socket, ServicePacketHeader& header,
                                 std::vector<std::uint8_t>& payload) {
  CServicePacketAssembler assembler;
  std::array<std::uint8_t, kServiceBufferBytes> chunk;
  while (assembler.GetState() == CServicePacketAssembler::State::NeedMore) {
    const std::int64_t n = socket.Receive(chunk);
    if (n <= 0) return 0;
    assembler.Add(std::span(chunk).first(static_cast<std::size_t>(n)));
  }
  if (assembler.GetState() != CServicePacketAssembler::State::Complete) return 0;
  header = assembler.Header();
  const std::span<const std::uint8_t> received = assembler.Payload();
  payload.assign(received.begin(), received.end());
  return assembler.ReceivedBytes();
}
