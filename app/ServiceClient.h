#pragma once
// What the main window needs of the companion-service client thread, and the
// client's rules that do not need the thread.
//
// Whether the client carries out commands is fixed before its thread starts
// (ServiceClientEnabled, from the settings read at start) and never changes
// afterwards: the main window sets the edition flag to 1 while the thread
// may be starting, so the thread must not read that flag itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/WindowMessages.h"

// Thread message to the client (wParam the command) and window message of
// its results to the main window (wParam 0 a newer version, 1 information
// records).
inline constexpr std::uint32_t kServiceMessage = WM_USER + 2088;
inline constexpr std::uint16_t kServiceUpdateCheck = 201;
inline constexpr std::uint16_t kServiceInfoRecords = 205;
inline constexpr std::uint64_t kServiceResultNewVersion = 0;
inline constexpr std::uint64_t kServiceResultInfoRecords = 1;
// The stored part of an update reply: u16 newest version in hundredths, then
// a UTF-16 text that need not be terminated.
inline constexpr std::size_t kUpdateReplyBytes = 402;
// The stored part of an information reply: 13 records of 128 bytes and 11
// further bytes; the album's notice is the UTF-16 text from byte 11.
inline constexpr std::size_t kInfoRecordsBytes = 1675;

class IServiceClient {
public:
  virtual ~IServiceClient() = default;
  virtual bool IsEnabled() const = 0;
  // Queues a command for the client thread; any thread.
  virtual void PostCommand(std::uint16_t command) = 0;
  // The last accepted update reply; the UI thread reads it once result 0
  // has arrived (the client writes it before it posts the result).
  virtual std::array<std::uint8_t, kUpdateReplyBytes> UpdateReply() const = 0;
  // The last information records, once result 1 has arrived.
  virtual std::array<std::uint8_t, kInfoRecordsBytes> InfoRecords() const { return {}; }
};

// Enabled for the plain edition (edition flag 0); the machine-wide value
// AllowUpgrade of the product key, when present, decides instead.
[[nodiscard]] bool ServiceClientEnabled(std::uint32_t publisherEdition);

// The album's notice in stored information records: UTF-16 texts one after
// another from byte 11, each ending at its NUL: the notice item's tip, the
// message its click shows and a link. A text ends at the end of the records
// as well; texts the records do not hold are empty.
struct ServiceNotice {
  std::u16string tip;
  std::u16string message;
  std::u16string link;
};
ServiceNotice ReadServiceNotice(std::span<const std::uint8_t, kInfoRecordsBytes> records);

// The version (hundredths) and the text of a stored update reply; the text
// ends at its first NUL or at the end of the reply, whichever comes first.

void ParseUpdateReply(std::span<const std::uint8_t, kUpdateReplyBytes> reply, std::uint16_t& version,
                      std::u16string& text);
