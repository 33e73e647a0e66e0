#pragma once
// Temporary files: every one lives in the per-user temporary folder and is
// named prefix + seconds since 1970 + "_" + process id + "_" + counter +
// ".bftmp". Those made in a run are deleted when the run ends; those left by
// a run that did not end are deleted at a later start once two days have
// begun since they were last written (page-out files as soon as their
// process is gone). The prefix names the kind of file.

#include <ctime>
#include <filesystem>
#include <string_view>

// The per-user temporary folder; empty when it cannot be made.
[[nodiscard]] std::filesystem::path GetTempFolder();

// Creates a new, empty file with a name no other call, thread or process
// gets, puts its full path into path and remembers the name for deletion at
// exit. The caller opens it (truncating) and fills it. False (path empty)
// when the file cannot be created.
[[nodiscard]] bool MakeTempFileName(std::filesystem::path& path, std::u16string_view prefix);

// Deletes every file remembered by MakeTempFileName; errors are ignored.
void DeleteSessionTempFiles();

// Deletes the "*.bftmp" files of the temporary folder for which
// IsOldTempFile holds, and the edit pages' page-out files ("pagemem") whose
// process has ended; errors of single files are ignored.
void PurgeOldTempFiles();

// Whether a file last written at lastWrite is old at now: take the local
// calendar date of lastWrite and the local midnight that starts it; old when
// the whole days from that midnight to now exceed 1, that is when at least
// two days have begun since that date.
bool IsOldTempFile(std::time_t lastWrite, std::time_t now);
