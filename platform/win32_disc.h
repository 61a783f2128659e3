#pragma once
// What the runtime operations do with the disc's files on Windows. Paths are
// passed to the system as the program writes them ("setup\images\help.gif"):
// relative to the current directory, and the file system ignores letter case.

#include <cstdint>
#include <string_view>

#include "platform/picture.h"

namespace platform {

// LoadPicture: "" gives the empty picture; any failure throws RuntimeError.
Picture LoadPictureOnWin32(std::string_view literal);

// Shell: starts the program through CreateProcess in the given window style
// (1: normal, with the focus), never waits for it and returns its process id.
// A failure throws RuntimeError.
std::int32_t StartProgramOnWin32(std::string_view literal, std::int16_t window_style);

// True when the pointer file is there and our own reader accepts it: the system
// loader is only handed files that passed this check.
bool IsReadablePointerFile(std::string_view literal);

// The show command for a window style of Shell; an unknown style shows normally.
int ShowCommandOfWindowStyle(std::int16_t window_style);

// A short English cause for a CreateProcess failure ("file not found", ...).
std::string_view DescribeStartError(std::uint32_t system_error);

}  // namespace platform
