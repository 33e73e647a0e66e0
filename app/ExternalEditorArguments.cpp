#include "app/ExternalEditorArguments.h"

#include <system_error>

#include "platform/Utf16.h"

ExternalEditorArguments ParseExternalEditorArguments(const std::vector<std::u16string>& arguments) {
  ExternalEditorArguments parsed;
  if (arguments.empty() || arguments[0].empty()) return parsed;
  const std::u16string& first = arguments[0];
  if (first[0] == u'"') {
    parsed.mode = kExternalEditorQuotedMode;
    return parsed;
  }
  if (first.size() < 2 || first[0] != u'i' || first[1] < u'0' || first[1] > u'4') return parsed;
  parsed.mode = first[1] - u'0' + 1;
  if (arguments.size() < 2 || arguments[1].empty()) return parsed;
  const std::filesystem::path given = PathFromUtf16(arguments[1]);
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(given, error);
  // Without a working folder the path stays as the host gave it.
  parsed.exchangePath = error ? given : std::move(absolute);
  return parsed;
}
