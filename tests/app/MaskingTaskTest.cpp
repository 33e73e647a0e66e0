// The masking-service form and its exchange with a stand-in service.

#include <gtest/gtest.h>

#include <span>
#include <thread>
#include <vector>

#include "app/MaskingTask.h"
#include "app/SubmitTaskDlg.h"
#include "image/BgraImage16.h"
#include "platform/LittleEndian.h"
#include "platform/LocalSocket.h"
#include "platform/Registry.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/common/FakeServiceServer.h"

using namespace std::chrono_literals;
using Server = CFakeServiceServer;

namespace {

// A text field of the request payload.
std::u16string FieldText(std::span<const std::uint8_t> request, std::size_t offset, std::size_t field) {
  std::u16string text;
  for (std::size_t i = 0; i < field; ++i) {
    const char16_t c = LoadLE16(request.data() + offset + 2 * i);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::vector<std::uint8_t> Accepted() {
  return Server::PacketBytes(210, std::vector<std::uint8_t>{1, 0, 0, 0, 0});
}

MaskingTaskCopies Task(std::size_t jpegBytes) {
  MaskingTaskCopies task{u"Ann", u"a@b.c", u"Please", {}};
  for (std::size_t i = 0; i < jpegBytes; ++i) task.jpeg.push_back(static_cast<std::uint8_t>(i * 13));
  return task;
}

}  // namespace

TEST(MaskingTaskTest, TheRequestCutsLongFieldsOnly) {
  const std::u16string name63(63, u'n');
  const std::u16string message70(70, u'm');
  MaskingTaskCopies task{name63, u"x@y.z", message70, std::vector<std::uint8_t>(10000, 1)};
  const auto request = BuildSubmitTaskRequest(task);
  EXPECT_EQ(request[0], 1);
  EXPECT_EQ(FieldText(request, 1, 64), u"x@y.z");
  EXPECT_EQ(FieldText(request, 129, 64), std::u16string(61, u'n') + u"..");
  EXPECT_EQ(FieldText(request, 257, 1024), message70);
  EXPECT_EQ(LoadLE32(request.data() + 2305), 10000u);
  EXPECT_TRUE(std::all_of(request.begin() + 2309, request.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(MaskingTaskTest, AnAcceptedTaskGetsTheFirst4079BytesOfItsJpegOrCommand212) {
  Server server;
  server.AddScript({Server::Read(), Server::Send(Accepted())});
  server.AddScript({Server::Read(), Server::Send(Accepted())});
  const MaskingTaskCopies large = Task(10000);
  CLocalSocket first;
  SubmitMaskingTask(large, first, server.Port(), 2s);
  first.Close();
  CLocalSocket second;
  SubmitMaskingTask(Task(0), second, server.Port(), 2s);
  second.Close();
  ASSERT_TRUE(server.WaitForConnections(2, 5s));
  const std::vector<Server::Packet> packets = server.Packets();
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_EQ(packets[0].bytes.size(), 4374u) << "the request whole, not cut at 4096";
  EXPECT_EQ(LoadLE16(packets[0].bytes.data() + 4), 210);
  EXPECT_EQ(LoadLE32(packets[0].bytes.data() + 17 + 2305), 10000u);
  EXPECT_EQ(LoadLE16(packets[1].bytes.data() + 4), 211);
  ASSERT_EQ(packets[1].bytes.size(), 17u + 4079u);
  EXPECT_TRUE(std::equal(packets[1].bytes.begin() + 17, packets[1].bytes.end(), large.jpeg.begin()));
  EXPECT_EQ(packets[3].bytes, Server::PacketBytes(212, {}));
}

TEST(MaskingTaskTest, ARefusedOrUnansweredTaskSendsNothingMore) {
  Server server;
  const std::vector<std::vector<std::uint8_t>> replies = {
      Server::PacketBytes(210, std::vector<std::uint8_t>{0, 1, 1, 1, 1}),  // refused
      Server::PacketBytes(210, std::vector<std::uint8_t>{1, 1, 1, 1}),     // too short to accept
      Server::PacketBytes(211, std::vector<std::uint8_t>{1, 1, 1, 1, 1}),  // another command
  };
  for (const auto& reply : replies) server.AddScript({Server::Read(), Server::Send(reply)});
  server.AddScript({Server::Read(), Server::Close()});
  for (std::size_t i = 0; i < replies.size() + 1; ++i) {
    CLocalSocket socket;
    SubmitMaskingTask(Task(100), socket, server.Port(), 2s);
  }
  ASSERT_TRUE(server.WaitForConnections(4, 5s));
  const std::vector<Server::Packet> packets = server.Packets();
  ASSERT_EQ(packets.size(), 4u) << "only the requests";
  for (const Server::Packet& packet : packets) EXPECT_EQ(LoadLE16(packet.bytes.data() + 4), 210);

  // No service at all: the worker ends quietly.
  std::uint16_t nobody = 0;
  {
    Server gone;
    nobody = gone.Port();
  }
  CLocalSocket socket;
  SubmitMaskingTask(Task(100), socket, nobody, 500ms);
}

TEST(MaskingTaskTest, ParallelSubmitsAreIndependent) {
  Server server;
  constexpr int kWorkers = 6;
  for (int i = 0; i < kWorkers; ++i) server.AddScript({Server::Read(), Server::Send(Accepted())});
  std::vector<std::thread> workers;
  for (int i = 0; i < kWorkers; ++i) {
    workers.emplace_back([&server, i] {
      MaskingTaskCopies task = Task(static_cast<std::size_t>(i) * 10);
      CLocalSocket socket;
      SubmitMaskingTask(task, socket, server.Port(), 5s);
    });
  }
  for (std::thread& worker : workers) worker.join();
  ASSERT_TRUE(server.WaitForConnections(kWorkers, 10s));
  const std::vector<Server::Packet> packets = server.Packets();
  ASSERT_EQ(packets.size(), 2u * kWorkers);
  for (int connection = 0; connection < kWorkers; ++connection) {
    const auto& request = packets[2 * static_cast<std::size_t>(connection)];
    const auto& follow = packets[2 * static_cast<std::size_t>(connection) + 1];
    EXPECT_EQ(request.connection, connection);
    EXPECT_EQ(follow.connection, connection);
    const std::uint32_t size = LoadLE32(request.bytes.data() + 17 + 2305);
    EXPECT_EQ(LoadLE16(follow.bytes.data() + 4), size == 0 ? 212 : 211);
    EXPECT_EQ(follow.bytes.size(), 17u + size);
  }
}

class SubmitTaskFormTest : public MainWindowFixture {
protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ASSERT_TRUE(photo.Create(40, 30));
    std::fill(photo.Samples().begin(), photo.Samples().end(), std::uint16_t{30000});
    Open();
    Tick();
  }
  // Runs the form; the script fills it.
  std::int32_t RunForm(CSubmitTaskDlg& form) {
    form.photo = &photo;
    form.servicePort = server.Port();
    form.serviceTimeout = 2s;
    if (!form.Create(CSubmitTaskDlg::kTemplateId)) return -1;
    return form.RunModal();
  }
  // The form starts with the stored name and address; typing adds to them.
  static void ClearFields(CDialogSprite& dialog) {
    for (std::int32_t id : {CSubmitTaskDlg::kNameId, CSubmitTaskDlg::kEmailId})
      dialog.FindControl(id)->SetValue(u"");
  }
  CDialogScript& Fill(const std::u16string& name, const std::u16string& email) {
    return script->Next(CSubmitTaskDlg::kTemplateId)
        .Call(ClearFields)
        .Type(CSubmitTaskDlg::kNameId, name)
        .Type(CSubmitTaskDlg::kEmailId, email)
        .Type(CSubmitTaskDlg::kMessageId, u"Hair, please")
        .Press(CSubmitTaskDlg::kSubmitId);
  }

  CBgraImage16 photo;
  Server server;
};

TEST_F(SubmitTaskFormTest, NamesAndAddressesAreCheckedBeforeAnythingIsSent) {
  struct Case {
    std::u16string name;
    std::u16string email;
    bool valid;
  } const cases[] = {
      {u"Al", u"a@b.c", false},
      {u"Ann", u"a@bc", true},
      {u"Ann", u"abcd", false},
      {u"Ann", u"@bc", false},
  };
  int sent = 0;
  for (const Case& c : cases) {
    if (c.valid) server.AddScript({Server::Read(), Server::Send(Accepted())});
    CSubmitTaskDlg form;
    script->Next(CSubmitTaskDlg::kTemplateId)
        .Call(ClearFields)
        .Type(CSubmitTaskDlg::kNameId, c.name)
        .Type(CSubmitTaskDlg::kEmailId, c.email)
        .Press(CSubmitTaskDlg::kSubmitId)
        .Answer(kIdCancel);
    if (!c.valid) Answer(kIdOk);  // the box Submit opens, inside the form's answer
    EXPECT_EQ(RunForm(form), kIdCancel);
    if (c.valid) {
      ++sent;
      EXPECT_EQ(form.name, c.name);
      ASSERT_TRUE(server.WaitForConnections(sent, 5s));
    }
  }
  const std::string invalid = ToUtf8(UIResources().texts.TextOrEmpty(u"dlgInvalidSubmit")) + " 0 4";
  EXPECT_EQ(questions, std::vector<std::string>(3, invalid));
  const std::vector<Server::Packet> packets = server.Packets();
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(LoadLE16(packets[1].bytes.data() + 4), 211) << "the photo's JPEG follows";
  EXPECT_GT(LoadLE32(packets[0].bytes.data() + 17 + 2305), 100u);
}

TEST_F(SubmitTaskFormTest, TheNameAndAddressAreKeptWithoutAService) {
  std::uint16_t nobody = 0;
  {
    Server gone;
    nobody = gone.Port();
  }
  {
    CSubmitTaskDlg form;
    Fill(u"Ann Lee", u"ann@example.org").Answer(kIdCancel);
    form.photo = &photo;
    form.servicePort = nobody;
    form.serviceTimeout = 500ms;
    ASSERT_TRUE(form.Create(CSubmitTaskDlg::kTemplateId));
    EXPECT_EQ(form.RunModal(), kIdCancel);
  }
  std::u16string stored;
  ASSERT_TRUE(GetRegString(u"User", u"Name", u"", stored, 128, true));
  EXPECT_EQ(stored, u"Ann Lee");
  // The next form starts with them.
  CSubmitTaskDlg again;
  std::u16string shownName, shownEmail;
  script->Next(CSubmitTaskDlg::kTemplateId)
      .Call([&](CDialogSprite& dialog) {
        std::u16string buffer(128, u'\0');
        dialog.FindControl(CSubmitTaskDlg::kNameId)->GetValue(buffer);
        shownName = buffer.c_str();
        dialog.FindControl(CSubmitTaskDlg::kEmailId)->GetValue(buffer);
        shownEmail = buffer.c_str();
      })
      .Answer(kIdCancel);
  EXPECT_EQ(RunForm(again), kIdCancel);
  EXPECT_EQ(shownName, u"Ann Lee");
  EXPECT_EQ(shownEmail, u"ann@example.org");
}

TEST_F(SubmitTaskFormTest, NoPhotoNoForm) {
  CSubmitTaskDlg form;
  ASSERT_TRUE(form.Create(CSubmitTaskDlg::kTemplateId));
  EXPECT_EQ(form.RunModal(), 0);
}
