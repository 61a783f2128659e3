#pragma once
// The disc's files, named as the program writes them: relative to the current
// directory, backslash-separated, in any letter case ("Setup\images\x.gif").

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

// Finds the entry a literal path names, one component at a time: the exact
// spelling first, otherwise the entries equal to it ignoring ASCII case, in
// byte order of their names. Returns the POSIX path ("setup/images/x.gif")
// of the first spelling that leads to an existing entry, or nothing.
std::optional<std::string> ResolveDiscPath(std::string_view literal);

enum class FileError { NotFound, Unreadable, TooLarge };
std::string_view Describe(FileError error);

// Reads a regular file whole. A folder, FIFO, device or dangling link counts as
// not found; nothing is opened that could block.
std::variant<std::vector<std::uint8_t>, FileError> ReadDiscFile(std::string_view literal,
                                                                std::size_t max_bytes);

}  // namespace platform
