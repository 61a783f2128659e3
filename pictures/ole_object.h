#pragma once
// Reader for the embedded picture object that the background control shows:
// a 24-byte object record followed by a compound file (structured storage)
// whose "\x01Ole10Native" stream holds a length-prefixed BMP file.
// The bytes are treated as untrusted: every sector index, chain and length is
// checked against the data before use.

#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "pictures/picture.h"

namespace pictures {

// Errors are the picture readers' own: Truncated when the record, header, a
// sector or a stream reaches past the end; BadField for a malformed record,
// storage header or directory, or native data that holds no bitmap; BadData
// for a sector chain that leaves the file, loops or ends short; NotAPicture
// when there is no "\x01Ole10Native" stream.

// The bitmap file held in the object's native data: a view into `object`
// where the stream lies in one piece (as the generator writes it), otherwise
// a view of `scratch`, which then holds a copy.
std::variant<std::span<const std::uint8_t>, PictureError> ExtractObjectBitmap(
    std::span<const std::uint8_t> object, std::vector<std::uint8_t>& scratch);

// The same, always as a copy.
std::variant<std::vector<std::uint8_t>, PictureError> ExtractObjectBitmap(
    std::span<const std::uint8_t> object);

}  // namespace pictures
