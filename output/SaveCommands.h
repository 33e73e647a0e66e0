#pragma once
// The edit page's save commands, registered in its command registry at
// start-up: the save chooser (kCmdSave; 1 when it saved, which the page
// records as its saved state) and the export of the current layer
// (kCmdExportLayer).

void RegisterSaveCommands();
