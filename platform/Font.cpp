#include "platform/Font.h"

#include <ft2build.h>

#include "platform/FontconfigReady.h"
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Utf16.h"

// fontconfig keeps its configuration until FcFini; it is released at exit,
// when no font is matched any more.
bool FontconfigReady() {
  static const bool ready = [] {
    if (FcInit() != FcTrue) return false;
    std::atexit([] { FcFini(); });
    return true;
  }();
  return ready;
}

namespace {

// FreeType's library object is not thread-safe; every use of it and of the
// faces made from it happens under this lock. Neither the lock nor the
// library is ever destroyed, so fonts that die during exit stay safe.
std::mutex& FontLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

[[nodiscard]] FT_Library Library() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    return FT_Init_FreeType(&made) == 0 ? made : nullptr;
  }();
  return library;
}

std::filesystem::path& FileOverride() {
  static auto* file = new std::filesystem::path;
  return *file;
}

// The faces fontconfig offers for characters the primary face lacks; more
// are not loaded (every other character shows the missing-glyph box).
constexpr std::size_t kMaxFaces = 8;
// Rendered glyphs kept per font before the cache starts over.
constexpr std::size_t kMaxCachedGlyphs = 4096;
// Em sizes outside this range are clamped: nothing larger fits any picture.
constexpr double kMinEm = 1.0;
constexpr double kMaxEm = 2048.0;
// The synthesised italic's shear (as FreeType's own oblique, about 12 degrees).
constexpr FT_Fixed kObliqueShear = 0x0366A;

struct LoadedFace {
  FT_Face face = nullptr;
  std::filesystem::path file;
  bool synthBold = false;
  bool synthItalic = false;

  LoadedFace() = default;
  LoadedFace(const LoadedFace&) = delete;
  LoadedFace& operator=(const LoadedFace&) = delete;
  ~LoadedFace() {
    if (face) FT_Done_Face(face);
  }
};

struct Glyph {
  std::int32_t left = 0;  // bitmap origin relative to the pen and the baseline
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t rows = 0;
  std::int32_t advance = 0;
  std::vector<std::uint8_t> bits;
};

// Windows measures a face by its OS/2 "win" ascent and descent; fonts
// without that table fall back to the horizontal header.
void FaceExtent(FT_Face face, double& ascent, double& descent) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
    return;
  }
  ascent = face->ascender;
  descent = -face->descender;
  if (ascent + descent <= 0) {
    ascent = face->units_per_EM * 0.8;
    descent = face->units_per_EM * 0.2;
  }
}

char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
  const char16_t unit = text[i++];
  if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    const char16_t low = text[i++];
    return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{low} - 0xDC00);
  }
  if (unit >= 0xD800 && unit <= 0xDFFF) return 0xFFFD;
  return unit;
}

std::unique_ptr<LoadedFace> OpenFace(const std::filesystem::path& file, int index, double em,
                                     const FontRequest& request) {
  FT_Library library = Library();
  if (!library) return nullptr;
  auto loaded = std::make_unique<LoadedFace>();
  if (FT_New_Face(library, file.c_str(), index, &loaded->face) != 0) {
    loaded->face = nullptr;
    return nullptr;
  }
  if (!(loaded->face->face_flags & FT_FACE_FLAG_SCALABLE)) return nullptr;
  const FT_F26Dot6 size = static_cast<FT_F26Dot6>(std::lround(em * 64.0));
  if (FT_Set_Char_Size(loaded->face, 0, size, 72, 72) != 0) return nullptr;
  loaded->file = file;
  loaded->synthBold = request.weight >= 600 && !(loaded->face->style_flags & FT_STYLE_FLAG_BOLD);
  loaded->synthItalic = request.italic && !(loaded->face->style_flags & FT_STYLE_FLAG_ITALIC);
  return loaded;
}

struct MatchedFile {
  std::filesystem::path file;
  int index = 0;
};

// Caller holds the font lock.
[[nodiscard]] bool MatchFont(const FontRequest& request, char32_t mustHave, MatchedFile& match) {
  if (!FontconfigReady()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  const std::string family = request.face.empty() ? std::string("sans-serif") : ToUtf8(request.face);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(request.weight, 1, 1000)));
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcCharSet* wanted = nullptr;
  if (mustHave) {
    wanted = FcCharSetCreate();
    if (wanted) {
      FcCharSetAddChar(wanted, mustHave);
      FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    }
  }
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);

  bool found = false;
  FcResult result = FcResultNoMatch;
  if (!mustHave) {
    if (FcPattern* matched = FcFontMatch(nullptr, pattern, &result)) {
      FcChar8* file = nullptr;
      if (FcPatternGetString(matched, FC_FILE, 0, &file) == FcResultMatch && file) {
        match.file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(matched, FC_INDEX, 0, &match.index) != FcResultMatch) match.index = 0;
        found = true;
      }
      FcPatternDestroy(matched);
    }
  } else if (FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result)) {
    for (int i = 0; i < sorted->nfont && !found; ++i) {
      FcCharSet* charset = nullptr;
      FcChar8* file = nullptr;
      if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &charset) != FcResultMatch ||
          !FcCharSetHasChar(charset, mustHave) ||
          FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) {
        continue;
      }
      match.file = reinterpret_cast<const char*>(file);
      if (FcPatternGetInteger(sorted->fonts[i], FC_INDEX, 0, &match.index) != FcResultMatch) match.index = 0;
      found = true;
    }
    FcFontSetDestroy(sorted);
  }
  if (wanted) FcCharSetDestroy(wanted);
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace

struct CFont::Impl {
  std::vector<std::unique_ptr<LoadedFace>> faces;  // [0] is the matched face
  bool fallbackAllowed = false;
  FontRequest request;
  double em = 14.0;
  std::int32_t ascent = 0;
  std::int32_t descent = 0;
  std::unordered_map<char32_t, std::int32_t> faceOfChar;  // fallback choice; -1 none
  std::unordered_map<std::uint64_t, Glyph> glyphs;        // key: face index << 32 | glyph index

  // Which face draws the character, and the glyph index there; false for
  // characters that take no room (C0 controls). Caller holds the lock.
  bool Locate(char32_t ch, std::size_t& faceIndex, FT_UInt& glyphIndex) {
    if (ch < 0x20) return false;
    glyphIndex = FT_Get_Char_Index(faces[0]->face, ch);
    faceIndex = 0;
    if (glyphIndex || !fallbackAllowed) return true;
    auto known = faceOfChar.find(ch);
    if (known == faceOfChar.end()) known = faceOfChar.emplace(ch, FindFallback(ch)).first;
    if (known->second > 0) {
      faceIndex = static_cast<std::size_t>(known->second);
      glyphIndex = FT_Get_Char_Index(faces[faceIndex]->face, ch);
    }
    return true;
  }

  std::int32_t FindFallback(char32_t ch) {
    for (std::size_t i = 1; i < faces.size(); ++i) {
      if (FT_Get_Char_Index(faces[i]->face, ch)) return static_cast<std::int32_t>(i);
    }
    if (faces.size() >= kMaxFaces) return -1;
    MatchedFile match;
    if (!MatchFont(request, ch, match)) return -1;
    auto face = OpenFace(match.file, match.index, em, request);
    if (!face || !FT_Get_Char_Index(face->face, ch)) return -1;
    faces.push_back(std::move(face));
    return static_cast<std::int32_t>(faces.size() - 1);
  }

  // Caller holds the lock. Null when the glyph cannot be loaded.
  const Glyph* GetGlyph(std::size_t faceIndex, FT_UInt glyphIndex) {
    const std::uint64_t key = (std::uint64_t{faceIndex} << 32) | glyphIndex;
    if (auto it = glyphs.find(key); it != glyphs.end()) return &it->second;
    if (glyphs.size() >= kMaxCachedGlyphs) glyphs.clear();

    LoadedFace& loaded = *faces[faceIndex];
    FT_Face face = loaded.face;
    if (FT_Load_Glyph(face, glyphIndex, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0) return nullptr;
    FT_GlyphSlot slot = face->glyph;
    Glyph glyph;
    glyph.advance = static_cast<std::int32_t>((slot->linearHoriAdvance + 0x8000) >> 16);
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      // Synthetic bold widens each stroke by one pixel and the advance with it.
      if (loaded.synthBold) {
        FT_Outline_EmboldenXY(&slot->outline, 64, 0);
        glyph.advance += 1;
      }
      if (loaded.synthItalic) {
        FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
      }
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.buffer) {
      glyph.left = slot->bitmap_left;
      glyph.top = slot->bitmap_top;
      glyph.width = static_cast<std::int32_t>(bitmap.width);
      glyph.rows = static_cast<std::int32_t>(bitmap.rows);
      glyph.bits.resize(std::size_t(glyph.width) * glyph.rows);
      for (std::int32_t y = 0; y < glyph.rows; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        std::copy(row, row + glyph.width, glyph.bits.begin() + std::ptrdiff_t(y) * glyph.width);
      }
    }
    return &glyphs.emplace(key, std::move(glyph)).first->second;
  }
};

namespace {

// Caller holds the lock.
std::unique_ptr<CFont::Impl> BuildImpl(const std::filesystem::path& file, int index,
                                       const FontRequest& request, bool fallbackAllowed) {
  auto impl = std::make_unique<CFont::Impl>();
  impl->request = request;
  impl->fallbackAllowed = fallbackAllowed;
  const std::int32_t height = request.height == 0 ? 14 : request.height;

  // Measure the face at its design size first, then size it.
  auto probe = OpenFace(file, index, 64.0, request);
  if (!probe) return nullptr;
  double ascent = 0, descent = 0;
  FaceExtent(probe->face, ascent, descent);
  const double unitsPerEm = probe->face->units_per_EM ? probe->face->units_per_EM : 2048;
  probe.reset();

  if (height > 0) {
    impl->em = std::clamp(height * unitsPerEm / (ascent + descent), kMinEm, kMaxEm);
    impl->ascent = static_cast<std::int32_t>(std::lround(height * ascent / (ascent + descent)));
    impl->descent = height - impl->ascent;
  } else {
    impl->em = std::clamp(-static_cast<double>(height), kMinEm, kMaxEm);
    impl->ascent = static_cast<std::int32_t>(std::lround(ascent * impl->em / unitsPerEm));
    impl->descent = static_cast<std::int32_t>(std::lround(descent * impl->em / unitsPerEm));
  }
  auto face = OpenFace(file, index, impl->em, request);
  if (!face) return nullptr;
  impl->faces.push_back(std::move(face));
  return impl;
}

}  // namespace

CFont::CFont(std::unique_ptr<Impl> impl, FontRequest request)
    : m_impl(std::move(impl)), m_request(std::move(request)) {}

CFont::~CFont() {
  std::lock_guard lock(FontLock());
  m_impl.reset();
}

std::unique_ptr<CFont> CFont::Create(const FontRequest& request) {
  std::lock_guard lock(FontLock());
  MatchedFile match;
  bool fallbackAllowed = true;
  if (!FileOverride().empty()) {
    match.file = FileOverride();
    fallbackAllowed = false;
  } else if (!MatchFont(request, 0, match)) {
    return nullptr;
  }
  auto impl = BuildImpl(match.file, match.index, request, fallbackAllowed);
  if (!impl) return nullptr;
  return std::unique_ptr<CFont>(new CFont(std::move(impl), request));
}

std::unique_ptr<CFont> CFont::CreateFromFile(const std::filesystem::path& file, const FontRequest& request) {
  std::lock_guard lock(FontLock());
  auto impl = BuildImpl(file, 0, request, false);
  if (!impl) return nullptr;
  return std::unique_ptr<CFont>(new CFont(std::move(impl), request));
}

Size CFont::MeasureText(std::u16string_view text) const {
  std::lock_guard lock(FontLock());
  std::int64_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t faceIndex = 0;
    FT_UInt glyphIndex = 0;
    if (!m_impl->Locate(NextCodePoint(text, i), faceIndex, glyphIndex)) continue;
    if (const Glyph* glyph = m_impl->GetGlyph(faceIndex, glyphIndex)) width += glyph->advance;
  }
  return {static_cast<std::int32_t>(std::min<std::int64_t>(width, INT32_MAX)),
          m_impl->ascent + m_impl->descent};
}

void CFont::DrawText(std::u16string_view text, std::span<std::uint8_t> coverage, std::int32_t width,
                     std::int32_t height, std::size_t stride) const {
  if (width <= 0 || height <= 0 || stride < static_cast<std::size_t>(width) ||
      coverage.size() < stride * static_cast<std::size_t>(height - 1) + static_cast<std::size_t>(width)) {
    return;
  }
  std::lock_guard lock(FontLock());
  std::int64_t pen = 0;
  const std::int32_t baseline = m_impl->ascent;
  for (std::size_t i = 0; i < text.size() && pen < width;) {
    std::size_t faceIndex = 0;
    FT_UInt glyphIndex = 0;
    if (!m_impl->Locate(NextCodePoint(text, i), faceIndex, glyphIndex)) continue;
    const Glyph* glyph = m_impl->GetGlyph(faceIndex, glyphIndex);
    if (!glyph) continue;
    const std::int64_t x0 = pen + glyph->left;
    const std::int64_t y0 = std::int64_t{baseline} - glyph->top;
    for (std::int32_t gy = 0; gy < glyph->rows; ++gy) {
      const std::int64_t y = y0 + gy;
      if (y < 0 || y >= height) continue;
      std::uint8_t* row = coverage.data() + static_cast<std::size_t>(y) * stride;
      const std::uint8_t* source = glyph->bits.data() + std::size_t(gy) * glyph->width;
      for (std::int32_t gx = 0; gx < glyph->width; ++gx) {
        const std::int64_t x = x0 + gx;
        if (x < 0 || x >= width || source[gx] == 0) continue;
        const int a = row[x];
        const int b = source[gx];
        row[x] = static_cast<std::uint8_t>(a + b - (a * b + 127) / 255);
      }
    }
    pen += glyph->advance;
  }
}

std::int32_t CFont::Height() const { return m_impl->ascent + m_impl->descent; }

std::int32_t CFont::Ascent() const { return m_impl->ascent; }

const std::filesystem::path& CFont::FilePath() const { return m_impl->faces[0]->file; }

void SetFontFileOverride(const std::filesystem::path& file) {
  std::lock_guard lock(FontLock());
  FileOverride() = file;
}
