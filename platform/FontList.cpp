#include "platform/FontList.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "platform/FontconfigReady.h"
#include "platform/Utf16.h"

namespace {

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct ObjectSetDeleter {
  void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

bool HasLatinLetters(FcPattern* font) {
  FcCharSet* characters = nullptr;
  if (FcPatternGetCharSet(font, FC_CHARSET, 0, &characters) != FcResultMatch || !characters) return false;
  for (FcChar32 c = 'A'; c <= 'Z'; ++c) {
    if (!FcCharSetHasChar(characters, c) || !FcCharSetHasChar(characters, c + 32)) return false;
  }
  return true;
}

}  // namespace

std::vector<std::u16string> ListFontFamilies() {
  std::vector<std::u16string> families;
  if (!FontconfigReady()) return families;
  std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
  std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
      FcObjectSetBuild(FC_FAMILY, FC_SCALABLE, FC_CHARSET, nullptr));
  if (!pattern || !objects) return families;
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  std::unique_ptr<FcFontSet, FontSetDeleter> fonts(FcFontList(nullptr, pattern.get(), objects.get()));
  if (!fonts) return families;
  for (int i = 0; i < fonts->nfont; ++i) {
    FcPattern* font = fonts->fonts[i];
    FcChar8* family = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &family) != FcResultMatch || !family) continue;
    if (!HasLatinLetters(font)) continue;
    std::u16string name = FromUtf8(std::string_view(reinterpret_cast<const char*>(family)));
    if (name.empty() || std::find(families.begin(), families.end(), name) != families.end()) continue;
    families.push_back(std::move(name));
  }
  return families;
}
