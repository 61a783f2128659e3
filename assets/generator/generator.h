#pragma once
// Every file the generator makes, as bytes with a path relative to the build
// folder. Writing them is main()'s business.

#include <cstdint>
#include <string>
#include <vector>

#include "assets/generator/text.h"

namespace assets {

struct GeneratedFile {
  std::string path;  // e.g. "assets/hand.cur", "disc/Setup/images/help.gif"
  std::vector<std::uint8_t> bytes;
};

// Both record times of the background's picture object: fixed, so every build
// makes the same bytes (2024-01-01 00:00 UTC as a FILETIME).
inline constexpr std::uint64_t kPictureObjectTime = 133485408000000000ull;

// Jiffies (1/60 s) each hourglass frame stays up.
inline constexpr std::uint32_t kHourglassJiffies = 8;

std::vector<GeneratedFile> GenerateAll(const Fonts& fonts);

}  // namespace assets
