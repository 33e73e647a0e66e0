#pragma once
// One message of the user-interface thread's queue: a posted message, a
// translated input event or a timer tick.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/Rect.h"

// An owned payload that travels with a message (a sprite message, a list of
// dropped files). It is destroyed with the message, delivered or not, so
// nothing posted can leak when the queue shuts down.
class CUiMessageData {
public:
  virtual ~CUiMessageData() = default;
  // Called on the UI thread by CUiQueue::Dispatch. A payload that handles its
  // own message (a sprite message) does so and returns true; false hands the
  // message to the installed window handler.
  virtual bool Deliver() { return false; }
};

// The payload of WM_DROPFILES: absolute paths, already checked.
class CDropFileList final : public CUiMessageData {
public:
  std::vector<std::filesystem::path> files;
};

// Modifier keys held when an input event happened.
inline constexpr std::uint32_t kModShift = 0x1;
inline constexpr std::uint32_t kModControl = 0x2;
inline constexpr std::uint32_t kModAlt = 0x4;

struct UiMessage {
  std::uint32_t message = 0;
  std::uint64_t wparam = 0;
  std::uint64_t lparam = 0;
  Point point;                  // mouse, drop: physical client pixels; WM_SIZE: the client size
  std::uint32_t modifiers = 0;  // kMod* bits of an input event
  std::uint32_t time = 0;       // TickCount when the event was queued
  std::unique_ptr<CUiMessageData> data;
};
