// The background's picture object: what the writer builds, the reader gives
// back whole. The object is built into the launcher, so damaged objects are the
// fuzzer's business, not a disc's.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "assets/picture_object.h"
#include "pictures/ole_object.h"
#include "tests/picture_test_util.h"

namespace {

using namespace picture_test;
using assets::StorageVersion;

// Only the file header is real: the object never looks further into its bitmap.
Bytes FakeBmp(std::size_t size) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return b[0] = 'B', b[1] = 'M', Put(b, 2, 4, size), b;
}

// Where things lie in an object our writer built: a 24-byte record, then the
// storage; FAT sectors first, then the directory (id 3 "\1Ole10Native") and the
// native stream.
struct Object {
  Bytes b;
  std::uint32_t Get(std::size_t at) const { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24; }
  void Set(std::size_t at, std::uint32_t v) { Put(b, at, 4, v); }
  std::size_t Sector(std::uint32_t s) const { return 24 + ((s + std::size_t{1}) << b[24 + 30]); }
  std::size_t Fat(std::uint32_t s) const { return Sector(s >> (b[24 + 30] - 2)) + 4 * (s % ((1u << b[24 + 30]) / 4)); }
  std::size_t Entry(int id) const { return Sector(Get(24 + 48)) + 128 * id; }
  std::uint32_t Native(int n) const { return Get(Entry(3) + 116) + n; }  // its n-th sector or mini sector
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
    const auto view = std::get<std::span<const std::uint8_t>>(found);
    EXPECT_TRUE(std::equal(view.begin(), view.end(), bmp.begin(), bmp.end())) << bmp.size();
    EXPECT_TRUE(scratch.empty() && view.data() > object.data() && view.data() + view.size() <= object.data() + object.size());
  }
  // A stream whose sectors are out of order comes back whole, as a copy.
  Object o{Built(kFull)};
  std::swap_ranges(o.b.begin() + o.Sector(o.Native(1)), o.b.begin() + o.Sector(o.Native(2)), o.b.begin() + o.Sector(o.Native(2)));
  o.Set(o.Fat(o.Native(0)), o.Native(2)), o.Set(o.Fat(o.Native(2)), o.Native(1)), o.Set(o.Fat(o.Native(1)), o.Native(3));
  EXPECT_THAT(pictures::ExtractObjectBitmap(o.b), testing::VariantWith<Bytes>(kFull));
}

}  // namespace
