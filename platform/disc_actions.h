#pragma once
// What the runtime operations do with the disc's files, shared by every
// runtime on this system. Each takes a path as the program writes it.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/cursor_file.h"
#include "platform/picture.h"

namespace platform {

// LoadPicture: "" gives the empty picture; any failure throws RuntimeError.
Picture LoadPictureFile(std::string_view literal);

// Shell: starts the program, returns its task number; failure throws RuntimeError.
std::int32_t StartProgram(std::string_view literal);

// ShellExecuteA "open": hands the file to the desktop's open action
// (xdg-open). Returns a value above 32 when handed over, as the system call does.
std::intptr_t OpenDocument(std::string_view operation, std::string_view literal);

// LoadCursorFromFileA: nothing when missing, unreadable or malformed.
std::optional<CursorFile> LoadCursorFile(std::string_view literal);

}  // namespace platform
