// A companion-service reply as it arrives in pieces: the first byte of the
// input sets the size of the pieces, the rest is the reply. Whatever the
// split, the assembler ends in the same state with the same packet, never
// takes more than 4096 bytes, and refuses a payload above 4079 bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "app/ServicePacket.h"
#include "platform/LittleEndian.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = data[0] % 32 + 1;
  const std::span<const std::uint8_t> reply(data + 1, size - 1);

  CServicePacketAssembler whole;
  whole.Add(reply);
  CServicePacketAssembler pieces;
  for (std::size_t at = 0; at < reply.size(); at += piece) {
    pieces.Add(reply.subspan(at, std::min(piece, reply.size() - at)));
  }
  FuzzCheck(whole.GetState() == pieces.GetState(), "the split does not matter");
  if (reply.size() >= kServiceHeaderBytes) {
    const std::uint32_t length = LoadLE32(reply.data() + 6);
    const bool refused = length > kMaxServiceReplyPayload;
    FuzzCheck(refused == (whole.GetState() == CServicePacketAssembler::State::Refused), "refused above 4079");
  }
  if (whole.GetState() == CServicePacketAssembler::State::Complete) {
    FuzzCheck(whole.Header().command == pieces.Header().command, "the same command");
    FuzzCheck(whole.Payload().size() == whole.Header().length, "the whole payload");
    FuzzCheck(std::equal(whole.Payload().begin(), whole.Payload().end(), pieces.Payload().begin(),
                         pieces.Payload().end()),
              "the same payload");
    FuzzCheck(std::equal(whole.Payload().begin(), whole.Payload().end(), reply.begin() + kServiceHeaderBytes),
              "the bytes after the header");
  }
  return 0;
}
