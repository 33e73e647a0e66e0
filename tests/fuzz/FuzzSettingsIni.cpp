// The settings file (settings.ini). Input: u8 n, n bytes of value name, u8 m,
// m bytes of text (each byte one character), then the file. The file is read
// through the store; the text is then stored under that name in section
// "Fuzz" and must read back as it was written (up to its first NUL), while a
// value the file held under another name stays as it was.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/SettingsStore.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using Scope = CSettingsStore::Scope;

std::u16string Latin1(std::span<const std::uint8_t> bytes) {
  return std::u16string(bytes.begin(), bytes.end());
}

std::optional<std::u16string> Skin(const CSettingsStore& store) {
  std::u16string text;
  if (!store.GetString(Scope::CurrentUser, u"Program", u"Skin", text)) return std::nullopt;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  const std::u16string name = Latin1(input.Take(input.U8()));
  std::u16string text = Latin1(input.Take(input.U8()));
  const auto file = FuzzScratchFile("settings.ini");
  WriteFuzzFile(file, input.Rest());
  CSettingsStore store(file, FuzzScratchFile("machine.ini"));

  std::uint32_t number = 0;
  // Found or not, either is right for a damaged file.
  static_cast<void>(store.GetDword(Scope::CurrentUser, u"Program", u"Animation", number));
  const std::optional<std::u16string> skin = Skin(store);

  if (!store.SetString(u"Fuzz", name, text)) return 0;
  text.resize(std::min(text.size(), text.find(u'\0')));
  std::u16string back;
  FuzzCheck(store.GetString(Scope::CurrentUser, u"Fuzz", name, back) && back == text,
            "a stored text reads back");
  FuzzCheck(Skin(store) == skin, "storing one value keeps another");
  return 0;
}
