#pragma once
// Little-endian field access for the readers of untrusted files. The loads do
// not check bounds: every caller proves the range with Fits() first.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace pictures {

// [offset, offset + length) lies inside a buffer of `size` bytes; 64-bit so a
// 32-bit field from a file cannot wrap the sum.
constexpr bool Fits(std::uint64_t size, std::uint64_t offset, std::uint64_t length) {
  return offset <= size && length <= size - offset;
}

inline std::uint16_t LoadU16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

inline std::uint32_t LoadU32(std::span<const std::uint8_t> b, std::size_t at) {
  return LoadU16(b, at) | static_cast<std::uint32_t>(LoadU16(b, at + 2)) << 16;
}

inline std::int32_t LoadI32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::int32_t>(LoadU32(b, at));
}

// Four-character tags of RIFF chunks and signatures.
inline bool HasTag(std::span<const std::uint8_t> b, std::size_t at, std::string_view tag) {
  if (!Fits(b.size(), at, tag.size())) return false;
  for (std::size_t i = 0; i < tag.size(); ++i)
    if (b[at + i] != static_cast<std::uint8_t>(tag[i])) return false;
  return true;
}

}  // namespace pictures
