#pragma once
// The per-user temporary folder and exclusive creation of unique files in it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// $TMPDIR when it is an absolute path (else /tmp) plus "tessera-<uid>".
// Created with mode 0700 when missing; an existing one must be a real folder
// (not a link) owned by this user, and is narrowed to 0700 when it is wider.
// Empty when the folder cannot be made or is not ours.
[[nodiscard]] std::filesystem::path GetUserTempFolder();

// Creates a new empty file in folder named stem + "_" + process id + "_" +
// counter + suffix. The file is created with O_EXCL, so no other thread or
// process can be handed the same name; the counter rises with every call of
// this process. Returns the bare file name, or empty when no file could be
// created (stem or suffix holding '/' or NUL, folder missing, disk full).
[[nodiscard]] std::string CreateUniqueFile(const std::filesystem::path& folder, std::string_view stem,
                                           std::string_view suffix);

// The process id CreateUniqueFile put into name when name is exactly prefix,
// decimal digits, "_", the id, "_", the counter and suffix (the form a stem
// of prefix and a number gives); 0 for any other name.
std::int64_t UniqueFileOwner(std::string_view name, std::string_view prefix, std::string_view suffix);
