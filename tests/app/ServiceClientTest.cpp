// The companion-service client against a stand-in service: the packets byte
// for byte, replies in pieces, damaged and missing replies, and the thread.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/ServerThread.h"
#include "app/ServiceClient.h"
#include "app/ServicePacket.h"
#include "platform/LittleEndian.h"
#include "platform/LocalSocket.h"
#include "platform/Registry.h"
#include "tests/app/AppFixture.h"
#include "tests/common/FakeServiceServer.h"

using namespace std::chrono_literals;
using Server = CFakeServiceServer;

namespace {

std::vector<std::uint8_t> UpdatePayload(std::uint16_t version, std::size_t size = 402) {
  std::vector<std::uint8_t> payload(size, 0);
  StoreLE16(payload.data(), version);
  const char16_t notes[] = u"Faster";
  for (std::size_t i = 0; notes[i] && 2 + 2 * i + 1 < size; ++i)
    StoreLE16(payload.data() + 2 + 2 * i, notes[i]);
  return payload;
}

class ServiceClientTest : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    client.port = server.Port();
    client.timeout = 2s;
    client.resultSink = [this](std::uint64_t result) {
      std::lock_guard guard(lock);
      results.push_back(result);
    };
  }
  void TearDown() override {
    client.Stop();
    AppFixture::TearDown();
  }
  std::vector<std::uint64_t> Results() {
    std::lock_guard guard(lock);
    return results;
  }

  Server server;
  CServerThread client;
  std::mutex lock;
  std::vector<std::uint64_t> results;
};

}  // namespace

TEST_F(ServiceClientTest, TheUpdateCheckAndTheRecordsRequestsByteForByte) {
  ASSERT_TRUE(SetRegDword(u"Program", u"LastCheckVersion", 57));
  client.CheckForUpdate();
  client.FetchInfoRecords();
  ASSERT_TRUE(server.WaitForConnections(2, 5s));
  const std::vector<Server::Packet> packets = server.Packets();
  ASSERT_EQ(packets.size(), 2u);

  std::vector<std::uint8_t> update = {'S', 'E', 'N', 'T', 201, 0, 68,   0,    0,   0, 0,
                                      68,  0,   0,   0,   0,   0, 0x64, 0x01, 100, 0};  // 356, then v = 100
  update.resize(85, 0);
  EXPECT_EQ(packets[0].bytes, update);
  const std::vector<std::uint8_t> records = {'S', 'E', 'N', 'T', 205, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(packets[1].bytes, records);
  EXPECT_TRUE(Results().empty()) << "the stand-in closed without answering";
}

TEST_F(ServiceClientTest, OnlyANewerVersionIsOffered) {
  struct Case {
    std::uint32_t stored;
    bool storedAtAll;
    std::uint16_t sent;
    std::uint16_t offered;
    bool accepted;
  };
  const Case cases[] = {
      {0, false, 100, 101, true},  {57, true, 100, 100, false},           {250, true, 250, 250, false},
      {250, true, 250, 251, true}, {0x10000 + 300, true, 300, 301, true},
  };
  int connection = 0;
  for (const Case& c : cases) {
    if (c.storedAtAll) {
      ASSERT_TRUE(SetRegDword(u"Program", u"LastCheckVersion", c.stored));
    }
    server.AddScript({Server::Read(), Server::Send(Server::PacketBytes(201, UpdatePayload(c.offered)))});
    const std::size_t before = Results().size();
    client.CheckForUpdate();
    ASSERT_TRUE(server.WaitForConnections(++connection, 5s));
    const std::vector<Server::Packet> packets = server.Packets();
    ASSERT_EQ(packets.size(), static_cast<std::size_t>(connection));
    EXPECT_EQ(LoadLE16(packets.back().bytes.data() + 19), c.sent) << c.stored;
    EXPECT_EQ(Results().size(), before + (c.accepted ? 1 : 0)) << c.stored;
    if (c.accepted) {
      EXPECT_EQ(LoadLE16(client.UpdateReply().data()), c.offered);
    }
  }
}

// A reply in three pieces is assembled; one of another command, one cut
// short, one announcing more than 4079 bytes and a silent service change
// nothing, and the next command still runs.
TEST_F(ServiceClientTest, RepliesInPiecesAndFaultyRepliesOnTheThread) {
  const std::vector<std::uint8_t> good = Server::PacketBytes(201, UpdatePayload(251));
  ASSERT_EQ(good.size(), 17u + 402u);
  const std::vector<std::uint8_t> first(good.begin(), good.begin() + 10);
  const std::vector<std::uint8_t> second(good.begin() + 10, good.begin() + 200);
  const std::vector<std::uint8_t> third(good.begin() + 200, good.end());
  std::vector<std::uint8_t> huge = Server::PacketBytes(201, UpdatePayload(300));
  StoreLE32(huge.data() + 6, 4080);
  std::vector<std::uint8_t> cut = Server::PacketBytes(201, UpdatePayload(300));
  cut.resize(cut.size() - 1);

  client.timeout = 300ms;
  server.AddScript({Server::Read(), Server::Send(first), Server::Pause(30ms), Server::Send(second),
                    Server::Pause(30ms), Server::Send(third)});
  server.AddScript({Server::Read(), Server::Send(Server::PacketBytes(205, UpdatePayload(400)))});
  server.AddScript({Server::Read(), Server::Send(huge)});
  server.AddScript({Server::Read(), Server::Send(cut), Server::Close()});
  server.AddScript({Server::Read()});  // silent: the client's timeout ends it
  server.AddScript(
      {Server::Read(), Server::Send(Server::PacketBytes(205, std::vector<std::uint8_t>(20, 7)))});
  ASSERT_TRUE(client.Start(true));
  for (int i = 0; i < 5; ++i) client.PostCommand(kServiceUpdateCheck);
  client.PostCommand(kServiceInfoRecords);
  client.PostCommand(999);  // ignored
  ASSERT_TRUE(server.WaitForConnections(6, 10s));
  for (int i = 0; i < 100 && Results().size() < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(Results(), (std::vector<std::uint64_t>{kServiceResultNewVersion, kServiceResultInfoRecords}));
  EXPECT_EQ(client.UpdateReply()[2], 'F') << "the reply in three pieces was taken";
  EXPECT_EQ(LoadLE16(client.UpdateReply().data()), 251) << "no later reply replaced it";
  const auto records = client.InfoRecords();
  EXPECT_EQ(records[19], 7);
  EXPECT_EQ(records[20], 0) << "bytes a short reply lacks are zero";
  // The notice is the UTF-16 text from byte 11 up to its NUL.
  EXPECT_EQ(ReadServiceNotice(records).tip, std::u16string(4, u'\u0707') + u'\u0007');
  EXPECT_EQ(server.Connections(), 6) << "command 999 made no connection";
}

TEST_F(ServiceClientTest, AShortUpdateReplyLeavesNoBytesOfAnEarlierOne) {
  server.AddScript({Server::Read(), Server::Send(Server::PacketBytes(201, UpdatePayload(300)))});
  server.AddScript({Server::Read(), Server::Send(Server::PacketBytes(201, UpdatePayload(301, 4)))});
  client.CheckForUpdate();
  client.CheckForUpdate();
  ASSERT_TRUE(server.WaitForConnections(2, 5s));
  const auto reply = client.UpdateReply();
  EXPECT_EQ(LoadLE16(reply.data()), 301);
  EXPECT_EQ(reply[2], 'F');  // from the short reply itself
  EXPECT_EQ(reply[4], 0) << "not the 'a' of the first reply";
}

TEST_F(ServiceClientTest, NoServiceOrADisabledClientEndsSilently) {
  // A port nobody listens on.
  CServerThread orphan;
  {
    Server gone;
    orphan.port = gone.Port();
  }
  orphan.timeout = 500ms;
  orphan.resultSink = [](std::uint64_t) { ADD_FAILURE() << "nothing to report"; };
  orphan.CheckForUpdate();
  orphan.FetchInfoRecords();

  // AllowUpgrade 0 for the machine: the client takes no command.
  std::filesystem::create_directories(MachineSettings().parent_path());
  std::ofstream(MachineSettings()) << "AllowUpgrade=dword:00000000\n";
  ASSERT_FALSE(ServiceClientEnabled(0));
  ASSERT_TRUE(client.Start(ServiceClientEnabled(0)));
  client.PostCommand(kServiceUpdateCheck);
  client.PostCommand(kServiceInfoRecords);
  std::this_thread::sleep_for(200ms);
  client.Stop();
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(ServiceClientTest, StopCutsAnExchangeShort) {
  client.timeout = 10s;
  server.AddScript({Server::Read(), Server::Pause(1500ms)});
  ASSERT_TRUE(client.Start(true));
  client.PostCommand(kServiceUpdateCheck);
  ASSERT_TRUE(server.WaitForConnections(0, 1s));
  for (int i = 0; i < 100 && server.Packets().empty(); ++i) std::this_thread::sleep_for(10ms);
  const auto start = std::chrono::steady_clock::now();
  client.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

// The notice's three texts follow each other from byte 11, each up to its
// NUL; a text cut by the end of the records ends there, the rest are empty.
TEST(ServiceNoticeTest, TipMessageAndLinkFollowEachOther) {
  const auto records = [](std::u16string_view texts) {
    std::array<std::uint8_t, kInfoRecordsBytes> bytes{};
    for (std::size_t i = 0; i < texts.size() && 12 + 2 * i < bytes.size(); ++i) {
      bytes[11 + 2 * i] = static_cast<std::uint8_t>(texts[i]);
      bytes[12 + 2 * i] = static_cast<std::uint8_t>(texts[i] >> 8);
    }
    return bytes;
  };
  const std::u16string nul(1, u'\0');
  const std::u16string full(832, u'x');  // 11 + 2 x 832 = 1675: no room for its NUL
  struct Case {
    std::u16string texts, tip, message, link;
  };
  const Case cases[] = {
      {u"Tips" + nul + u"Read on" + nul + u"https://a.example/", u"Tips", u"Read on", u"https://a.example/"},
      {u"Tips" + nul + nul + u"https://a.example/", u"Tips", u"", u"https://a.example/"},
      {u"Tips only", u"Tips only", u"", u""},
      {full, full, u"", u""},
      {std::u16string(831, u'y') + nul + u"z", std::u16string(831, u'y'), u"", u""},
  };
  for (const Case& c : cases) {
    const ServiceNotice notice = ReadServiceNotice(records(c.texts));
    EXPECT_EQ(notice.tip, c.tip);
    EXPECT_EQ(notice.message, c.message);
    EXPECT_EQ(notice.link, c.link);
  }
}

// The assembler on its own: every split of a reply gives the same packet.
TEST(ServicePacketTest, EverySplitAssemblesTheSameReply) {
  const std::vector<std::uint8_t> payload = UpdatePayload(251, 40);
  std::vector<std::uint8_t> bytes = CFakeServiceServer::PacketBytes(201, payload);
  bytes.push_back(0xEE);  // beyond the packet: ignored
  for (std::size_t split = 0; split <= bytes.size(); ++split) {
    CServicePacketAssembler assembler;
    assembler.Add(std::span(bytes).first(split));
    assembler.Add(std::span(bytes).subspan(split));
    ASSERT_EQ(assembler.GetState(), CServicePacketAssembler::State::Complete) << split;
    EXPECT_EQ(assembler.Header().command, 201);
    EXPECT_EQ(std::vector<std::uint8_t>(assembler.Payload().begin(), assembler.Payload().end()), payload);
  }
  CServicePacketAssembler refused;
  std::vector<std::uint8_t> header = CFakeServiceServer::PacketBytes(201, {});
  StoreLE32(header.data() + 6, 4080);
  refused.Add(header);
  EXPECT_EQ(refused.GetState(), CServicePacketAssembler::State::Refused);
  EXPECT_EQ(BuildServicePacket(210, std::vector<std::uint8_t>(4357, 1)).size(), 4374u) << "no 4096-byte cut";
}
