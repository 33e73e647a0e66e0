// Text tables and language files: UTF-16 little-endian text parsed into the
// table, once from memory and once from a file; both must agree. Laid over
// base texts as a language file, it replaces texts but adds no key.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/SystemMessage.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/StringTable.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A line that does not parse is shown to the user; here it is dropped.
  SetSystemMessageHandler([](std::u16string_view) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  CStringTable fromText;
  const bool parsed = fromText.Load(std::u16string_view(text));
  fromText.Sort();
  FuzzCheck(fromText.LookupText(u"errinit") != nullptr, "errinit always has a text");
  fromText.HasText(u"title");

  CStringTable base;
  for (const char16_t* key : {u"title", u"Album", u"", u"closeProgram"}) base.AddText(key, u"base");
  base.Sort();
  base.Overlay(fromText);
  FuzzCheck(base.Count() == 4 && base.LookupText(u"title") != nullptr, "an overlay adds and drops no key");

  const auto path = FuzzScratchFile("resource.txt");
  WriteFuzzFile(path, std::span<const std::uint8_t>(data, size));
  CStringTable fromFile;
  FuzzCheck(fromFile.Load(path) == parsed && fromFile.Count() == fromText.Count(),
            "a file parses as its text does");
  return 0;
}
