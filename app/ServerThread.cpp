#include "app/ServerThread.h"

#include <algorithm>
#include <system_error>

#include "platform/LittleEndian.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/UiQueue.h"
#include "ui/RenderWindow.h"

CServerThread::~CServerThread() { Stop(); }

bool CServerThread::Start(bool enabled) {
  if (m_thread.joinable()) return false;
  m_enabled = enabled;
  {
    std::lock_guard guard(m_lock);
    m_stopping = false;
  }
  try {
    m_thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void CServerThread::Stop() {
  {
    std::lock_guard guard(m_lock);
    m_stopping = true;
    m_commands.clear();
  }
  m_socket.Abort();
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void CServerThread::PostCommand(std::uint16_t command) {
  {
    std::lock_guard guard(m_lock);
    if (m_stopping) return;
    m_commands.push_back(command);
  }
  m_wake.notify_one();
}

std::array<std::uint8_t, kUpdateReplyBytes> CServerThread::UpdateReply() const {
  std::lock_guard guard(m_replyLock);
  return m_updateReply;
}

std::array<std::uint8_t, kInfoRecordsBytes> CServerThread::InfoRecords() const {
  std::lock_guard guard(m_replyLock);
  return m_infoRecords;
}

void CServerThread::Run() {
  for (;;) {
    std::uint16_t command = 0;
    {
      std::unique_lock lock(m_lock);
      m_wake.wait(lock, [this] { return m_stopping || !m_commands.empty(); });
      if (m_stopping) return;
      command = m_commands.front();
      m_commands.pop_front();
    }
    OnServiceCommand(command);
  }
}

void CServerThread::OnServiceCommand(std::uint16_t command) {
  if (!m_enabled) return;
  if (command == kServiceUpdateCheck) {
    CheckForUpdate();
  } else if (command == kServiceInfoRecords) {
    FetchInfoRecords();
  }
}

std::array<std::uint8_t, kUpdateRequestBytes> CServerThread::UpdateRequest(std::uint16_t& version) {
  const std::uint32_t stored = GetRegDword(RegistryProfile::kLastCheckVersion.section,
                                           RegistryProfile::kLastCheckVersion.name, 0, true);
  version = stored >= kLeastCheckVersion ? static_cast<std::uint16_t>(stored & 0xFFFF) : kLeastCheckVersion;
  std::array<std::uint8_t, kUpdateRequestBytes> request{};
  StoreLE16(request.data(), kUpdateRequestMark);
  StoreLE16(request.data() + 2, version);
  return request;
}

void CServerThread::CheckForUpdate() {
  std::uint16_t version = 0;
  const std::array<std::uint8_t, kUpdateRequestBytes> request = UpdateRequest(version);
  ServicePacketHeader header;
  std::vector<std::uint8_t> reply;
  if (!Exchange(kServiceUpdateCheck, request, header, reply)) return;
  if (header.command != kServiceUpdateCheck || reply.size() < 2) return;
  if (LoadLE16(reply.data()) <= version) return;
  {
    // Bytes the reply lacks are zero, never those of an earlier reply.
    std::lock_guard guard(m_replyLock);
    m_updateReply.fill(0);
    std::copy_n(reply.begin(), std::min(reply.size(), m_updateReply.size()), m_updateReply.begin());
  }
  Report(kServiceResultNewVersion);
}

void CServerThread::FetchInfoRecords() {
  ServicePacketHeader header;
  std::vector<std::uint8_t> reply;
  if (!Exchange(kServiceInfoRecords, {}, header, reply)) return;
  if (header.command != kServiceInfoRecords) return;
  {
    std::lock_guard guard(m_replyLock);
    m_infoRecords.fill(0);
    std::copy_n(reply.begin(), std::min(reply.size(), m_infoRecords.size()), m_infoRecords.begin());
  }
  Report(kServiceResultInfoRecords);
}

bool CServerThread::Exchange(std::uint16_t command, std::span<const std::uint8_t> request,
                             ServicePacketHeader& header, std::vector<std::uint8_t>& reply) {
  if (!m_socket.Connect(port, timeout)) return false;
  bool stopping = false;
  {
    std::lock_guard guard(m_lock);
    stopping = m_stopping;
  }
  // A Stop that came before the connection could not cut it short.
  const bool answered = !stopping && SendServicePacket(m_socket, command, request) &&
                        ReceiveServicePacket(m_socket, header, reply) != 0;
  m_socket.Close();
  return answered;
}

void CServerThread::Report(std::uint64_t result) {
  if (resultSink) {
    resultSink(result);
    return;
  }
  if (g_RenderWindow.load() == nullptr) return;
  // A closed queue means the program is ending: nobody would read it.
  static_cast<void>(UiQueue().Post(kServiceMessage, result));
}
