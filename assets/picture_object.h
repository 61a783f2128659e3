#pragma once
// Builds the background's embedded picture object: the 24-byte object record
// and a version 3 compound file (512-byte sectors, 64-byte mini sectors,
// mini-stream cutoff 4096) whose root carries the Paintbrush picture class and
// the streams "\x01Ole", "\x01CompObj" and "\x01Ole10Native".

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace assets {

// `modified` is a FILETIME (100 ns since 1601) used for both record times and
// the root entry's modification time; fixed by the caller so output is reproducible.
std::vector<std::uint8_t> BuildPictureObject(std::span<const std::uint8_t> bmp_file,
                                             std::uint64_t modified);

// Compound file versions: 3 has 512-byte sectors, 4 has 4096-byte sectors.
enum class StorageVersion : std::uint16_t { V3 = 3, V4 = 4 };

// The same object in either storage version; the launcher's reader takes both.
// Throws std::length_error for a bitmap over kMaxObjectBitmapBytes.
std::vector<std::uint8_t> BuildPictureObject(std::span<const std::uint8_t> bmp_file,
                                             std::uint64_t modified, StorageVersion version);

// Keeps every length field (u32 record length, u32 native prefix) far from overflow.
inline constexpr std::size_t kMaxObjectBitmapBytes = 256u << 20;

}  // namespace assets
