// The companion service for the end-to-end test: a stand-in on an ephemeral
// port that answers the update check with version 2.51 and a note, then the
// information request with a notice (tip, message and link), prints its port
// and serves until it is ended.
//
//   tessera_fake_service

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/FakeServiceServer.h"

int main() {
  CFakeServiceServer server;
  std::vector<std::uint8_t> payload(402, 0);
  payload[0] = 251 & 0xFF;
  payload[1] = 251 >> 8;
  const char16_t note[] = u"Faster start";
  for (std::size_t i = 0; note[i]; ++i) payload[2 + 2 * i] = static_cast<std::uint8_t>(note[i]);
  server.AddScript(
      {CFakeServiceServer::Read(), CFakeServiceServer::Send(CFakeServiceServer::PacketBytes(201, payload))});
  // Three texts from byte 11 of the 1675 bytes, each ended by its NUL.
  std::vector<std::uint8_t> records(1675, 0);
  const std::u16string notice = std::u16string(u"Wedding tips") + u'\0' + u"Read the wedding guide" + u'\0' +
                                u"https://example.org/guide";
  for (std::size_t i = 0; i < notice.size(); ++i) {
    records[11 + 2 * i] = static_cast<std::uint8_t>(notice[i]);
    records[12 + 2 * i] = static_cast<std::uint8_t>(notice[i] >> 8);
  }
  server.AddScript(
      {CFakeServiceServer::Read(), CFakeServiceServer::Send(CFakeServiceServer::PacketBytes(205, records))});
  std::printf("%u\n", server.Port());
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
