#pragma once
// The settings values of the program with their sections and defaults. A
// section is the key Software\Varnel\Tessera\<section> of the registry the
// values come from; on Linux, a section of the settings file. Texts carry the
// width of the field they are read into (with terminator).

#include <cstddef>
#include <cstdint>
#include <string_view>

struct RegDwordValue {
  std::u16string_view section;
  std::u16string_view name;
  std::uint32_t defaultValue;
};

struct RegTextValue {
  std::u16string_view section;
  std::u16string_view name;
  std::size_t length;
  std::u16string_view defaultText;
};

namespace RegistryProfile {

// Per user.
inline constexpr RegTextValue kProgramPath{u"Program", u"Path", 1024, u""};  // written at every start
inline constexpr RegTextValue kSkin{u"Program", u"Skin", 64, u""};
// Looked up for the machine too when the user has none.
inline constexpr RegTextValue kLanguage{u"Program", u"Language", 256, u""};
inline constexpr RegDwordValue kAnimation{u"Program", u"Animation", 0};
inline constexpr RegDwordValue kLastCheckVersion{u"Program", u"LastCheckVersion", 100};

inline constexpr RegDwordValue kAutoWizard{u"Editor", u"AutoWizard", 1};
inline constexpr RegDwordValue kFilmForRaw{u"Editor", u"FilmForRAW", 1};
inline constexpr RegDwordValue kDbClickForEdit{u"Editor", u"DbClickForEdit", 0};
inline constexpr RegDwordValue kFillR{u"Editor", u"FillR", 0};
inline constexpr RegDwordValue kFillG{u"Editor", u"FillG", 0};
inline constexpr RegDwordValue kFillB{u"Editor", u"FillB", 0};

inline constexpr RegTextValue kUserName{u"User", u"Name", 128, u""};
inline constexpr RegTextValue kUserEmail{u"User", u"Email", 128, u""};

inline constexpr RegTextValue kTextFont{u"TextTool", u"Font", 64, u"Tahoma"};
inline constexpr RegDwordValue kTextCharset{u"TextTool", u"Charset", 0};
inline constexpr RegDwordValue kTextSize{u"TextTool", u"Size", 20};
inline constexpr RegDwordValue kTextR{u"TextTool", u"R", 0};
inline constexpr RegDwordValue kTextG{u"TextTool", u"G", 0};
inline constexpr RegDwordValue kTextB{u"TextTool", u"B", 0};
inline constexpr RegDwordValue kTextUnderline{u"TextTool", u"Underline", 0};
inline constexpr RegDwordValue kTextItalic{u"TextTool", u"Italic", 0};
inline constexpr RegDwordValue kTextBold{u"TextTool", u"Bold", 0};
inline constexpr RegDwordValue kTextAntialias{u"TextTool", u"Antialias", 1};
inline constexpr RegDwordValue kTextAlignment{u"TextTool", u"Alignment", 0};
inline constexpr RegDwordValue kTextLinespace{u"TextTool", u"Linespace", 20};

// Brush tools: the value name is this name followed by the tool's registry
// name ("Repair", "Redeye", "FreePaintTool", "CameraTool").
inline constexpr RegDwordValue kPaintSize{u"PaintSettings", u"PaintSize_", 8};
inline constexpr RegDwordValue kPaintOpacity{u"PaintSettings", u"PaintOpacity_", 100};
inline constexpr RegDwordValue kPaintSoft{u"PaintSettings", u"PaintSoft_", 50};

inline constexpr RegDwordValue kFreePaintR{u"FreePaintTool", u"R", 0xFFFF};
inline constexpr RegDwordValue kFreePaintG{u"FreePaintTool", u"G", 0xFFFF};
inline constexpr RegDwordValue kFreePaintB{u"FreePaintTool", u"B", 0xFFFF};

// Machine-wide, read only.
inline constexpr RegDwordValue kPublisherEdition{u"Version", u"Carvello", 0};
// In the product key itself (the empty section). Its default depends on the
// edition, so the service client passes its own.
inline constexpr std::u16string_view kProductKey = u"";
inline constexpr std::u16string_view kAllowUpgrade = u"AllowUpgrade";

}  // namespace RegistryProfile
