#pragma once
// Reader for the embedded picture object that the background control shows:
// a 24-byte object record followed by a compound file (structured storage)
// whose "\x01Ole10Native" stream holds a length-prefixed BMP file.
// The bytes are treated as untrusted: every sector index, chain and length is
// checked against the data before use.

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace pictures {

enum class ObjectError {
  Truncated,       // the record, header, a sector or a stream reaches past the end
  BadRecord,       // object record fields (header length, storage length) wrong
  BadHeader,       // compound file signature, version, sector shifts, counts
  BadChain,        // a sector index out of range, a loop, or a chain too short
  BadDirectory,    // directory entries malformed, or the tree loops
  NoNativeStream,  // no "\x01Ole10Native" stream under the root
  BadNativeData,   // the stream's length prefix does not fit the stream
};
std::string_view Describe(ObjectError error);

// The bitmap file held in the object's native data: a view into `object`
// where the stream lies in one piece (as the generator writes it), otherwise
// a view of `scratch`, which then holds a copy.
std::variant<std::span<const std::uint8_t>, ObjectError> ExtractObjectBitmap(
    std::span<const std::uint8_t> object, std::vector<std::uint8_t>& scratch);

// The same, always as a copy.
std::variant<std::vector<std::uint8_t>, ObjectError> ExtractObjectBitmap(
    std::span<const std::uint8_t> object);

}  // namespace pictures
