#pragma once
// Finding a disc's file on a case-sensitive file system from the name the
// program writes: relative to the current directory, backslash-separated, in
// any letter case ("Setup\images\x.gif").

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Finds the entry a literal path names, one component at a time: the exact
// spelling first, otherwise the entries equal to it ignoring ASCII case, in
// byte order of their names. Returns the POSIX path ("setup/images/x.gif")
// of the first spelling that leads to an existing entry, or nothing.
std::optional<std::string> ResolveDiscPath(std::string_view literal);

}  // namespace platform
