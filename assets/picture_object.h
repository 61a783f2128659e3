#pragma once
// Builds the background's embedded picture object: the 24-byte object record
// and a version 3 compound file (512-byte sectors, 64-byte mini sectors,
// mini-stream cutoff 4096) whose root carries the Paintbrush picture class and
// the streams "\x01Ole", "\x01CompObj" and "\x01Ole10Native".

#include <cstdint>
#include <span>
#include <vector>

namespace assets {

// `modified` is a FILETIME (100 ns since 1601) used for both record times and
// the root entry's modification time; fixed by the caller so output is reproducible.
std::vector<std::uint8_t> BuildPictureObject(std::span<const std::uint8_t> bmp_file,
                                             std::uint64_t modified);

}  // namespace assets
