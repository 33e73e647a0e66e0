// The companion service's update reply and the notice made from it: the
// first 402 bytes are the stored reply (version and a text that need not be
// terminated), the rest is the notice's pattern as a language file gives it
// (UTF-16 little-endian), filled with the version and the text.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/ServiceClient.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/TextFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, kUpdateReplyBytes> reply{};
  const std::size_t replySize = std::min(size, reply.size());
  std::copy(data, data + replySize, reply.begin());
  std::uint16_t version = 0;
  std::u16string text;
  ParseUpdateReply(reply, version, text);
  FuzzCheck(text.size() <= (kUpdateReplyBytes - 2) / 2, "the text ends with the reply");
  FuzzCheck(text.find(u'\0') == std::u16string::npos, "the text ends at its first NUL");

  std::u16string pattern((size - replySize) / 2, u'\0');
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    pattern[i] = static_cast<char16_t>(data[replySize + 2 * i] | data[replySize + 2 * i + 1] << 8);
  }
  const std::u16string notice = FormatText(pattern, {version / 100.0, text});
  // Each placeholder gives at most its field (256) or the text or a number
  // of at most 5 + 1 + 256 characters.
  FuzzCheck(notice.size() <= pattern.size() + 2 * (256 + 640) + text.size(), "the notice stays bounded");
  return 0;
}
