#include "app/MaskingTask.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

#include "algorithms/WorkerExitEvent.h"
#include "app/ServicePacket.h"
#include "platform/LittleEndian.h"
#include "platform/LocalSocket.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"

namespace {

constexpr std::size_t kEmailOffset = 1;
constexpr std::size_t kNameOffset = kEmailOffset + kTaskEmailField * 2;
constexpr std::size_t kMessageOffset = kNameOffset + kTaskNameField * 2;
constexpr std::size_t kJpegSizeOffset = kMessageOffset + kTaskMessageField * 2;
static_assert(kNameOffset == 129 && kMessageOffset == 257 && kJpegSizeOffset == 2305);
static_assert(kJpegSizeOffset + 4 + 2048 == kSubmitTaskRequestBytes);

void PutField(std::uint8_t* out, std::u16string_view text, std::size_t field) {
  const std::u16string cut = TruncatedText(text, field);
  for (std::size_t i = 0; i < cut.size(); ++i) StoreLE16(out + 2 * i, cut[i]);
}

}  // namespace

std::array<std::uint8_t, kSubmitTaskRequestBytes> BuildSubmitTaskRequest(const MaskingTaskCopies& task) {
  std::array<std::uint8_t, kSubmitTaskRequestBytes> request{};
  request[0] = 1;
  PutField(request.data() + kEmailOffset, task.email, kTaskEmailField);
  PutField(request.data() + kNameOffset, task.name, kTaskNameField);
  PutField(request.data() + kMessageOffset, task.message, kTaskMessageField);
  StoreLE32(request.data() + kJpegSizeOffset,
            static_cast<std::uint32_t>(std::min<std::size_t>(task.jpeg.size(), UINT32_MAX)));
  return request;
}

void SubmitMaskingTask(const MaskingTaskCopies& task, CLocalSocket& socket, std::uint16_t port,
                       std::chrono::milliseconds timeout) {
  if (!socket.Connect(port, timeout)) return;
  if (!SendServicePacket(socket, kServiceMaskingTask, BuildSubmitTaskRequest(task))) return;
  ServicePacketHeader header;
  std::vector<std::uint8_t> reply;
  if (ReceiveServicePacket(socket, header, reply) == 0) return;
  const bool accepted = header.command == kServiceMaskingTask && reply.size() > 4 && reply[0] != 0;
  if (!accepted) return;
  if (task.jpeg.empty()) {
    static_cast<void>(SendServicePacket(socket, kServiceMaskingNoImage, {}));  // nothing follows either way
    return;
  }
  const std::size_t sent = std::min(task.jpeg.size(), kMaxServiceReplyPayload);
  static_cast<void>(SendServicePacket(socket, kServiceMaskingImage,
                                      std::span(task.jpeg).first(sent)));  // nothing follows either way
}

bool StartMaskingTask(MaskingTaskCopies task, std::uint16_t port, std::chrono::milliseconds timeout) {
  auto socket = std::make_shared<CLocalSocket>();
  std::shared_ptr<CWorkerExitEvent> exit = RegisterWorkerExitEvent([socket] { socket->Abort(); });
  try {
    std::thread([task = std::move(task), socket, exit, port, timeout] {
      SubmitMaskingTask(task, *socket, port, timeout);
      socket->Close();
      if (exit) exit->Set();
    }).detach();
  } catch (const std::system_error&) {
    if (exit) exit->Set();
    return false;
  }
  return true;
}
