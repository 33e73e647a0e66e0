#pragma once
// The settings dialog run from the program menu.

// Runs CSettingsDlg modally. OK switches the animations at once and stores
// the four values (Program "Animation", Editor "AutoWizard", "FilmForRAW"
// and "DbClickForEdit"); a value that cannot be stored is logged. Cancel,
// or a dialog that cannot be made, stores nothing.
void ShowSettingsDialog();
