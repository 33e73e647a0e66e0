#pragma once
// CUIResources: what the whole interface needs before any sprite exists: the
// data folder, the text table, the theme, the shared skin pictures with the
// text renderer, the program's hand cursor and the optional debug log.
// Built empty with the program and filled once by Init when the render
// window is created; read by every thread afterwards. The text table changes
// after Init only through the shell on the UI thread (its fixed keys and the
// language overlay), before the main window shows texts.
//
// The glyph cache lasts as long as the skins: the face never changes while
// the program runs.
//
// The data folder plays the part of the program folder: it holds "basic"
// (the base text table "resource.txt", the shared skin pictures and the
// language files in "basic/Localize"), "skin", the folders of skin variants
// ("basic.V", "skin.V") and "dialogs" (the dialog templates).
//
// The log: when the text table has the key "logpath", its value names a log
// file that every start empties; each line is the tick count in
// milliseconds as a signed decimal of at least 8 digits, a blank, the
// message and CR LF. A line is at most 2048 bytes: a longer message is cut.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/WindowHost.h"
#include "ui/DialogTemplateSet.h"
#include "ui/GlyphCache.h"
#include "ui/SkinSet.h"
#include "ui/StringTable.h"
#include "ui/UITheme.h"

class CUIResources {
public:
  // Texts the program carries itself, added after the base file.
  static constexpr std::u16string_view kErrMemText = u"Not enough memory.";
  static constexpr std::u16string_view kErrInitText = u"Can not init application.";
  static constexpr std::size_t kMaxLogLine = 2048;
  // The base text file is refused above this size.
  static constexpr std::uint64_t kMaxBaseTextBytes = CStringTable::kMaxFileBytes;

  CUIResources() = default;
  CUIResources(const CUIResources&) = delete;
  CUIResources& operator=(const CUIResources&) = delete;

  // Init over the data folder beside the executable.
  [[nodiscard]] bool Init(std::u16string_view variant);
  // Theme (with the skin variant, empty for the default), base texts, log,
  // skin pictures, the hand cursor and the dialog templates, in this order.
  // False when the base text file is missing or bad, a shared skin picture
  // is missing, the cursor cannot be made or a dialog template file is bad
  // (shown to the user with its line); the caller then shows the text of
  // "errinit" and the program does not start.
  [[nodiscard]] bool Init(const std::filesystem::path& dataFolder, std::u16string_view variant);

  // Reads basic/resource.txt of the data folder (never of a variant) whole
  // into baseText.
  [[nodiscard]] bool LoadResourceText();
  // Parses baseText into the table, adds "errmem" and "errinit" and sorts;
  // false when the base text does not parse (the table then still holds the
  // entries before the bad line and the two built-in texts).
  [[nodiscard]] bool LoadTexts();
  // Gives the hand, the colour-picker and the rotate cursors their pictures.
  [[nodiscard]] bool CreateCustomCursor();
  // Reads the templates of the data folder's "dialogs" folder (none when it
  // is missing); a bad file is shown to the user and logged.
  [[nodiscard]] bool LoadDialogTemplates();
  // Appends one line to the log when logging is on; errors are ignored.
  void WriteLog(std::string_view message) const;

  std::int32_t logEnabled = 0;
  std::filesystem::path programFolder;  // the data folder
  CStringTable texts;
  CUITheme theme;
  CSkinSet skins;
  CGlyphCache glyphs;  // single characters in the interface face (edit fields)
  CDialogTemplateSet dialogTemplates;
  std::u16string baseText;  // resource.txt, kept until exit
  CursorShape handCursor = CursorShape::Hand;
  CursorShape pickCursor = CursorShape::Crosshair;     // over pictures that are clicked to sample a colour
  CursorShape newRectCursor = CursorShape::Crosshair;  // where a crop tool draws a new rectangle
  CursorShape rotateCursor = CursorShape::SizeAll;     // where a press turns the crop or transform rectangle

private:
  std::filesystem::path m_logPath;
};

// The program's one instance, made on first use.
CUIResources& UIResources();
