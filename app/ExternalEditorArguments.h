#pragma once
// The command line of external-editor mode. A host program starts the
// editor as `tessera iN FILE` (N from 0 to 4) and reads FILE back when the
// process ends; the arguments come from argv, so no quotes are parsed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ExternalEditorArguments {
  // 0 a normal run; 1 to 5 from "i0" to "i4" (only 1 imports the exchange
  // file at start); 10 for a first argument that begins with a double quote.
  std::int32_t mode = 0;
  // The second argument made absolute; empty in a normal run, in mode 10
  // and when the host gave none.
  std::filesystem::path exchangePath;
};

inline constexpr std::int32_t kExternalEditorImportMode = 1;
inline constexpr std::int32_t kExternalEditorQuotedMode = 10;

// The arguments after the program name. A first argument whose first two
// characters are "i0" to "i4" selects a mode; any other first argument ("o",
// "i7", "/u", a path) is a normal run.
ExternalEditorArguments ParseExternalEditorArguments(const std::vector<std::u16string>& arguments);
