#include "pictures/ole_object.h"

#include <algorithm>
#include <array>
#include <optional>

namespace pictures {
namespace {

constexpr std::size_t kRecordSize = 24;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kMiniSectorShift = 6;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;  // above are end/free/FAT/DIFAT markers
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint8_t kStorageType = 1, kStreamType = 2, kRootType = 5;
constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::u16string_view kNativeName = u"\x01" u"Ole10Native";
constexpr std::size_t kBmpFileHeaderSize = 14;

using Bytes = std::span<const std::uint8_t>;
using Status = std::optional<PictureError>;  // empty means success

// Callers check bounds first; these only assemble little-endian values.
std::uint16_t U16(Bytes b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
std::uint32_t U32(Bytes b, std::size_t at) { return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16; }
std::uint64_t U64(Bytes b, std::size_t at) { return U32(b, at) | static_cast<std::uint64_t>(U32(b, at + 4)) << 32; }

std::uint64_t CeilShift(std::uint64_t n, std::uint32_t shift) {
  return (n >> shift) + ((n & ((std::uint64_t{1} << shift) - 1)) != 0);
}

// A stream as a list of equal-sized units (sectors or mini sectors), each
// given by its offset in the storage; every unit lies wholly inside it.
struct StreamView {
  Bytes storage;
  std::vector<std::size_t> unit_offsets;
  std::uint32_t unit_shift = 0;
  std::uint64_t size = 0;

  // Where [pos, pos + n) lies in one piece of the storage, its first byte;
  // otherwise nullptr. The caller keeps the range within `size`.
  const std::uint8_t* Contiguous(std::uint64_t pos, std::size_t n) const {
    if (n == 0) return nullptr;
    const std::size_t unit = std::size_t{1} << unit_shift;
    const std::size_t first = pos >> unit_shift, last = (pos + n - 1) >> unit_shift;
    for (std::size_t u = first; u < last; ++u)
      if (unit_offsets[u + 1] != unit_offsets[u] + unit) return nullptr;
    return storage.data() + unit_offsets[first] + (pos & (unit - 1));
  }

  // Copies [pos, pos + n) of the stream; the caller keeps it within `size`.
  void Copy(std::uint64_t pos, std::size_t n, std::uint8_t* dst) const {
    const std::size_t unit = std::size_t{1} << unit_shift;
    while (n > 0) {
      const std::size_t in_unit = pos & (unit - 1);
      const std::size_t take = std::min(n, unit - in_unit);
      const std::uint8_t* src = storage.data() + unit_offsets[pos >> unit_shift] + in_unit;
      dst = std::copy(src, src + take, dst);
      pos += take;
      n -= take;
    }
  }
};

struct Entry {
  std::uint8_t type = 0;
  std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
  Bytes name;            // UTF-16LE code units without the terminator
  bool name_ok = false;  // length even, within the field, NUL-terminated
};

// Follows a chain through `table`. Indexes at or past `present` are units the
// data does not hold (`beyond`); a chain of more than `present` units loops.
// With `expected`, the chain must have exactly that many units.
Status FollowChain(const std::vector<std::uint32_t>& table, std::uint32_t start, std::uint64_t present,
                   std::optional<std::uint64_t> expected, PictureError beyond, std::vector<std::uint32_t>* out) {
  out->clear();
  const std::uint64_t limit = expected ? std::min(*expected, present) : present;
  if (expected == 0) return std::nullopt;  // an empty stream needs no sectors, whatever its start says
  out->reserve(limit);
  for (std::uint32_t cur = start; cur != kEndOfChain; cur = table[cur]) {
    if (cur > kMaxRegularSector || cur >= table.size()) return PictureError::BadData;
    if (cur >= present) return beyond;
    if (out->size() == limit) return PictureError::BadData;  // longer than the stream, or a loop
    out->push_back(cur);
  }
  // StreamView::Copy relies on this: a stream's units cover its whole size.
  if (expected && out->size() != *expected) return PictureError::BadData;
  return std::nullopt;
}

class CompoundFile {
 public:
  explicit CompoundFile(Bytes storage) : file_(storage) {}

  Status Open() {
    if (Status s = ReadHeader()) return s;
    if (Status s = LoadFat()) return s;
    return LoadDirectory();
  }

  Status FindStream(std::u16string_view name, Entry* out) const;
  Status OpenStream(const Entry& e, StreamView* out);

 private:
  Status ReadHeader();
  Status CollectFatSectors(std::vector<std::uint32_t>* fat_sectors) const;
  Status LoadFat();
  Status LoadDirectory();
  Status LoadMiniStream();
  Entry ParseEntry(std::uint32_t id) const;
  Status RegularStream(std::uint32_t start, std::uint64_t size, std::optional<std::uint64_t> expected,
                       StreamView* out) const;

  std::size_t SectorOffset(std::uint32_t sector) const { return (std::size_t{sector} + 1) << shift_; }
  std::uint32_t SectorU32(std::uint32_t sector, std::size_t index) const {
    return U32(file_, SectorOffset(sector) + index * 4);
  }

  Bytes file_;
  std::uint16_t major_ = 0;
  std::uint32_t shift_ = 0;
  std::uint32_t present_ = 0;  // whole sectors after the header
  std::uint32_t fat_sectors_ = 0, first_dir_ = 0;
  std::uint32_t first_minifat_ = 0, minifat_sectors_ = 0;
  std::uint32_t first_difat_ = 0, difat_sectors_ = 0;
  std::vector<std::uint32_t> fat_;
  StreamView dir_;
  std::uint64_t dir_entries_ = 0;
  bool mini_loaded_ = false;
  std::vector<std::uint32_t> minifat_;
  StreamView ministream_;
};

Status CompoundFile::ReadHeader() {
  if (file_.size() < kHeaderSize) return PictureError::Truncated;
  if (!std::equal(kSignature.begin(), kSignature.end(), file_.begin())) return PictureError::BadField;
  if (std::any_of(file_.begin() + 8, file_.begin() + 24, [](std::uint8_t b) { return b != 0; })) {
    return PictureError::BadField;  // the header's class field is always zero
  }
  major_ = U16(file_, 26);
  shift_ = U16(file_, 30);
  const bool geometry_ok = (major_ == 3 && shift_ == 9) || (major_ == 4 && shift_ == 12);
  if (!geometry_ok || U16(file_, 28) != 0xFFFE || U16(file_, 32) != kMiniSectorShift) return PictureError::BadField;
  if (major_ == 3 && U32(file_, 40) != 0) return PictureError::BadField;  // version 3 has no directory count
  if (U32(file_, 56) != kMiniStreamCutoff) return PictureError::BadField;
  fat_sectors_ = U32(file_, 44);
  first_dir_ = U32(file_, 48);
  first_minifat_ = U32(file_, 60);
  minifat_sectors_ = U32(file_, 64);
  first_difat_ = U32(file_, 68);
  difat_sectors_ = U32(file_, 72);
  const std::uint64_t sectors = file_.size() >> shift_;  // including the header's own
  present_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors == 0 ? 0 : sectors - 1,
                                                                 kMaxRegularSector + std::uint64_t{1}));
  if (fat_sectors_ == 0) return PictureError::BadField;
  const std::uint64_t per_sector = (std::uint64_t{1} << shift_) / 4;
  if (fat_sectors_ > kHeaderDifatEntries + std::uint64_t{difat_sectors_} * (per_sector - 1)) {
    return PictureError::BadField;  // more FAT sectors than the DIFAT can list
  }
  if (fat_sectors_ > present_ || difat_sectors_ > present_ || minifat_sectors_ > present_) {
    return PictureError::Truncated;
  }
  return std::nullopt;
}

// The FAT's sectors: the first 109 listed in the header, the rest in a chain
// of DIFAT sectors whose last entry links to the next.
Status CompoundFile::CollectFatSectors(std::vector<std::uint32_t>* fat_sectors) const {
  const std::uint32_t per_difat = (std::uint32_t{1} << shift_) / 4 - 1;
  std::vector<bool> used(present_, false);  // a sector listed twice means a loop
  auto take = [&](std::uint32_t sector) -> Status {
    if (sector > kMaxRegularSector) return PictureError::BadData;
    if (sector >= present_) return PictureError::Truncated;
    if (used[sector]) return PictureError::BadData;
    used[sector] = true;
    return std::nullopt;
  };
  fat_sectors->reserve(fat_sectors_);
  for (std::uint32_t i = 0; i < fat_sectors_ && i < kHeaderDifatEntries; ++i) {
    const std::uint32_t sector = U32(file_, 76 + 4 * i);
    if (Status s = take(sector)) return s;
    fat_sectors->push_back(sector);
  }
  // At most difat_sectors_ DIFAT sectors are read: the header check bounds the count.
  std::uint32_t difat = first_difat_;
  while (fat_sectors->size() < fat_sectors_) {
    if (Status s = take(difat)) return s;
    for (std::uint32_t i = 0; i < per_difat && fat_sectors->size() < fat_sectors_; ++i) {
      const std::uint32_t sector = SectorU32(difat, i);
      if (Status s = take(sector)) return s;
      fat_sectors->push_back(sector);
    }
    difat = SectorU32(difat, per_difat);
  }
  return std::nullopt;
}

Status CompoundFile::LoadFat() {
  std::vector<std::uint32_t> fat_sectors;
  if (Status s = CollectFatSectors(&fat_sectors)) return s;
  const std::size_t per_sector = (std::size_t{1} << shift_) / 4;
  // Bounded by the data: each FAT sector was checked to lie inside the file.
  fat_.resize(fat_sectors.size() * per_sector);
  for (std::size_t k = 0; k < fat_sectors.size(); ++k) {
    for (std::size_t j = 0; j < per_sector; ++j) fat_[k * per_sector + j] = SectorU32(fat_sectors[k], j);
  }
  return std::nullopt;
}

Status CompoundFile::RegularStream(std::uint32_t start, std::uint64_t size, std::optional<std::uint64_t> expected,
                                   StreamView* out) const {
  std::vector<std::uint32_t> chain;
  if (Status s = FollowChain(fat_, start, present_, expected, PictureError::Truncated, &chain)) return s;
  out->storage = file_;
  out->unit_shift = shift_;
  out->size = expected ? size : std::uint64_t{chain.size()} << shift_;
  out->unit_offsets.resize(chain.size());
  std::transform(chain.begin(), chain.end(), out->unit_offsets.begin(),
                 [this](std::uint32_t s) { return SectorOffset(s); });
  return std::nullopt;
}

Status CompoundFile::LoadDirectory() {
  if (Status s = RegularStream(first_dir_, 0, std::nullopt, &dir_)) return s;
  dir_entries_ = dir_.size / kDirEntrySize;
  if (dir_entries_ == 0) return PictureError::BadData;
  const Entry root = ParseEntry(0);
  if (root.type != kRootType) return PictureError::BadField;
  return std::nullopt;
}

Entry CompoundFile::ParseEntry(std::uint32_t id) const {
  // An entry never straddles sectors: 128 divides every sector size.
  const std::uint64_t pos = std::uint64_t{id} * kDirEntrySize;
  const Bytes e = file_.subspan(dir_.unit_offsets[pos >> shift_] + (pos & ((std::uint64_t{1} << shift_) - 1)),
                                kDirEntrySize);
  Entry out;
  const std::uint16_t name_bytes = U16(e, 64);
  out.name_ok = name_bytes >= 2 && name_bytes <= 64 && name_bytes % 2 == 0 && U16(e, name_bytes - 2) == 0;
  if (out.name_ok) out.name = e.first(name_bytes - 2);
  out.type = e[66];
  out.left = U32(e, 68);
  out.right = U32(e, 72);
  out.child = U32(e, 76);
  out.start = U32(e, 116);
  // Old writers left the high half of a version 3 size unset; it is ignored there.
  out.size = major_ == 3 ? U32(e, 120) : U64(e, 120);
  return out;
}

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// Entry names compare without regard to case; only ASCII letters are folded.
bool NameEquals(Bytes utf16le, std::u16string_view name) {
  if (utf16le.size() != name.size() * 2) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (AsciiUpper(static_cast<char16_t>(U16(utf16le, 2 * i))) != AsciiUpper(name[i])) return false;
  }
  return true;
}

// Walks the whole tree of the root's children, so a loop anywhere in it is
// refused; each entry is visited at most once.
Status CompoundFile::FindStream(std::u16string_view name, Entry* out) const {
  std::vector<bool> visited(dir_entries_, false);
  std::vector<std::uint32_t> pending{ParseEntry(0).child};
  std::optional<Entry> found;
  while (!pending.empty()) {
    const std::uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoStream) continue;
    if (id == 0 || id >= dir_entries_ || visited[id]) return PictureError::BadField;
    visited[id] = true;
    const Entry e = ParseEntry(id);
    if ((e.type != kStorageType && e.type != kStreamType) || !e.name_ok) return PictureError::BadField;
    if (NameEquals(e.name, name)) {
      if (found || e.type != kStreamType) return PictureError::BadField;
      found = e;
    }
    pending.push_back(e.right);
    pending.push_back(e.left);
  }
  if (!found) return PictureError::NotAPicture;
  *out = *found;
  return std::nullopt;
}

Status CompoundFile::LoadMiniStream() {
  if (mini_loaded_) return std::nullopt;
  const Entry root = ParseEntry(0);
  if (Status s = RegularStream(root.start, root.size, CeilShift(root.size, shift_), &ministream_)) return s;
  StreamView minifat;
  const std::uint64_t minifat_bytes = std::uint64_t{minifat_sectors_} << shift_;
  if (Status s = RegularStream(first_minifat_, minifat_bytes, minifat_sectors_, &minifat)) return s;
  minifat_.resize(minifat_bytes / 4);
  for (std::size_t i = 0; i < minifat_.size(); ++i) {
    std::array<std::uint8_t, 4> b;
    minifat.Copy(i * 4, 4, b.data());
    minifat_[i] = U32(b, 0);
  }
  mini_loaded_ = true;
  return std::nullopt;
}

Status CompoundFile::OpenStream(const Entry& e, StreamView* out) {
  if (e.size >= kMiniStreamCutoff) return RegularStream(e.start, e.size, CeilShift(e.size, shift_), out);
  if (Status s = LoadMiniStream()) return s;
  std::vector<std::uint32_t> chain;
  const std::uint64_t present = CeilShift(ministream_.size, kMiniSectorShift);
  // Mini sectors past the mini stream are a bad index, not missing data: the
  // mini stream's own chain was already checked complete.
  if (Status s = FollowChain(minifat_, e.start, present, CeilShift(e.size, kMiniSectorShift),
                             PictureError::BadData, &chain)) {
    return s;
  }
  out->storage = file_;
  out->unit_shift = kMiniSectorShift;
  out->size = e.size;
  out->unit_offsets.resize(chain.size());
  const std::size_t sector_mask = (std::size_t{1} << shift_) - 1;
  std::transform(chain.begin(), chain.end(), out->unit_offsets.begin(), [&](std::uint32_t m) {
    const std::size_t pos = std::size_t{m} << kMiniSectorShift;
    return ministream_.unit_offsets[pos >> shift_] + (pos & sector_mask);
  });
  return std::nullopt;
}

// The native data: a 32-bit length, then that many bytes starting with the
// bitmap file, whose own size field says where it ends. The bitmap is viewed
// in place where its sectors follow each other, and copied to `scratch` otherwise.
std::variant<Bytes, PictureError> ReadBitmap(const StreamView& stream, std::vector<std::uint8_t>& scratch) {
  if (stream.size < 4 + kBmpFileHeaderSize) return PictureError::BadField;
  std::array<std::uint8_t, 4 + kBmpFileHeaderSize> head;
  stream.Copy(0, head.size(), head.data());
  const std::uint32_t native = U32(head, 0);
  if (native > stream.size - 4 || native < kBmpFileHeaderSize) return PictureError::BadField;
  if (head[4] != 'B' || head[5] != 'M') return PictureError::BadField;
  const std::uint32_t bmp_size = U32(head, 6);
  if (bmp_size < kBmpFileHeaderSize || bmp_size > native) return PictureError::BadField;
  if (const std::uint8_t* in_place = stream.Contiguous(4, bmp_size)) return Bytes(in_place, bmp_size);
  scratch.resize(bmp_size);
  stream.Copy(4, scratch.size(), scratch.data());
  return Bytes(scratch);
}

}  // namespace

std::variant<std::span<const std::uint8_t>, PictureError> ExtractObjectBitmap(
    std::span<const std::uint8_t> object, std::vector<std::uint8_t>& scratch) {
  if (object.size() < kRecordSize) return PictureError::Truncated;
  if (U16(object, 0) != kRecordSize) return PictureError::BadField;
  const std::uint32_t storage_size = U32(object, 2);
  if (storage_size > object.size() - kRecordSize) return PictureError::Truncated;
  CompoundFile file(object.subspan(kRecordSize, storage_size));
  if (Status s = file.Open()) return *s;
  Entry native;
  if (Status s = file.FindStream(kNativeName, &native)) return *s;
  StreamView stream;
  if (Status s = file.OpenStream(native, &stream)) return *s;
  return ReadBitmap(stream, scratch);
}

std::variant<std::vector<std::uint8_t>, PictureError> ExtractObjectBitmap(std::span<const std::uint8_t> object) {
  std::vector<std::uint8_t> scratch;
  auto bitmap = ExtractObjectBitmap(object, scratch);
  if (auto* error = std::get_if<PictureError>(&bitmap)) return *error;
  const auto bytes = std::get<std::span<const std::uint8_t>>(bitmap);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace pictures
