// The background's picture object: what the writer builds, the reader gives
// back whole; and the reader refuses each kind of damage with its own error.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "assets/picture_object.h"
#include "pictures/ole_object.h"
#include "tests/picture_test_util.h"

namespace {

using namespace picture_test;
using assets::StorageVersion;
using E = pictures::ObjectError;
constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;

// Only the file header is real: the object never looks further into its bitmap.
Bytes FakeBmp(std::size_t size) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return b[0] = 'B', b[1] = 'M', Put(b, 2, 4, size), b;
}

// Where things lie in an object our writer built: a 24-byte record, then the
// storage; FAT sectors first, then DIFAT, directory (ids 0 root, 1 "\1Ole",
// 2 "\1CompObj", 3 "\1Ole10Native"), mini FAT, mini stream, the native stream.
struct Object {
  Bytes b;
  std::uint32_t Get(std::size_t at) const { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24; }
  void Set(std::size_t at, std::uint32_t v) { Put(b, at, 4, v); }
  std::size_t Sector(std::uint32_t s) const { return 24 + ((s + std::size_t{1}) << b[24 + 30]); }
  std::size_t Fat(std::uint32_t s) const { return Sector(s >> (b[24 + 30] - 2)) + 4 * (s % ((1u << b[24 + 30]) / 4)); }
  std::size_t Entry(int id) const { return Sector(Get(24 + 48)) + 128 * id; }
  std::uint32_t Native(int n) const { return Get(Entry(3) + 116) + n; }  // its n-th sector or mini sector
  std::size_t MiniFat(std::uint32_t m) const { return Sector(Get(24 + 60)) + 4 * m; }
  std::size_t Mini(std::uint32_t m) const { return Sector(Get(Entry(0) + 116)) + 64 * m; }
};

const Bytes kFull = assets::EncodeBmp24(MakeF(641, 480)), kSmall = assets::EncodeBmp24(MakeF(5, 3)), kDifat = FakeBmp(7'500'000);

Bytes Built(const Bytes& bmp, StorageVersion v = StorageVersion::V3) { return assets::BuildPictureObject(bmp, 0x01D1234567, v); }

TEST(PictureObject, TheReaderGivesBackWhatTheWriterHoldsInPlace) {
  const std::pair<Bytes, StorageVersion> kCases[] = {
      {kSmall, StorageVersion::V3},         {FakeBmp(4095 - 14), StorageVersion::V3},
      {FakeBmp(4096 - 14), StorageVersion::V3}, {FakeBmp(8 * 512 - 14), StorageVersion::V3},
      {kFull, StorageVersion::V3},          {kDifat, StorageVersion::V3},
      {kSmall, StorageVersion::V4},         {kFull, StorageVersion::V4},
  };
  for (const auto& [bmp, version] : kCases) {
    const Bytes object = Built(bmp, version);
    Bytes scratch;
    const auto found = pictures::ExtractObjectBitmap(object, scratch);
    ASSERT_EQ(ErrorOf(found), std::nullopt) << bmp.size();
    const auto view = std::get<std::span<const std::uint8_t>>(found);
    EXPECT_TRUE(std::equal(view.begin(), view.end(), bmp.begin(), bmp.end())) << bmp.size();
    EXPECT_TRUE(scratch.empty() && view.data() > object.data() && view.data() + view.size() <= object.data() + object.size());
  }
  // A stream whose sectors are out of order comes back whole, as a copy.
  Object o{Built(kFull)};
  std::swap_ranges(o.b.begin() + o.Sector(o.Native(1)), o.b.begin() + o.Sector(o.Native(2)), o.b.begin() + o.Sector(o.Native(2)));
  o.Set(o.Fat(o.Native(0)), o.Native(2)), o.Set(o.Fat(o.Native(2)), o.Native(1)), o.Set(o.Fat(o.Native(1)), o.Native(3));
  EXPECT_EQ(ErrorOf(pictures::ExtractObjectBitmap(o.b)), std::nullopt);
  EXPECT_EQ(std::get<Bytes>(pictures::ExtractObjectBitmap(o.b)), kFull);
}

struct Damage {
  const char* name;
  const Bytes& bmp;
  std::function<void(Object&)> damage;
  std::optional<E> error;  // nothing: still readable
};

TEST(PictureObject, EachDamageHasItsError) {
  const Damage kRows[] = {
      {"record header length 23", kFull, [](Object& o) { Put(o.b, 0, 2, 23); }, E::BadRecord},
      {"storage length one long", kFull, [](Object& o) { o.Set(2, o.b.size() - 23); }, E::Truncated},
      {"storage shorter than its header", kFull, [](Object& o) { o.Set(2, 511); }, E::Truncated},
      {"bytes after the storage", kFull, [](Object& o) { o.b.push_back(0); }, std::nullopt},
      {"signature", kFull, [](Object& o) { o.b[24 + 7] ^= 1; }, E::BadHeader},
      {"header class", kFull, [](Object& o) { o.b[24 + 12] = 1; }, E::BadHeader},
      {"major version 5", kFull, [](Object& o) { o.b[24 + 26] = 5; }, E::BadHeader},
      {"version 3 with 4096-byte sectors", kFull, [](Object& o) { o.b[24 + 30] = 12; }, E::BadHeader},
      {"byte order", kFull, [](Object& o) { Put(o.b, 24 + 28, 2, 0xFEFF); }, E::BadHeader},
      {"mini sector shift 7", kFull, [](Object& o) { o.b[24 + 32] = 7; }, E::BadHeader},
      {"mini-stream cutoff", kFull, [](Object& o) { o.Set(24 + 56, 8192); }, E::BadHeader},
      {"directory sector count in version 3", kFull, [](Object& o) { o.Set(24 + 40, 1); }, E::BadHeader},
      {"no FAT sectors", kFull, [](Object& o) { o.Set(24 + 44, 0); }, E::BadHeader},
      {"more FAT sectors than the DIFAT lists", kFull, [](Object& o) { o.Set(24 + 44, 110); }, E::BadHeader},
      {"FAT and DIFAT counts past the file", kFull, [](Object& o) { o.Set(24 + 44, kFree), o.Set(24 + 72, kFree); },
       E::Truncated},
      {"mini FAT count past the file", kFull, [](Object& o) { o.Set(24 + 64, 5000); }, E::Truncated},
      {"FAT sector free", kFull, [](Object& o) { o.Set(24 + 76 + 12, kFree); }, E::BadChain},
      {"FAT sector past the end", kFull, [](Object& o) { o.Set(24 + 76 + 12, 40000); }, E::Truncated},
      {"FAT sector listed twice", kFull, [](Object& o) { o.Set(24 + 76 + 12, 0); }, E::BadChain},
      {"chain loops back", kFull, [](Object& o) { o.Set(o.Fat(o.Native(900)), o.Native(10)); }, E::BadChain},
      {"chain loops onto itself", kFull, [](Object& o) { o.Set(o.Fat(o.Native(5)), o.Native(5)); }, E::BadChain},
      {"chain ends early", kFull, [](Object& o) { o.Set(o.Fat(o.Native(1000)), kEnd); }, E::BadChain},
      {"chain runs on", kFull, [](Object& o) { o.Set(o.Fat(o.Native(1803)), o.Get(24 + 48)); }, E::BadChain},
      {"free sector in a chain", kFull, [](Object& o) { o.Set(o.Fat(o.Native(7)), kFree); }, E::BadChain},
      {"sector past the FAT", kFull, [](Object& o) { o.Set(o.Fat(o.Native(7)), 0xFFFFFF); }, E::BadChain},
      {"sector past the data", kFull, [](Object& o) { o.Set(o.Fat(o.Native(7)), 1900); }, E::Truncated},
      {"stream starts past the FAT", kFull, [](Object& o) { o.Set(o.Entry(3) + 116, 5000); }, E::BadChain},
      {"directory chain loops", kFull, [](Object& o) { o.Set(o.Fat(o.Get(24 + 48)), o.Get(24 + 48)); }, E::BadChain},
      {"directory starts at the end marker", kFull, [](Object& o) { o.Set(24 + 48, kEnd); }, E::BadChain},
      {"stream a sector longer than its chain", kFull, [](Object& o) { o.Set(o.Entry(3) + 120, o.Get(o.Entry(3) + 120) + 512); },
       E::BadChain},
      {"stream a sector shorter than its chain", kFull, [](Object& o) { o.Set(o.Entry(3) + 120, o.Get(o.Entry(3) + 120) - 512); },
       E::BadChain},
      {"big stream sized as a mini stream", kFull, [](Object& o) { o.Set(o.Entry(3) + 120, 100); }, E::BadChain},
      {"stream and bitmap trimmed in the last sector", kFull,
       [](Object& o) { o.Set(o.Entry(3) + 120, o.Get(o.Entry(3) + 120) - 10), o.Set(o.Sector(o.Native(0)), o.Get(o.Sector(o.Native(0))) - 10); },
       std::nullopt},
      {"stream shorter than its length prefix", kFull, [](Object& o) { o.Set(o.Entry(3) + 120, o.Get(o.Entry(3) + 120) - 1); },
       E::BadNativeData},
      {"version 3 ignores the size's high half", kFull, [](Object& o) { o.Set(o.Entry(3) + 124, 7); }, std::nullopt},
      {"length prefix past the stream", kFull, [](Object& o) { o.Set(o.Sector(o.Native(0)), 923'585); }, E::BadNativeData},
      {"length prefix shorter than the bitmap", kFull, [](Object& o) { o.Set(o.Sector(o.Native(0)), 923'573); },
       E::BadNativeData},
      {"length prefix zero", kFull, [](Object& o) { o.Set(o.Sector(o.Native(0)), 0); }, E::BadNativeData},
      {"not a bitmap", kFull, [](Object& o) { o.b[o.Sector(o.Native(0)) + 4] = 'X'; }, E::BadNativeData},
      {"bitmap size under its header", kFull, [](Object& o) { o.Set(o.Sector(o.Native(0)) + 6, 13); }, E::BadNativeData},
      {"stream too short for a bitmap header", kFull, [](Object& o) { o.Set(o.Entry(3) + 120, 3); }, E::BadChain},
      {"tree loops to the left", kFull, [](Object& o) { o.Set(o.Entry(1) + 68, 2); }, E::BadDirectory},
      {"tree loops to the right", kFull, [](Object& o) { o.Set(o.Entry(3) + 72, 2); }, E::BadDirectory},
      {"sibling is the root", kFull, [](Object& o) { o.Set(o.Entry(3) + 68, 0); }, E::BadDirectory},
      {"sibling past the directory", kFull, [](Object& o) { o.Set(o.Entry(3) + 68, 4); }, E::BadDirectory},
      {"root entry not a root", kFull, [](Object& o) { o.b[o.Entry(0) + 66] = 1; }, E::BadDirectory},
      {"unused entry in the tree", kFull, [](Object& o) { o.b[o.Entry(1) + 66] = 0; }, E::BadDirectory},
      {"name length odd", kFull, [](Object& o) { Put(o.b, o.Entry(3) + 64, 2, 25); }, E::BadDirectory},
      {"name length past its field", kFull, [](Object& o) { Put(o.b, o.Entry(3) + 64, 2, 66); }, E::BadDirectory},
      {"name not terminated", kFull, [](Object& o) { Put(o.b, o.Entry(3) + 24, 2, 'x'); }, E::BadDirectory},
      {"native data in a storage", kFull, [](Object& o) { o.b[o.Entry(3) + 66] = 1; }, E::BadDirectory},
      {"native stream renamed", kFull, [](Object& o) { Put(o.b, o.Entry(3) + 12, 2, 'X'); }, E::NoNativeStream},
      {"native stream cut from the tree", kFull, [](Object& o) { o.Set(o.Entry(2) + 72, kFree); }, E::NoNativeStream},
      {"root without children", kFull, [](Object& o) { o.Set(o.Entry(0) + 76, kFree); }, E::NoNativeStream},
      {"name in other ASCII case", kFull, [](Object& o) { Put(o.b, o.Entry(3) + 12, 2, 'n'), Put(o.b, o.Entry(3) + 2, 2, 'o'); },
       std::nullopt},
      {"name folding outside ASCII", kFull, [](Object& o) { Put(o.b, o.Entry(3) + 18, 2, 0x131); }, E::NoNativeStream},
      {"mini chain loops", kSmall, [](Object& o) { o.Set(o.MiniFat(o.Native(1)), o.Native(0)); }, E::BadChain},
      {"mini chain ends early", kSmall, [](Object& o) { o.Set(o.MiniFat(o.Native(0)), kEnd); }, E::BadChain},
      {"mini sector past the mini stream", kSmall, [](Object& o) { o.Set(o.Entry(3) + 116, 100); }, E::BadChain},
      {"mini sector past the mini FAT", kSmall, [](Object& o) { o.Set(o.Entry(3) + 116, 128); }, E::BadChain},
      {"mini FAT count two", kSmall, [](Object& o) { o.Set(24 + 64, 2); }, E::BadChain},
      {"mini FAT count zero", kSmall, [](Object& o) { o.Set(24 + 64, 0); }, E::BadChain},
      {"root stream longer than its chain", kSmall, [](Object& o) { o.Set(o.Entry(0) + 120, o.Get(o.Entry(0) + 120) + 512); },
       E::BadChain},
      {"root stream shorter than the native data", kSmall, [](Object& o) { o.Set(o.Entry(0) + 120, 192); }, E::BadChain},
      {"mini length prefix past the stream", kSmall, [](Object& o) { o.Set(o.Mini(o.Native(0)), o.Get(o.Mini(o.Native(0))) + 1); },
       E::BadNativeData},
      {"DIFAT lists a FAT sector twice", kDifat, [](Object& o) { o.Set(o.Sector(o.Get(24 + 68)), 0); }, E::BadChain},
      {"DIFAT lists itself", kDifat, [](Object& o) { o.Set(o.Sector(o.Get(24 + 68)) + 8, o.Get(24 + 68)); }, E::BadChain},
      {"DIFAT lists a free sector", kDifat, [](Object& o) { o.Set(o.Sector(o.Get(24 + 68)) + 4, kFree); }, E::BadChain},
      {"DIFAT past the end", kDifat, [](Object& o) { o.Set(24 + 68, 60000); }, E::Truncated},
      {"DIFAT at the end marker", kDifat, [](Object& o) { o.Set(24 + 68, kEnd); }, E::BadChain},
      {"DIFAT count zero", kDifat, [](Object& o) { o.Set(24 + 72, 0); }, E::BadHeader},
  };
  std::map<const Bytes*, Bytes> built;
  for (const Damage& row : kRows) {
    if (!built.contains(&row.bmp)) built[&row.bmp] = Built(row.bmp);
    Object o{built[&row.bmp]};
    row.damage(o);
    const auto found = pictures::ExtractObjectBitmap(o.b);
    EXPECT_EQ(ErrorOf(found), row.error) << row.name;
    EXPECT_TRUE(row.error || std::get<Bytes>(found) == row.bmp) << row.name;
  }
}

// Cut anywhere, or with the record's length cut to match, an object is truncated.
TEST(PictureObject, EveryTruncationIsTruncated) {
  for (const Bytes& object : {Built(kSmall), Built(kFull)})
    for (std::size_t n = 0; n < object.size(); n += n < 8192 || n > object.size() - 600 ? 1 : 997) {
      Bytes cut(object.begin(), object.begin() + n);
      EXPECT_EQ(ErrorOf(pictures::ExtractObjectBitmap(cut)), E::Truncated) << n;
      if (n < 24) continue;
      Put(cut, 2, 4, n - 24);
      EXPECT_EQ(ErrorOf(pictures::ExtractObjectBitmap(cut)), E::Truncated) << n;
    }
}

}  // namespace
