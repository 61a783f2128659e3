#include "pictures/cursor_file.h"

#include <optional>

#include "pictures/dib.h"
#include "pictures/le_bytes.h"

namespace pictures {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint32_t kAniHeaderBytes = 36;
constexpr std::uint32_t kIconFrames = 1;  // AF_ICON: frames are complete cursor files
constexpr std::uint32_t kSequence = 2;    // AF_SEQUENCE: a seq chunk orders the frames
// A step of zero jiffies would spin the animation; one jiffy is the shortest a pointer shows.
constexpr std::uint32_t kMinJiffies = 1;

// A directory entry stores each side in one byte, so a decoded frame is never
// larger than the cap.
static_assert(kMaxCursorSide >= 256);

struct Chunk {
  Bytes tag;
  Bytes data;
  bool Is(std::string_view name) const { return HasTag(tag, 0, name); }
};

using ChunkResult = std::variant<Chunk, PictureError>;

// The chunk at `at` inside `body`; moves `at` past it and its pad byte.
ChunkResult NextChunk(Bytes body, std::size_t& at) {
  if (!Fits(body.size(), at, 8)) return PictureError::Truncated;
  const std::uint32_t size = LoadU32(body, at + 4);
  if (!Fits(body.size(), at + 8, size)) return PictureError::Truncated;
  const Chunk chunk{body.subspan(at, 4), body.subspan(at + 8, size)};
  at += 8 + size;
  if (size % 2 != 0 && at < body.size()) ++at;  // a missing pad at the very end is harmless
  return chunk;
}

// The parts of an animated cursor, each found at most once.
struct AniParts {
  std::optional<Bytes> anih, rate, seq, frames;
};

std::optional<PictureError> Keep(std::optional<Bytes>& slot, Bytes data) {
  if (slot) return PictureError::BadField;  // a second copy would be ambiguous
  slot = data;
  return std::nullopt;
}

std::variant<AniParts, PictureError> FindParts(Bytes body) {
  AniParts parts;
  for (std::size_t at = 0; at < body.size();) {
    const ChunkResult next = NextChunk(body, at);
    if (const auto* e = std::get_if<PictureError>(&next)) return *e;
    const Chunk& c = std::get<Chunk>(next);
    std::optional<PictureError> error;
    if (c.Is("anih")) error = Keep(parts.anih, c.data);
    if (c.Is("rate")) error = Keep(parts.rate, c.data);
    if (c.Is("seq ")) error = Keep(parts.seq, c.data);
    if (c.Is("LIST")) {
      if (c.data.size() < 4) return PictureError::BadField;
      if (HasTag(c.data, 0, "fram")) error = Keep(parts.frames, c.data.subspan(4));
    }
    if (error) return *error;
  }
  if (!parts.anih || !parts.frames) return PictureError::BadField;
  return parts;
}

struct AniHeader {
  std::uint32_t frames = 0, steps = 0, jiffies = 0, flags = 0;
};

std::variant<AniHeader, PictureError> ReadHeader(Bytes anih) {
  if (anih.size() != kAniHeaderBytes || LoadU32(anih, 0) != kAniHeaderBytes) return PictureError::BadField;
  const AniHeader h{LoadU32(anih, 4), LoadU32(anih, 8), LoadU32(anih, 28), LoadU32(anih, 32)};
  if ((h.flags & kIconFrames) == 0) return PictureError::Unsupported;  // raw bitmap frames
  if (h.frames == 0 || h.steps == 0) return PictureError::BadField;
  if (h.frames > kMaxCursorFrames || h.steps > kMaxCursorSteps) return PictureError::TooLarge;
  return h;
}

using FrameResult = std::variant<CursorFrame, PictureError>;

// A complete CUR (hotspot from its directory) or ICO (hotspot at the corner).
FrameResult DecodeFrame(Bytes file) {
  const IconDirectoryResult dir = ReadIconDirectory(file);
  if (const auto* e = std::get_if<PictureError>(&dir)) return *e;
  const IconDirectory& d = std::get<IconDirectory>(dir);
  const IconEntry& entry = d.entries[PreferredIconEntry(d)];
  PictureResult image = DecodeIconEntry(file, entry);
  if (auto* e = std::get_if<PictureError>(&image)) return *e;
  CursorFrame frame{std::move(std::get<Image>(image))};
  if (d.kind == IconKind::Cursor) {
    frame.hotspot_x = entry.planes_or_hotspot_x;
    frame.hotspot_y = entry.bits_or_hotspot_y;
    if (frame.hotspot_x >= frame.image.width || frame.hotspot_y >= frame.image.height) return PictureError::BadField;
  }
  return frame;
}

// The icon chunks of LIST "fram", exactly `count` of them, nothing nested.
std::optional<PictureError> ReadFrames(Bytes list, std::uint32_t count, std::vector<CursorFrame>& frames) {
  for (std::size_t at = 0; at < list.size();) {
    const ChunkResult next = NextChunk(list, at);
    if (const auto* e = std::get_if<PictureError>(&next)) return *e;
    const Chunk& c = std::get<Chunk>(next);
    if (c.Is("LIST") || c.Is("RIFF")) return PictureError::BadField;
    if (!c.Is("icon")) continue;
    if (frames.size() == count) return PictureError::BadField;
    FrameResult frame = DecodeFrame(c.data);
    if (const auto* e = std::get_if<PictureError>(&frame)) return *e;
    frames.push_back(std::move(std::get<CursorFrame>(frame)));
  }
  if (frames.size() != count) return PictureError::BadField;
  return std::nullopt;
}

// One step per anih step: frames in order, or as the seq chunk lists them.
std::optional<PictureError> BuildSteps(const AniHeader& h, const AniParts& parts, std::vector<CursorStep>& steps) {
  const std::size_t table_bytes = 4 * static_cast<std::size_t>(h.steps);
  if (parts.rate && parts.rate->size() != table_bytes) return PictureError::BadField;
  if (parts.seq && parts.seq->size() != table_bytes) return PictureError::BadField;
  if ((h.flags & kSequence) != 0 && !parts.seq) return PictureError::BadField;
  if (!parts.seq && h.steps != h.frames) return PictureError::BadField;
  for (std::uint32_t i = 0; i < h.steps; ++i) {
    CursorStep step{parts.seq ? LoadU32(*parts.seq, 4 * i) : i, parts.rate ? LoadU32(*parts.rate, 4 * i) : 0};
    if (step.frame >= h.frames) return PictureError::BadField;
    if (step.jiffies == 0) step.jiffies = h.jiffies != 0 ? h.jiffies : kMinJiffies;
    steps.push_back(step);
  }
  return std::nullopt;
}

CursorResult DecodeAnimated(Bytes bytes) {
  if (!Fits(bytes.size(), 0, 12)) return PictureError::Truncated;
  if (!HasTag(bytes, 8, "ACON")) return PictureError::NotAPicture;
  const std::uint32_t riff_bytes = LoadU32(bytes, 4);
  if (riff_bytes < 4) return PictureError::BadField;
  if (!Fits(bytes.size(), 8, riff_bytes)) return PictureError::Truncated;
  const auto parts = FindParts(bytes.subspan(12, riff_bytes - 4));
  if (const auto* e = std::get_if<PictureError>(&parts)) return *e;
  const AniParts& p = std::get<AniParts>(parts);
  const auto header = ReadHeader(*p.anih);
  if (const auto* e = std::get_if<PictureError>(&header)) return *e;
  const AniHeader& h = std::get<AniHeader>(header);

  CursorFile file;
  file.steps.reserve(h.steps);  // both counts are capped by ReadHeader
  if (auto e = BuildSteps(h, p, file.steps)) return *e;
  file.frames.reserve(h.frames);
  if (auto e = ReadFrames(*p.frames, h.frames, file.frames)) return *e;
  return file;
}

}  // namespace

// No state outside the call: safe to drive from a fuzzer or several threads.
CursorResult DecodeCursorFile(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return PictureError::Empty;
  if (bytes.size() > kMaxPictureFileBytes) return PictureError::TooLarge;
  if (HasTag(bytes, 0, "RIFF")) return DecodeAnimated(bytes);
  if (!IsIconDirectory(bytes)) return PictureError::NotAPicture;
  FrameResult frame = DecodeFrame(bytes);
  if (const auto* e = std::get_if<PictureError>(&frame)) return *e;
  CursorFile file;
  file.frames.push_back(std::move(std::get<CursorFrame>(frame)));
  file.steps.push_back({0, 0});  // a still pointer: its one step never ends
  return file;
}

}  // namespace pictures
