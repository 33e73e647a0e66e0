#pragma once
// The language choice: the language files of the data folder's
// "basic/Localize" and the one the user chose (Program "Language", for the
// user, else for the machine), laid over the base texts once at start, before
// the main window shows any text.

#include <string_view>

#include "app/LanguageFile.h"

// Reads the stored choice into g_CurrentLanguage, fills g_LanguageFiles and
// applies the first file whose name equals the choice (ASCII letters
// compared without case). A choice that names no file is forgotten in
// memory (the settings keep it) and the base texts stay. False only when the
// chosen file cannot be loaded; the base texts stay then too.
[[nodiscard]] bool LoadLanguageChoice();

// Fills g_LanguageFiles from the data folder's "basic/Localize": every entry
// that is not a folder and whose name ends in ".txt" in any case, named by
// the rest of its name (empty rests are skipped), in name order with ASCII
// letters compared without case.
void ScanLanguageFiles();

// Lays one language file over the global text table: keys the file has take
// its text, keys it lacks keep the base text, keys only it has are not
// added. False (table unchanged) when the file cannot be loaded.
[[nodiscard]] bool ApplyLanguageFile(const LanguageFile& file);

// Stores a new choice (empty: the base texts) for the next start and says
// so with "restartTosee"; a failed write, or a stored value that does not
// read back, shows "unexpect". g_CurrentLanguage takes the name at once;
// the texts change only at the next start.
void ChangeLanguage(std::u16string_view name);

// Stores a new skin name (empty: the default skin) for the next start and
// says so with "restartTosee"; a failed write shows "unexpect" as an error.
void ChangeSkin(std::u16string_view name);
