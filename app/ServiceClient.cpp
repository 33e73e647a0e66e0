#include "app/ServiceClient.h"

#include "platform/LittleEndian.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"

bool ServiceClientEnabled(std::uint32_t publisherEdition) {
  std::uint32_t allowUpgrade = 0;
  if (QueryRegDword(RegistryProfile::kProductKey, RegistryProfile::kAllowUpgrade, allowUpgrade, false)) {
    return allowUpgrade != 0;
  }
  return publisherEdition == 0;
}

ServiceNotice ReadServiceNotice(std::span<const std::uint8_t, kInfoRecordsBytes> records) {
  constexpr std::size_t kNoticeOffset = 11;
  ServiceNotice notice;
  std::u16string* const texts[] = {&notice.tip, &notice.message, &notice.link};
  std::size_t offset = kNoticeOffset;
  for (std::u16string* text : texts) {
    for (; offset + 1 < records.size(); offset += 2) {
      const char16_t c = LoadLE16(records.data() + offset);
      if (c == u'\0') break;
      text->push_back(c);
    }
    offset += 2;  // past the NUL
  }
  return notice;
}

void ParseUpdateReply(std::span<const std::uint8_t, kUpdateReplyBytes> reply, std::uint16_t& version,
                      std::u16string& text) {
  version = LoadLE16(reply.data());
  text.clear();
  for (std::size_t offset = 2; offset + 1 < reply.size(); offset += 2) {
    const char16_t c = LoadLE16(reply.data() + offset);
    if (c == u'\0') break;
    text.push_back(c);
  }
}
