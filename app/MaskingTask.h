#pragma once
// What the masking-service form sends to the companion service: a task
// request (command 210) with the user's name, e-mail address, message and
// the size of the photo's JPEG; once the service accepts the task, the
// first 4079 bytes of the JPEG (command 211), or command 212 when there is
// no JPEG. The rest of a larger JPEG is not sent.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/ServerThread.h"

class CLocalSocket;

inline constexpr std::uint16_t kServiceMaskingTask = 210;
inline constexpr std::uint16_t kServiceMaskingImage = 211;
inline constexpr std::uint16_t kServiceMaskingNoImage = 212;
inline constexpr std::size_t kSubmitTaskRequestBytes = 4357;
// Field widths in UTF-16 characters, terminator included.
inline constexpr std::size_t kTaskNameField = 64;
inline constexpr std::size_t kTaskEmailField = 64;
inline constexpr std::size_t kTaskMessageField = 1024;

// The worker's own copies of the form's data.
struct MaskingTaskCopies {
  std::u16string name;
  std::u16string email;
  std::u16string message;
  std::vector<std::uint8_t> jpeg;
};

// The 210 payload; each text longer than its field keeps the field's
// length - 3 characters followed by "..".
std::array<std::uint8_t, kSubmitTaskRequestBytes> BuildSubmitTaskRequest(const MaskingTaskCopies& task);

// The whole exchange over socket, on the calling thread; nothing is
// reported. A refused or missing service ends it quietly.
void SubmitMaskingTask(const MaskingTaskCopies& task, CLocalSocket& socket, std::uint16_t port,
                       std::chrono::milliseconds timeout);

// Runs SubmitMaskingTask on a new thread of its own. The thread registers
// its exit with the render window, which cuts the exchange short when it
// goes. False when the thread cannot start.
[[nodiscard]] bool StartMaskingTask(MaskingTaskCopies task, std::uint16_t port = kServicePort,
                                    std::chrono::milliseconds timeout = kServiceTimeout);
