#include "assets/picture_object.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

namespace assets {
namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kDirEntrySize = 128;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::size_t kRecordSize = 24;

constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
// {0003000A-0000-0000-C000-000000000046}: the Paintbrush picture class.
constexpr std::array<std::uint8_t, 16> kPaintbrushClass = {
    0x0A, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

constexpr std::u16string_view kRootName = u"Root Entry";
constexpr std::u16string_view kOleName = u"\x01" u"Ole";
constexpr std::u16string_view kCompObjName = u"\x01" u"CompObj";
constexpr std::u16string_view kNativeName = u"\x01" u"Ole10Native";

// Little-endian appender; every field the compound file holds goes through it.
class ByteWriter {
 public:
  ByteWriter& U8(std::uint8_t v) { out_.push_back(v); return *this; }
  ByteWriter& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  ByteWriter& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ByteWriter& U64(std::uint64_t v) { return U32(v & 0xFFFFFFFF).U32(v >> 32); }
  ByteWriter& Bytes(std::span<const std::uint8_t> b) {
    out_.insert(out_.end(), b.begin(), b.end());
    return *this;
  }
  ByteWriter& Zeros(std::size_t n) { out_.resize(out_.size() + n, 0); return *this; }
  ByteWriter& PadTo(std::size_t multiple) {
    return Zeros((multiple - out_.size() % multiple) % multiple);
  }
  // Length-prefixed 8-bit string; the length counts the terminating NUL.
  ByteWriter& AnsiString(std::string_view s) {
    U32(static_cast<std::uint32_t>(s.size() + 1));
    for (char c : s) U8(static_cast<std::uint8_t>(c));
    return U8(0);
  }
  void Reserve(std::size_t n) { out_.reserve(n); }
  std::size_t size() const { return out_.size(); }
  std::vector<std::uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<std::uint8_t> out_;
};

std::uint32_t CeilDiv(std::size_t n, std::size_t d) { return static_cast<std::uint32_t>((n + d - 1) / d); }

std::vector<std::uint8_t> OleStream() {
  ByteWriter w;
  w.U32(0x02000001);              // version
  w.U32(0).U32(0).U32(0).U32(0);  // flags (embedded), link update option, reserved, no moniker
  return w.Take();
}

std::vector<std::uint8_t> CompObjStream() {
  ByteWriter w;
  w.U16(1).U16(0xFFFE).U32(0x00000A03).U32(0xFFFFFFFF).Bytes(kPaintbrushClass);
  w.AnsiString("PBrush").AnsiString("PBrush").AnsiString("PBrush");  // user type, format, program id
  w.U32(0x71B239F4).U32(0).U32(0).U32(0);  // marker, then three empty 16-bit strings
  return w.Take();
}

std::vector<std::uint8_t> NativeStream(std::span<const std::uint8_t> bmp) {
  constexpr std::size_t kTrailer = 10;
  ByteWriter w;
  w.Reserve(4 + bmp.size() + kTrailer);
  w.U32(static_cast<std::uint32_t>(bmp.size() + kTrailer)).Bytes(bmp).Zeros(kTrailer);
  return w.Take();
}

struct Stream {
  std::u16string_view name;
  std::vector<std::uint8_t> data;
  bool mini = false;
  std::uint32_t start = kEndOfChain;  // first sector, or first mini sector
};

struct Geometry {
  std::uint16_t major;
  std::uint16_t shift;
  std::uint32_t sector_size;
  std::uint32_t fat_per_sector;  // 32-bit entries in one sector
  std::uint32_t dir_per_sector;  // directory entries in one sector
};

Geometry GeometryOf(StorageVersion v) {
  const std::uint16_t shift = v == StorageVersion::V4 ? 12 : 9;
  const std::uint32_t size = 1u << shift;
  return {static_cast<std::uint16_t>(v), shift, size, size / 4, size / kDirEntrySize};
}

// Where every structure of the file lives, in the order the sectors are written.
struct Plan {
  std::uint32_t fat_sectors = 0, difat_sectors = 0, dir_sectors = 0;
  std::uint32_t minifat_sectors = 0, ministream_sectors = 0, mini_units = 0;
  std::uint32_t first_difat = kEndOfChain, first_dir = 0, first_minifat = kEndOfChain;
  std::uint32_t first_ministream = kEndOfChain, total_sectors = 0;
};

std::uint32_t DifatSectorsFor(std::uint32_t fat_sectors, const Geometry& g) {
  if (fat_sectors <= kHeaderDifatEntries) return 0;
  return CeilDiv(fat_sectors - kHeaderDifatEntries, g.fat_per_sector - 1);  // last entry links on
}

Plan PlanSectors(std::vector<Stream>& streams, std::uint32_t dir_entries, const Geometry& g) {
  Plan p;
  std::uint32_t big_sectors = 0;
  for (Stream& s : streams) {
    s.mini = s.data.size() < kMiniStreamCutoff;
    if (s.mini) {
      s.start = p.mini_units;
      p.mini_units += CeilDiv(s.data.size(), kMiniSectorSize);
    } else {
      big_sectors += CeilDiv(s.data.size(), g.sector_size);
    }
  }
  p.dir_sectors = CeilDiv(dir_entries, g.dir_per_sector);
  p.minifat_sectors = CeilDiv(p.mini_units, g.fat_per_sector);
  p.ministream_sectors = CeilDiv(std::size_t{p.mini_units} * kMiniSectorSize, g.sector_size);
  const std::uint32_t content = p.dir_sectors + p.minifat_sectors + p.ministream_sectors + big_sectors;
  // The FAT must also describe its own sectors and the DIFAT's.
  p.fat_sectors = 1;
  while (std::size_t{p.fat_sectors} * g.fat_per_sector <
         std::size_t{content} + p.fat_sectors + DifatSectorsFor(p.fat_sectors, g)) {
    ++p.fat_sectors;
  }
  p.difat_sectors = DifatSectorsFor(p.fat_sectors, g);
  std::uint32_t next = p.fat_sectors;
  if (p.difat_sectors != 0) p.first_difat = next;
  next += p.difat_sectors;
  p.first_dir = next;
  next += p.dir_sectors;
  if (p.minifat_sectors != 0) p.first_minifat = next;
  next += p.minifat_sectors;
  if (p.ministream_sectors != 0) p.first_ministream = next;
  next += p.ministream_sectors;
  for (Stream& s : streams) {
    if (s.mini) continue;
    s.start = next;
    next += CeilDiv(s.data.size(), g.sector_size);
  }
  p.total_sectors = next;
  return p;
}

void Chain(std::vector<std::uint32_t>& table, std::uint32_t first, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) table[first + i] = i + 1 == count ? kEndOfChain : first + i + 1;
}

std::vector<std::uint32_t> BuildFat(const Plan& p, const std::vector<Stream>& streams, const Geometry& g) {
  std::vector<std::uint32_t> fat(std::size_t{p.fat_sectors} * g.fat_per_sector, kFreeSect);
  std::fill_n(fat.begin(), p.fat_sectors, kFatSect);
  std::fill_n(fat.begin() + p.fat_sectors, p.difat_sectors, kDifSect);
  Chain(fat, p.first_dir, p.dir_sectors);
  if (p.minifat_sectors != 0) Chain(fat, p.first_minifat, p.minifat_sectors);
  if (p.ministream_sectors != 0) Chain(fat, p.first_ministream, p.ministream_sectors);
  for (const Stream& s : streams) {
    if (!s.mini) Chain(fat, s.start, CeilDiv(s.data.size(), g.sector_size));
  }
  return fat;
}

std::vector<std::uint32_t> BuildMiniFat(const Plan& p, const std::vector<Stream>& streams,
                                        const Geometry& g) {
  std::vector<std::uint32_t> minifat(std::size_t{p.minifat_sectors} * g.fat_per_sector, kFreeSect);
  for (const Stream& s : streams) {
    if (s.mini) Chain(minifat, s.start, CeilDiv(s.data.size(), kMiniSectorSize));
  }
  return minifat;
}

void WriteHeader(ByteWriter& w, const Plan& p, const Geometry& g) {
  w.Bytes(kSignature).Zeros(16);                       // signature, class (unused)
  w.U16(0x003E).U16(g.major).U16(0xFFFE);              // minor, major version, byte order
  w.U16(g.shift).U16(6).Zeros(6);                      // sector shift, mini sector shift
  w.U32(g.major == 3 ? 0 : p.dir_sectors);             // directory sectors (always 0 in version 3)
  w.U32(p.fat_sectors).U32(p.first_dir).U32(0);        // FAT sectors, directory start, transaction
  w.U32(kMiniStreamCutoff).U32(p.first_minifat).U32(p.minifat_sectors);
  w.U32(p.first_difat).U32(p.difat_sectors);
  for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) w.U32(i < p.fat_sectors ? i : kFreeSect);
  w.PadTo(g.sector_size);  // a version 4 header fills a whole 4096-byte sector
}

void WriteDifat(ByteWriter& w, const Plan& p, const Geometry& g) {
  std::uint32_t fat_index = kHeaderDifatEntries;
  for (std::uint32_t d = 0; d < p.difat_sectors; ++d) {
    for (std::uint32_t i = 0; i + 1 < g.fat_per_sector; ++i, ++fat_index) {
      w.U32(fat_index < p.fat_sectors ? fat_index : kFreeSect);
    }
    w.U32(d + 1 == p.difat_sectors ? kEndOfChain : p.first_difat + d + 1);
  }
}

enum class EntryType : std::uint8_t { Unused = 0, Stream = 2, Root = 5 };
constexpr std::uint8_t kBlack = 1;

struct DirEntry {
  std::u16string_view name;
  EntryType type = EntryType::Unused;
  std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  bool has_class = false;
  std::uint64_t modified = 0;
  std::uint32_t start = 0;
  std::uint64_t size = 0;
};

void WriteEntry(ByteWriter& w, const DirEntry& e) {
  const std::size_t before = w.size();
  for (char16_t c : e.name) w.U16(c);
  w.Zeros(64 - (w.size() - before));
  const bool used = e.type != EntryType::Unused;
  w.U16(used ? static_cast<std::uint16_t>((e.name.size() + 1) * 2) : 0);  // bytes incl. NUL
  w.U8(static_cast<std::uint8_t>(e.type)).U8(used ? kBlack : 0);
  w.U32(e.left).U32(e.right).U32(e.child);
  if (e.has_class) w.Bytes(kPaintbrushClass); else w.Zeros(16);
  w.U32(0).U64(0).U64(e.modified);  // state bits, creation and modification times
  w.U32(e.start).U64(e.size);
}

// Entry ids: 0 root, then the streams in order. Siblings are ordered shorter
// name first, so "\x01CompObj" is the subtree's root with "\x01Ole" on its left
// and "\x01Ole10Native" on its right; all black is a valid red-black tree.
void WriteDirectory(ByteWriter& w, const Plan& p, const std::vector<Stream>& s, std::uint64_t modified,
                    const Geometry& g) {
  const std::uint32_t kOle = 1, kCompObj = 2, kNative = 3;
  DirEntry root{kRootName, EntryType::Root};
  root.child = kCompObj;
  root.has_class = true;
  root.modified = modified;
  root.start = p.first_ministream;
  root.size = std::uint64_t{p.mini_units} * kMiniSectorSize;
  WriteEntry(w, root);
  for (std::uint32_t id = kOle; id <= kNative; ++id) {
    const Stream& st = s[id - 1];
    DirEntry e{st.name, EntryType::Stream};
    if (id == kCompObj) { e.left = kOle; e.right = kNative; }
    e.start = st.start;
    e.size = st.data.size();
    WriteEntry(w, e);
  }
  for (std::uint32_t i = kNative + 1; i < p.dir_sectors * g.dir_per_sector; ++i) WriteEntry(w, DirEntry{});
}

void WriteTable(ByteWriter& w, const std::vector<std::uint32_t>& table) {
  for (std::uint32_t v : table) w.U32(v);
}

std::vector<std::uint8_t> BuildStorage(std::span<const std::uint8_t> bmp, std::uint64_t modified,
                                       const Geometry& g) {
  std::vector<Stream> streams;
  streams.push_back({kOleName, OleStream()});
  streams.push_back({kCompObjName, CompObjStream()});
  streams.push_back({kNativeName, NativeStream(bmp)});
  const Plan p = PlanSectors(streams, 1 + static_cast<std::uint32_t>(streams.size()), g);

  ByteWriter w;
  w.Reserve(std::size_t{p.total_sectors + 1} * g.sector_size);
  WriteHeader(w, p, g);
  WriteTable(w, BuildFat(p, streams, g));
  WriteDifat(w, p, g);
  WriteDirectory(w, p, streams, modified, g);
  WriteTable(w, BuildMiniFat(p, streams, g));
  for (const Stream& s : streams) {
    if (s.mini) w.Bytes(s.data).PadTo(kMiniSectorSize);
  }
  w.PadTo(g.sector_size);
  for (const Stream& s : streams) {
    if (!s.mini) w.Bytes(s.data).PadTo(g.sector_size);
  }
  return w.Take();
}

}  // namespace

std::vector<std::uint8_t> BuildPictureObject(std::span<const std::uint8_t> bmp_file,
                                             std::uint64_t modified, StorageVersion version) {
  if (bmp_file.size() > kMaxObjectBitmapBytes) throw std::length_error("bitmap too large for the picture object");
  const std::vector<std::uint8_t> storage = BuildStorage(bmp_file, modified, GeometryOf(version));
  ByteWriter w;
  w.Reserve(kRecordSize + storage.size());
  w.U16(kRecordSize).U32(static_cast<std::uint32_t>(storage.size()));  // header and storage lengths
  w.U64(modified).U64(modified).U16(0);                                 // two file times, reserved
  w.Bytes(storage);
  return w.Take();
}

std::vector<std::uint8_t> BuildPictureObject(std::span<const std::uint8_t> bmp_file,
                                             std::uint64_t modified) {
  return BuildPictureObject(bmp_file, modified, StorageVersion::V3);
}

}  // namespace assets
