#pragma once
// The program's adjustment dialogs: the progress runner behind the editor's
// RunWithProgress, the dialog host and the edit-page commands that open the
// dialogs of this folder. UI thread.

#include <cstdint>

class IDialogHost;

// The ids of the colour menu's "menuColorClick" and the exposure menu's
// "menuExSpot" entries.
inline constexpr std::int32_t kCmdWhiteBalance = 12003;
inline constexpr std::int32_t kCmdSpotMetering = 11003;
inline constexpr std::int32_t kCmdCurves = 11005;

// Installs the progress runner and the host (null keeps the one installed)
// and registers the dialogs' commands with the edit page.
void InstallAdjustDialogs(IDialogHost* host);
// Removes what InstallAdjustDialogs installed.
void UninstallAdjustDialogs();
