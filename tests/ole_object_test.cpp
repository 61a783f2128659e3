#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "assets/picture_object.h"
#include "pictures/ole_object.h"

namespace {

using assets::BuildPictureObject;
using assets::StorageVersion;
using pictures::ExtractObjectBitmap;
using pictures::ObjectError;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kTime = 0x01D1'2345'6789'ABCDull;
constexpr std::size_t kStorage = 24;  // the storage's offset inside the object
constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatMark = 0xFFFFFFFD, kDifatMark = 0xFFFFFFFC;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
const std::u16string kOle = u"\x01" u"Ole";
const std::u16string kCompObj = u"\x01" u"CompObj";
const std::u16string kNative = u"\x01" u"Ole10Native";

std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8); }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | std::uint32_t{U16(b, at + 2)} << 16; }
std::uint64_t U64(const Bytes& b, std::size_t at) { return U32(b, at) | std::uint64_t{U32(b, at + 4)} << 32; }
void Put16(Bytes& b, std::size_t at, std::uint16_t v) { b.at(at) = v & 0xFF; b.at(at + 1) = v >> 8; }
void Put32(Bytes& b, std::size_t at, std::uint32_t v) { Put16(b, at, v & 0xFFFF); Put16(b, at + 2, v >> 16); }

// A 24-bit bottom-up BMP with an asymmetric pattern and zero row padding.
Bytes MakeBmp24(int width, int height) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  const std::size_t size = 54 + stride * height;
  Bytes b(size, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(size));
  Put32(b, 10, 54);
  Put32(b, 14, 40);
  Put32(b, 18, width);
  Put32(b, 22, height);
  Put16(b, 26, 1);
  Put16(b, 28, 24);
  Put32(b, 34, static_cast<std::uint32_t>(stride * height));
  Put32(b, 38, 3780);
  Put32(b, 42, 3780);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = 54 + y * stride + x * 3;
      b[at] = static_cast<std::uint8_t>(x * 5 + y);
      b[at + 1] = static_cast<std::uint8_t>(y * 3);
      b[at + 2] = static_cast<std::uint8_t>(x ^ (y << 1));
    }
  }
  return b;
}

// Only the 14-byte file header is real: the object never looks past it.
Bytes FakeBmp(std::size_t size) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(size));
  return b;
}

const Bytes& FullBmp() {
  static const Bytes bmp = MakeBmp24(641, 480);
  return bmp;
}

const Bytes& FullObject() {
  static const Bytes object = BuildPictureObject(FullBmp(), kTime);
  return object;
}

const Bytes& SmallBmp() {
  static const Bytes bmp = MakeBmp24(5, 3);
  return bmp;
}

const Bytes& SmallObject() {
  static const Bytes object = BuildPictureObject(SmallBmp(), kTime);
  return object;
}

// Test-side view of a built object. It trusts the structure (the writer's
// output) and locates fields by object offset, so damage can be aimed.
class Layout {
 public:
  explicit Layout(const Bytes& object) : b_(object) {
    sector_size_ = std::uint32_t{1} << U16(b_, kStorage + 30);
    const std::uint32_t per_sector = sector_size_ / 4;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(FatSectors(), 109); ++i) {
      fat_sectors_.push_back(U32(b_, kStorage + 76 + 4 * i));
    }
    for (std::uint32_t d = U32(b_, kStorage + 68); fat_sectors_.size() < FatSectors();
         d = U32(b_, SectorAt(d) + 4 * (per_sector - 1))) {
      for (std::uint32_t i = 0; i + 1 < per_sector && fat_sectors_.size() < FatSectors(); ++i) {
        fat_sectors_.push_back(U32(b_, SectorAt(d) + 4 * i));
      }
    }
  }

  std::uint32_t sector_size() const { return sector_size_; }
  std::uint32_t FatSectors() const { return U32(b_, kStorage + 44); }
  std::uint32_t FatEntries() const { return FatSectors() * (sector_size_ / 4); }
  std::uint32_t SectorCount() const { return static_cast<std::uint32_t>((b_.size() - kStorage) / sector_size_ - 1); }
  std::size_t SectorAt(std::uint32_t sector) const { return kStorage + (std::size_t{sector} + 1) * sector_size_; }
  std::size_t FatAt(std::uint32_t i) const {
    const std::uint32_t per_sector = sector_size_ / 4;
    return SectorAt(fat_sectors_.at(i / per_sector)) + 4 * (i % per_sector);
  }
  std::uint32_t Fat(std::uint32_t i) const { return U32(b_, FatAt(i)); }

  std::vector<std::uint32_t> Chain(std::uint32_t start) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t s = start; s != kEnd && chain.size() <= SectorCount(); s = Fat(s)) chain.push_back(s);
    return chain;
  }
  std::size_t MiniFatAt(std::uint32_t i) const {
    const std::uint32_t per_sector = sector_size_ / 4;
    return SectorAt(Chain(U32(b_, kStorage + 60)).at(i / per_sector)) + 4 * (i % per_sector);
  }
  std::size_t EntryAt(std::uint32_t id) const {
    const std::uint32_t per_sector = sector_size_ / 128;
    return SectorAt(Chain(U32(b_, kStorage + 48)).at(id / per_sector)) + 128 * (id % per_sector);
  }
  std::uint32_t EntryCount() const { return static_cast<std::uint32_t>(Chain(U32(b_, kStorage + 48)).size()) * (sector_size_ / 128); }
  std::u16string Name(std::uint32_t id) const {
    std::u16string name;
    const std::size_t at = EntryAt(id);
    for (std::size_t i = 0; i + 2 < U16(b_, at + 64); i += 2) name.push_back(static_cast<char16_t>(U16(b_, at + i)));
    return name;
  }
  // Linear search, independent of the sibling tree.
  std::uint32_t Find(std::u16string_view name) const {
    for (std::uint32_t id = 0; id < EntryCount(); ++id) {
      if (b_[EntryAt(id) + 66] != 0 && Name(id) == name) return id;
    }
    ADD_FAILURE() << "no entry";
    return 0;
  }
  std::uint32_t Start(std::uint32_t id) const { return U32(b_, EntryAt(id) + 116); }
  std::uint32_t Size(std::uint32_t id) const { return U32(b_, EntryAt(id) + 120); }

  Bytes StreamData(std::uint32_t id) const {
    Bytes out;
    const bool mini = Size(id) < 4096;
    const std::uint32_t unit = mini ? 64 : sector_size_;
    const std::vector<std::uint32_t> root = Chain(Start(0));
    for (std::uint32_t s = Start(id); s != kEnd && out.size() < Size(id);
         s = mini ? U32(b_, MiniFatAt(s)) : Fat(s)) {
      const std::size_t at = mini ? SectorAt(root.at(s * 64 / sector_size_)) + (s * 64) % sector_size_ : SectorAt(s);
      out.insert(out.end(), b_.begin() + at, b_.begin() + at + unit);
    }
    out.resize(Size(id));
    return out;
  }

 private:
  const Bytes& b_;
  std::uint32_t sector_size_ = 0;
  std::vector<std::uint32_t> fat_sectors_;
};

std::optional<ObjectError> ErrorOf(const std::variant<Bytes, ObjectError>& r) {
  if (const ObjectError* e = std::get_if<ObjectError>(&r)) return *e;
  return std::nullopt;
}

std::string Show(std::optional<ObjectError> e) { return e ? std::string(pictures::Describe(*e)) : "success"; }

// Sibling order: shorter names first, equal lengths by upper-cased code units.
bool NameLess(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  auto up = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char16_t x, char16_t y) { return up(x) < up(y); });
}

// Checks order and red-black rules below `id`; returns the black height.
int CheckTree(const Bytes& b, const Layout& l, std::uint32_t id, std::vector<std::u16string>* names) {
  if (id == kNone) return 1;
  const std::size_t at = l.EntryAt(id);
  const std::uint32_t left = U32(b, at + 68), right = U32(b, at + 72);
  const bool black = b[at + 67] == 1;
  EXPECT_TRUE(black || b[at + 67] == 0);
  for (std::uint32_t child : {left, right}) {
    if (child != kNone) {
      EXPECT_FALSE(!black && b[l.EntryAt(child) + 67] == 0) << "red node with a red child";
    }
  }
  if (left != kNone) {
    EXPECT_TRUE(NameLess(l.Name(left), l.Name(id)));
  }
  if (right != kNone) {
    EXPECT_TRUE(NameLess(l.Name(id), l.Name(right)));
  }
  const int lh = CheckTree(b, l, left, names);
  names->push_back(l.Name(id));
  const int rh = CheckTree(b, l, right, names);
  EXPECT_EQ(lh, rh) << "unequal black heights";
  return lh + (black ? 1 : 0);
}

// Properties every built object has, whatever its size or storage version.
void ExpectWellFormed(const Bytes& b) {
  ASSERT_GE(b.size(), kStorage + 512);
  EXPECT_EQ(U16(b, 0), 24);
  EXPECT_EQ(U32(b, 2), b.size() - kStorage);
  EXPECT_EQ(U16(b, 22), 0);
  const Layout l(b);
  ASSERT_EQ((b.size() - kStorage) % l.sector_size(), 0u);
  // Every sector in the file is in use; FAT entries past the file are free.
  std::uint32_t fat_marks = 0, difat_marks = 0;
  for (std::uint32_t i = 0; i < l.FatEntries(); ++i) {
    const std::uint32_t v = l.Fat(i);
    if (i < l.SectorCount()) {
      EXPECT_NE(v, kFree) << "sector " << i;
    } else {
      EXPECT_EQ(v, kFree) << "entry " << i;
    }
    fat_marks += v == kFatMark;
    difat_marks += v == kDifatMark;
  }
  EXPECT_EQ(fat_marks, l.FatSectors());
  EXPECT_EQ(difat_marks, U32(b, kStorage + 72));
  EXPECT_LT(l.SectorCount(), l.FatEntries());
  EXPECT_GT(l.SectorCount() + l.sector_size() / 4, l.FatEntries()) << "one FAT sector too many";
  // Directory: root, the three streams in a valid sibling tree, unused entries blank.
  const std::size_t root = l.EntryAt(0);
  EXPECT_EQ(l.Name(0), u"Root Entry");
  EXPECT_EQ(b[root + 66], 5);
  EXPECT_EQ(U64(b, root + 100), 0u);
  EXPECT_EQ(U64(b, root + 108), U64(b, 14)) << "root modification time matches the record";
  std::vector<std::u16string> names;
  CheckTree(b, l, U32(b, root + 76), &names);
  EXPECT_EQ(names, (std::vector<std::u16string>{kOle, kCompObj, kNative}));
  for (std::uint32_t id = 4; id < l.EntryCount(); ++id) {
    const std::size_t at = l.EntryAt(id);
    EXPECT_TRUE(std::all_of(b.begin() + at, b.begin() + at + 68, [](std::uint8_t v) { return v == 0; }));
    EXPECT_EQ(U32(b, at + 68), kNone);
    EXPECT_EQ(U32(b, at + 72), kNone);
    EXPECT_EQ(U32(b, at + 76), kNone);
  }
}

TEST(PictureObjectWriter, FullSizeBackgroundHasTheExactLayout) {
  const Bytes& b = FullObject();
  ASSERT_EQ(FullBmp().size(), 923'574u);
  ASSERT_EQ(b.size(), 933'400u);
  // Object record.
  EXPECT_EQ(U16(b, 0), 24);
  EXPECT_EQ(U32(b, 2), 933'376u);
  EXPECT_EQ(U64(b, 6), kTime);
  EXPECT_EQ(U64(b, 14), kTime);
  // Compound file header.
  const std::size_t h = kStorage;
  const Bytes signature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), b.begin() + h));
  EXPECT_EQ(U16(b, h + 24), 0x3E);
  EXPECT_EQ(U16(b, h + 26), 3);
  EXPECT_EQ(U16(b, h + 28), 0xFFFE);
  EXPECT_EQ(U16(b, h + 30), 9);
  EXPECT_EQ(U16(b, h + 32), 6);
  EXPECT_EQ(U32(b, h + 40), 0u);
  EXPECT_EQ(U32(b, h + 44), 15u);
  EXPECT_EQ(U32(b, h + 56), 4096u);
  EXPECT_EQ(U32(b, h + 64), 1u);
  EXPECT_EQ(U32(b, h + 68), kEnd);
  EXPECT_EQ(U32(b, h + 72), 0u);
  for (std::uint32_t i = 15; i < 109; ++i) EXPECT_EQ(U32(b, h + 76 + 4 * i), kFree);
  const Layout l(b);
  EXPECT_EQ(l.SectorCount(), 1822u);
  ExpectWellFormed(b);
  // Root: the Paintbrush class, holding the mini stream of the two small streams.
  const Bytes paintbrush = {0x0A, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  EXPECT_TRUE(std::equal(paintbrush.begin(), paintbrush.end(), b.begin() + l.EntryAt(0) + 80));
  EXPECT_EQ(l.Size(0), 192u);
  // Streams, read through the test's own chain walk.
  const Bytes ole = {0x01, 0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(l.StreamData(l.Find(kOle)), ole);
  Bytes compobj = {0x01, 0x00, 0xFE, 0xFF, 0x03, 0x0A, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  compobj.insert(compobj.end(), paintbrush.begin(), paintbrush.end());
  for (int i = 0; i < 3; ++i) compobj.insert(compobj.end(), {7, 0, 0, 0, 'P', 'B', 'r', 'u', 's', 'h', 0});
  compobj.insert(compobj.end(), {0xF4, 0x39, 0xB2, 0x71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(compobj.size(), 77u);
  EXPECT_EQ(l.StreamData(l.Find(kCompObj)), compobj);
  const std::uint32_t native_id = l.Find(kNative);
  ASSERT_EQ(l.Size(native_id), 923'588u);
  EXPECT_EQ(l.Chain(l.Start(native_id)).size(), 1804u);
  const Bytes native = l.StreamData(native_id);
  EXPECT_EQ(U32(native, 0), 923'584u);
  EXPECT_TRUE(std::equal(FullBmp().begin(), FullBmp().end(), native.begin() + 4));
  EXPECT_TRUE(std::all_of(native.end() - 10, native.end(), [](std::uint8_t v) { return v == 0; }));
}

TEST(PictureObjectWriter, OutputIsDeterministic) {
  EXPECT_EQ(BuildPictureObject(FullBmp(), kTime), FullObject());
  EXPECT_EQ(BuildPictureObject(SmallBmp(), kTime), SmallObject());
  EXPECT_NE(BuildPictureObject(SmallBmp(), kTime + 1), SmallObject());
}

struct RoundTripCase {
  const char* name;
  Bytes (*bmp)();
  StorageVersion version;
  bool native_in_mini_stream;
  std::uint32_t difat_sectors;
};

const RoundTripCase kRoundTripCases[] = {
    {"5x3 picture, all in the mini stream", [] { return MakeBmp24(5, 3); }, StorageVersion::V3, true, 0},
    {"native stream one byte under the cutoff", [] { return FakeBmp(4095 - 14); }, StorageVersion::V3, true, 0},
    {"native stream exactly at the cutoff", [] { return FakeBmp(4096 - 14); }, StorageVersion::V3, false, 0},
    {"native stream fills whole sectors", [] { return FakeBmp(8 * 512 - 14); }, StorageVersion::V3, false, 0},
    {"641x480 background", [] { return MakeBmp24(641, 480); }, StorageVersion::V3, false, 0},
    {"FAT too big for the header: DIFAT sector", [] { return FakeBmp(7'500'000); }, StorageVersion::V3, false, 1},
    {"version 4, small picture", [] { return MakeBmp24(7, 2); }, StorageVersion::V4, true, 0},
    {"version 4, 641x480 background", [] { return MakeBmp24(641, 480); }, StorageVersion::V4, false, 0},
};

TEST(PictureObject, RoundTripsThroughTheReader) {
  for (const RoundTripCase& c : kRoundTripCases) {
    SCOPED_TRACE(c.name);
    const Bytes bmp = c.bmp();
    const Bytes object = BuildPictureObject(bmp, kTime, c.version);
    ExpectWellFormed(object);
    const Layout l(object);
    EXPECT_EQ(l.sector_size(), c.version == StorageVersion::V4 ? 4096u : 512u);
    EXPECT_EQ(U32(object, kStorage + 72), c.difat_sectors);
    const std::uint32_t native_units = (static_cast<std::uint32_t>(bmp.size()) + 14 + 63) / 64;
    EXPECT_EQ(l.Size(0), 64u * (1 + 2 + (c.native_in_mini_stream ? native_units : 0)));
    const auto result = ExtractObjectBitmap(object);
    ASSERT_EQ(ErrorOf(result), std::nullopt) << Show(ErrorOf(result));
    EXPECT_EQ(std::get<Bytes>(result), bmp);
    // The writer lays each stream out in one piece, so the launcher reads the
    // bitmap in place, without a copy.
    Bytes scratch;
    const auto view = ExtractObjectBitmap(object, scratch);
    ASSERT_TRUE(std::holds_alternative<std::span<const std::uint8_t>>(view));
    const auto bytes = std::get<std::span<const std::uint8_t>>(view);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), bmp.begin(), bmp.end()));
    EXPECT_TRUE(scratch.empty());
    EXPECT_TRUE(bytes.data() >= object.data() && bytes.data() + bytes.size() <= object.data() + object.size());
  }
}

using Damage = void (*)(const Layout&, Bytes&);

// Which built object a row damages.
enum class Base {
  Full,   // 641x480 background: native data in regular sectors
  Small,  // 5x3 picture: native data in the mini stream
  Difat,  // 7.5 MB bitmap: FAT sectors listed partly in a DIFAT sector
};

const Bytes& DifatBmp() {
  static const Bytes bmp = FakeBmp(7'500'000);
  return bmp;
}

const Bytes& BaseObject(Base base) {
  static const Bytes difat = BuildPictureObject(DifatBmp(), kTime);
  return base == Base::Full ? FullObject() : base == Base::Small ? SmallObject() : difat;
}

const Bytes& BaseBmp(Base base) {
  return base == Base::Full ? FullBmp() : base == Base::Small ? SmallBmp() : DifatBmp();
}

std::size_t DifatSectorAt(const Layout& l, const Bytes& b) { return l.SectorAt(U32(b, kStorage + 68)); }

struct DamageCase {
  const char* name;
  Base base;
  Damage damage;
  std::optional<ObjectError> expected;  // nullopt: still readable
};

std::uint32_t NativeId(const Layout& l) { return l.Find(kNative); }
std::size_t NativeEntry(const Layout& l) { return l.EntryAt(NativeId(l)); }
std::uint32_t NativeSector(const Layout& l, std::size_t n) { return l.Chain(l.Start(NativeId(l))).at(n); }
std::size_t PrefixAt(const Layout& l) { return l.SectorAt(l.Start(NativeId(l))); }

const DamageCase kDamageCases[] = {
    // Object record.
    {"record header length 23", Base::Full, [](const Layout&, Bytes& b) { Put16(b, 0, 23); }, ObjectError::BadRecord},
    {"storage length one past the end", Base::Full,
     [](const Layout&, Bytes& b) { Put32(b, 2, static_cast<std::uint32_t>(b.size() - kStorage + 1)); },
     ObjectError::Truncated},
    {"storage length 0xFFFFFFFF", Base::Full, [](const Layout&, Bytes& b) { Put32(b, 2, 0xFFFFFFFF); },
     ObjectError::Truncated},
    {"storage shorter than its header", Base::Full, [](const Layout&, Bytes& b) { Put32(b, 2, 511); },
     ObjectError::Truncated},
    {"trailing bytes after the storage are ignored", Base::Full, [](const Layout&, Bytes& b) { b.push_back(0xAA); },
     std::nullopt},
    // Compound file header.
    {"bad signature", Base::Full, [](const Layout&, Bytes& b) { b[kStorage + 7] ^= 0x01; }, ObjectError::BadHeader},
    {"nonzero header class", Base::Full, [](const Layout&, Bytes& b) { b[kStorage + 12] = 1; }, ObjectError::BadHeader},
    {"major version 5", Base::Full, [](const Layout&, Bytes& b) { Put16(b, kStorage + 26, 5); }, ObjectError::BadHeader},
    {"version 3 with 4096-byte sectors", Base::Full, [](const Layout&, Bytes& b) { Put16(b, kStorage + 30, 12); },
     ObjectError::BadHeader},
    {"sector shift 31", Base::Full, [](const Layout&, Bytes& b) { Put16(b, kStorage + 30, 31); }, ObjectError::BadHeader},
    {"byte order swapped", Base::Full, [](const Layout&, Bytes& b) { Put16(b, kStorage + 28, 0xFEFF); },
     ObjectError::BadHeader},
    {"mini sector shift 7", Base::Full, [](const Layout&, Bytes& b) { Put16(b, kStorage + 32, 7); }, ObjectError::BadHeader},
    {"mini-stream cutoff 8192", Base::Full, [](const Layout&, Bytes& b) { Put32(b, kStorage + 56, 8192); },
     ObjectError::BadHeader},
    {"directory sector count in version 3", Base::Full, [](const Layout&, Bytes& b) { Put32(b, kStorage + 40, 1); },
     ObjectError::BadHeader},
    {"no FAT sectors", Base::Full, [](const Layout&, Bytes& b) { Put32(b, kStorage + 44, 0); }, ObjectError::BadHeader},
    {"more FAT sectors than the DIFAT lists", Base::Full, [](const Layout&, Bytes& b) { Put32(b, kStorage + 44, 110); },
     ObjectError::BadHeader},
    {"FAT sector count 0xFFFFFFFF with DIFAT count 0xFFFFFFFF", Base::Full,
     [](const Layout&, Bytes& b) { Put32(b, kStorage + 44, 0xFFFFFFFF); Put32(b, kStorage + 72, 0xFFFFFFFF); },
     ObjectError::Truncated},
    {"mini FAT count past the file", Base::Full, [](const Layout&, Bytes& b) { Put32(b, kStorage + 64, 5000); },
     ObjectError::Truncated},
    // FAT and chains.
    {"header DIFAT lists a free sector", Base::Full, [](const Layout&, Bytes& b) { Put32(b, kStorage + 76 + 4 * 3, kFree); },
     ObjectError::BadChain},
    {"header DIFAT lists a sector past the end", Base::Full,
     [](const Layout&, Bytes& b) { Put32(b, kStorage + 76 + 4 * 3, 40000); }, ObjectError::Truncated},
    {"FAT sector listed twice", Base::Full,
     [](const Layout&, Bytes& b) { Put32(b, kStorage + 76 + 4 * 3, U32(b, kStorage + 76)); }, ObjectError::BadChain},
    {"looping FAT chain", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(NativeSector(l, 900)), NativeSector(l, 10)); },
     ObjectError::BadChain},
    {"chain that loops onto itself", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(NativeSector(l, 5)), NativeSector(l, 5)); },
     ObjectError::BadChain},
    {"chain ends early", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(NativeSector(l, 1000)), kEnd); },
     ObjectError::BadChain},
    {"chain runs on past the stream", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(NativeSector(l, 1803)), U32(b, kStorage + 48)); },
     ObjectError::BadChain},
    {"free sector inside a chain", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(NativeSector(l, 7)), kFree); },
     ObjectError::BadChain},
    {"sector index past the FAT", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(NativeSector(l, 7)), 0x00FFFFFF); }, ObjectError::BadChain},
    {"sector index covered by the FAT but past the data", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(NativeSector(l, 7)), 1900); }, ObjectError::Truncated},
    {"stream starts past the FAT", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 116, 5000); },
     ObjectError::BadChain},
    {"directory chain loops", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.FatAt(U32(b, kStorage + 48)), U32(b, kStorage + 48)); },
     ObjectError::BadChain},
    {"directory starts at a free marker", Base::Full, [](const Layout&, Bytes& b) { Put32(b, kStorage + 48, kEnd); },
     ObjectError::BadChain},
    // Stream sizes.
    {"stream size one sector longer than its chain", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 120, U32(b, NativeEntry(l) + 120) + 512); },
     ObjectError::BadChain},
    {"stream size one sector shorter than its chain", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 120, U32(b, NativeEntry(l) + 120) - 512); },
     ObjectError::BadChain},
    {"stream size 0xFFFFFFFF", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 120, 0xFFFFFFFF); },
     ObjectError::BadChain},
    {"big stream sized like a mini stream", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 120, 100); },
     ObjectError::BadChain},
    {"stream and prefix trimmed within the last sector", Base::Full,
     [](const Layout& l, Bytes& b) {
       Put32(b, NativeEntry(l) + 120, U32(b, NativeEntry(l) + 120) - 10);
       Put32(b, PrefixAt(l), U32(b, PrefixAt(l)) - 10);
     },
     std::nullopt},
    {"stream trimmed below its length prefix", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 120, U32(b, NativeEntry(l) + 120) - 1); },
     ObjectError::BadNativeData},
    {"version 3 ignores the size's high half", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 124, 7); },
     std::nullopt},
    // Native data.
    {"length prefix one past the stream", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, PrefixAt(l), U32(b, PrefixAt(l)) + 1); }, ObjectError::BadNativeData},
    {"length prefix 0xFFFFFFFF", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, PrefixAt(l), 0xFFFFFFFF); },
     ObjectError::BadNativeData},
    {"length prefix shorter than the bitmap", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, PrefixAt(l), 923'574 - 1); }, ObjectError::BadNativeData},
    {"length prefix zero", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, PrefixAt(l), 0); }, ObjectError::BadNativeData},
    {"native data is not a bitmap", Base::Full, [](const Layout& l, Bytes& b) { b[PrefixAt(l) + 4] = 'X'; },
     ObjectError::BadNativeData},
    {"bitmap size field below its header", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, PrefixAt(l) + 6, 13); },
     ObjectError::BadNativeData},
    {"stream too short for a prefix and a bitmap header", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 120, 3); }, ObjectError::BadChain},
    // Directory.
    {"directory loop through a left sibling", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.EntryAt(l.Find(kOle)) + 68, l.Find(kCompObj)); },
     ObjectError::BadDirectory},
    {"directory loop through a right sibling", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 72, l.Find(kCompObj)); }, ObjectError::BadDirectory},
    {"sibling points back to the root", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 68, 0); }, ObjectError::BadDirectory},
    {"sibling index past the directory", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 68, l.EntryCount()); }, ObjectError::BadDirectory},
    {"root entry is not a root", Base::Full, [](const Layout& l, Bytes& b) { b[l.EntryAt(0) + 66] = 1; },
     ObjectError::BadDirectory},
    {"unused entry inside the tree", Base::Full, [](const Layout& l, Bytes& b) { b[l.EntryAt(l.Find(kOle)) + 66] = 0; },
     ObjectError::BadDirectory},
    {"name length odd", Base::Full, [](const Layout& l, Bytes& b) { Put16(b, NativeEntry(l) + 64, 25); },
     ObjectError::BadDirectory},
    {"name length past the field", Base::Full, [](const Layout& l, Bytes& b) { Put16(b, NativeEntry(l) + 64, 66); },
     ObjectError::BadDirectory},
    {"name not terminated", Base::Full, [](const Layout& l, Bytes& b) { Put16(b, NativeEntry(l) + 24, u'x'); },
     ObjectError::BadDirectory},
    {"native stream is a storage", Base::Full, [](const Layout& l, Bytes& b) { b[NativeEntry(l) + 66] = 1; },
     ObjectError::BadDirectory},
    {"missing stream: renamed", Base::Full, [](const Layout& l, Bytes& b) { Put16(b, NativeEntry(l) + 12, u'X'); },
     ObjectError::NoNativeStream},
    {"missing stream: cut from the tree", Base::Full,
     [](const Layout& l, Bytes& b) { Put32(b, l.EntryAt(l.Find(kCompObj)) + 72, kNone); }, ObjectError::NoNativeStream},
    {"missing stream: root has no children", Base::Full, [](const Layout& l, Bytes& b) { Put32(b, l.EntryAt(0) + 76, kNone); },
     ObjectError::NoNativeStream},
    {"name differs only in case", Base::Full,
     [](const Layout& l, Bytes& b) {
       const std::size_t at = NativeEntry(l);
       Put16(b, at + 12, u'n');
       Put16(b, at + 2, u'o');
     },
     std::nullopt},
    {"name that folds only outside ASCII", Base::Full,
     [](const Layout& l, Bytes& b) { Put16(b, NativeEntry(l) + 18, 0x0131); }, ObjectError::NoNativeStream},
    // Mini stream (native data of the 5x3 picture lives there).
    {"mini chain loops", Base::Small,
     [](const Layout& l, Bytes& b) { Put32(b, l.MiniFatAt(l.Start(NativeId(l)) + 1), l.Start(NativeId(l))); },
     ObjectError::BadChain},
    {"mini chain ends early", Base::Small,
     [](const Layout& l, Bytes& b) { Put32(b, l.MiniFatAt(l.Start(NativeId(l))), kEnd); }, ObjectError::BadChain},
    {"mini sector past the mini stream", Base::Small, [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 116, 100); },
     ObjectError::BadChain},
    {"mini sector past the mini FAT", Base::Small, [](const Layout& l, Bytes& b) { Put32(b, NativeEntry(l) + 116, 128); },
     ObjectError::BadChain},
    {"mini FAT count disagrees with its chain", Base::Small, [](const Layout&, Bytes& b) { Put32(b, kStorage + 64, 2); },
     ObjectError::BadChain},
    {"mini FAT missing", Base::Small, [](const Layout&, Bytes& b) { Put32(b, kStorage + 64, 0); }, ObjectError::BadChain},
    {"root stream longer than its chain", Base::Small,
     [](const Layout& l, Bytes& b) { Put32(b, l.EntryAt(0) + 120, l.Size(0) + 512); }, ObjectError::BadChain},
    {"root stream shorter than the native data", Base::Small, [](const Layout& l, Bytes& b) { Put32(b, l.EntryAt(0) + 120, 192); },
     ObjectError::BadChain},
    {"mini length prefix past the stream", Base::Small,
     [](const Layout& l, Bytes& b) {
       const std::size_t at = l.SectorAt(l.Start(0)) + 64 * l.Start(NativeId(l));
       Put32(b, at, U32(b, at) + 1);
     },
     ObjectError::BadNativeData},
    // DIFAT sectors.
    {"DIFAT sector lists a FAT sector already in the header", Base::Difat,
     [](const Layout& l, Bytes& b) { Put32(b, DifatSectorAt(l, b), U32(b, kStorage + 76)); }, ObjectError::BadChain},
    {"DIFAT sector lists itself", Base::Difat,
     [](const Layout& l, Bytes& b) { Put32(b, DifatSectorAt(l, b) + 8, U32(b, kStorage + 68)); }, ObjectError::BadChain},
    {"DIFAT sector lists a free marker", Base::Difat,
     [](const Layout& l, Bytes& b) { Put32(b, DifatSectorAt(l, b) + 4, kFree); }, ObjectError::BadChain},
    {"DIFAT starts past the end", Base::Difat, [](const Layout&, Bytes& b) { Put32(b, kStorage + 68, 60000); },
     ObjectError::Truncated},
    {"DIFAT starts at the end-of-chain marker", Base::Difat, [](const Layout&, Bytes& b) { Put32(b, kStorage + 68, kEnd); },
     ObjectError::BadChain},
    {"DIFAT count zero with more than 109 FAT sectors", Base::Difat,
     [](const Layout&, Bytes& b) { Put32(b, kStorage + 72, 0); }, ObjectError::BadHeader},
};

TEST(ObjectReader, RefusesDamagedObjects) {
  for (const DamageCase& c : kDamageCases) {
    SCOPED_TRACE(c.name);
    Bytes object = BaseObject(c.base);
    c.damage(Layout(object), object);
    const auto result = ExtractObjectBitmap(object);
    EXPECT_EQ(ErrorOf(result), c.expected) << Show(ErrorOf(result));
    if (!ErrorOf(result)) {
      EXPECT_EQ(std::get<Bytes>(result), BaseBmp(c.base));
    }
  }
}

// Lengths to try: every one up to `dense`, then a spread to the end.
std::vector<std::size_t> TruncationLengths(std::size_t full, std::size_t dense) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n < full; n += n < dense ? 1 : 997) lengths.push_back(n);
  for (std::size_t n = full - std::min<std::size_t>(full, 600); n < full; ++n) lengths.push_back(n);
  return lengths;
}

TEST(ObjectReader, EveryTruncationFailsCleanly) {
  struct Case { const char* name; const Bytes& object; std::size_t dense; };
  const Case cases[] = {{"5x3 picture", SmallObject(), SIZE_MAX}, {"641x480 background", FullObject(), 8192}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::size_t n : TruncationLengths(c.object.size(), c.dense)) {
      const Bytes cut(c.object.begin(), c.object.begin() + n);
      EXPECT_EQ(ErrorOf(ExtractObjectBitmap(cut)), ObjectError::Truncated) << "length " << n;
    }
  }
}

// The record's length patched to match, so the storage itself is what ends early.
TEST(ObjectReader, EveryTruncatedStorageFailsCleanly) {
  struct Case { const char* name; const Bytes& object; std::size_t dense; };
  const Case cases[] = {{"5x3 picture", SmallObject(), SIZE_MAX}, {"641x480 background", FullObject(), 8192}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::size_t n : TruncationLengths(c.object.size() - kStorage, c.dense)) {
      Bytes cut(c.object.begin(), c.object.begin() + kStorage + n);
      Put32(cut, 2, static_cast<std::uint32_t>(n));
      EXPECT_EQ(ErrorOf(ExtractObjectBitmap(cut)), ObjectError::Truncated) << "storage length " << n;
    }
  }
}

// Any single corrupted byte of the record, header, FAT, directory or mini
// structures either fails with an error or still yields a bitmap.
TEST(ObjectReader, SurvivesEveryCorruptedByte) {
  const Bytes& good = SmallObject();
  const std::uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (std::uint8_t v : values) {
      Bytes object = good;
      object[at] = v;
      const auto result = ExtractObjectBitmap(object);
      if (const Bytes* bmp = std::get_if<Bytes>(&result)) {
        ASSERT_GE(bmp->size(), 14u) << "byte " << at << " set to " << int{v};
        EXPECT_EQ((*bmp)[0], 'B');
        EXPECT_EQ(U32(*bmp, 2), bmp->size());
      }
    }
  }
}

TEST(ObjectReader, DescribesEveryErrorDistinctly) {
  const ObjectError all[] = {ObjectError::Truncated, ObjectError::BadRecord,    ObjectError::BadHeader,
                             ObjectError::BadChain,  ObjectError::BadDirectory, ObjectError::NoNativeStream,
                             ObjectError::BadNativeData};
  std::vector<std::string_view> texts;
  for (ObjectError e : all) texts.push_back(pictures::Describe(e));
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(std::adjacent_find(texts.begin(), texts.end()), texts.end());
}

}  // namespace

namespace {

// A stream whose sectors are not in order is still read whole, by copy.
TEST(PictureObject, StreamInPiecesIsCopiedInOrder) {
  const Bytes bmp = MakeBmp24(641, 480);
  Bytes object = BuildPictureObject(bmp, kTime, StorageVersion::V3);
  const Layout l(object);
  const std::vector<std::uint32_t> chain = l.Chain(U32(object, NativeEntry(l) + 116));
  ASSERT_GT(chain.size(), 4u);
  // Swap the second and third sectors' contents and relink: first -> third -> second -> fourth.
  const std::uint32_t a = chain[1], b = chain[2];
  std::swap_ranges(object.begin() + l.SectorAt(a), object.begin() + l.SectorAt(a) + 512,
                   object.begin() + l.SectorAt(b));
  Put32(object, l.FatAt(chain[0]), b);
  Put32(object, l.FatAt(b), a);
  Put32(object, l.FatAt(a), chain[3]);
  Bytes scratch;
  const auto view = pictures::ExtractObjectBitmap(object, scratch);
  ASSERT_TRUE(std::holds_alternative<std::span<const std::uint8_t>>(view));
  const auto bytes = std::get<std::span<const std::uint8_t>>(view);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), bmp.begin(), bmp.end()));
  EXPECT_EQ(bytes.data(), scratch.data());
}

}  // namespace
