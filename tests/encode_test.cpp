#include "assets/encode.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/picture_test_util.h"

namespace {

using namespace picture_test;
using assets::IndexedImage;
using pictures::Image;

std::string Tag(const Bytes& b, std::size_t at, std::size_t n = 4) {
  return std::string(b.begin() + at, b.begin() + at + n);
}

// ---- BMP -------------------------------------------------------------------

TEST(EncodeBmp24, BackgroundSizedFileHasPaddedRows) {
  const Bytes bmp = assets::EncodeBmp24(MakeF(641, 480));
  ASSERT_EQ(bmp.size(), 923'574u);
  EXPECT_EQ(Tag(bmp, 0, 2), "BM");
  EXPECT_EQ(U32(bmp, 2), 923'574u);  // file size
  EXPECT_EQ(U32(bmp, 6), 0u);        // reserved
  EXPECT_EQ(U32(bmp, 10), 54u);      // pixel offset
  EXPECT_EQ(U32(bmp, 14), 40u);      // header size
  EXPECT_EQ(U32(bmp, 18), 641u);
  EXPECT_EQ(U32(bmp, 22), 480u);  // positive: bottom-up
  EXPECT_EQ(U16(bmp, 26), 1u);
  EXPECT_EQ(U16(bmp, 28), 24u);
  EXPECT_EQ(U32(bmp, 30), 0u);
  EXPECT_EQ(U32(bmp, 34), 923'520u);  // 480 rows of 1,924 bytes
  EXPECT_EQ(U32(bmp, 38), 3780u);
  EXPECT_EQ(U32(bmp, 42), 3780u);
  EXPECT_EQ(U32(bmp, 46), 0u);
  EXPECT_EQ(U32(bmp, 50), 0u);
  for (std::size_t row = 0; row < 480; ++row) {
    SCOPED_TRACE(row);
    ASSERT_EQ(bmp[54 + row * 1924 + 1923], 0) << "pad byte";
  }
}

TEST(EncodeBmp24, RowsAreBottomUpInBlueGreenRedOrder) {
  Image image = MakeF(6, 5);
  image.pixels[0] = 0xFF112233;  // top-left
  const Bytes bmp = assets::EncodeBmp24(image);
  const std::size_t stride = 20;  // 18 bytes of pixels + 2 of padding
  ASSERT_EQ(bmp.size(), 54 + 5 * stride);
  const std::size_t top_row = 54 + 4 * stride;  // stored last
  EXPECT_EQ(bmp[top_row + 0], 0x33);
  EXPECT_EQ(bmp[top_row + 1], 0x22);
  EXPECT_EQ(bmp[top_row + 2], 0x11);
  // (1, 1) is red ink: blue 0, green 0, red 255, in the row stored fourth.
  const std::size_t ink = 54 + 3 * stride + 3;
  EXPECT_EQ(bmp[ink + 0], 0);
  EXPECT_EQ(bmp[ink + 2], 255);
}

TEST(EncodeBmp24, EveryWidthPadsWithZeros) {
  for (int width = 1; width <= 9; ++width) {
    SCOPED_TRACE(width);
    const Bytes bmp = assets::EncodeBmp24(MakeF(width, 3, kWhite, kWhite));
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    ASSERT_EQ(bmp.size(), 54 + 3 * stride);
    EXPECT_EQ(U32(bmp, 34), 3 * stride);
    for (std::size_t row = 0; row < 3; ++row)
      for (std::size_t i = width * 3; i < stride; ++i) EXPECT_EQ(bmp[54 + row * stride + i], 0);
  }
}

// ---- GIF -------------------------------------------------------------------

struct GifLayout {
  std::size_t extension = 0, descriptor = 0, trailer = 0;
  int min_code_size = 0;
};

// Walks the blocks of an encoded file and fails the test on any surprise.
GifLayout WalkGif(const Bytes& gif) {
  GifLayout at;
  at.extension = 6 + 7 + 768;
  at.descriptor = at.extension + 8;
  std::size_t p = at.descriptor + 10;
  at.min_code_size = gif.at(p++);
  while (gif.at(p) != 0) p += 1 + gif.at(p);
  at.trailer = p + 1;
  return at;
}

TEST(EncodeGif, BlocksComeInOrderAndNothingFollowsTheTrailer) {
  const IndexedImage image = MakeIndexedF(110, 24);
  const Bytes gif = assets::EncodeGif(image);
  ASSERT_GT(gif.size(), 800u);
  EXPECT_EQ(Tag(gif, 0, 6), "GIF89a");
  EXPECT_EQ(U16(gif, 6), 110u);
  EXPECT_EQ(U16(gif, 8), 24u);
  EXPECT_EQ(gif[10], 0xF7) << "global table, colour resolution 8, 256 entries, unsorted";
  EXPECT_EQ(gif[11], 0) << "background";
  EXPECT_EQ(gif[12], 0) << "aspect";
  for (std::size_t i = 0; i < 256; ++i) {
    SCOPED_TRACE(i);
    const assets::Rgb expected = i < image.palette.size() ? image.palette[i] : assets::Rgb{};
    EXPECT_EQ((assets::Rgb{gif[13 + 3 * i], gif[14 + 3 * i], gif[15 + 3 * i]}), expected);
  }
  const GifLayout at = WalkGif(gif);
  EXPECT_EQ(Bytes(gif.begin() + at.extension, gif.begin() + at.descriptor),
            (Bytes{0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(gif[at.descriptor], 0x2C);
  EXPECT_EQ(U16(gif, at.descriptor + 1), 0u);
  EXPECT_EQ(U16(gif, at.descriptor + 3), 0u);
  EXPECT_EQ(U16(gif, at.descriptor + 5), 110u);
  EXPECT_EQ(U16(gif, at.descriptor + 7), 24u);
  EXPECT_EQ(gif[at.descriptor + 9], 0) << "no local table, not interlaced";
  EXPECT_EQ(at.min_code_size, 8);
  ASSERT_EQ(at.trailer + 1, gif.size());
  EXPECT_EQ(gif[at.trailer], 0x3B);
}

struct SpanReader {
  const Bytes* bytes;
  std::size_t at = 0;
};

int ReadSpan(GifFileType* gif, GifByteType* out, int length) {
  auto* r = static_cast<SpanReader*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(length, r->bytes->size() - r->at);
  std::copy_n(r->bytes->begin() + r->at, n, out);
  r->at += n;
  return static_cast<int>(n);
}

// Checked against giflib's own reader, independent of ours.
TEST(EncodeGif, GiflibReadsBackTheIndices) {
  for (auto [w, h] : {std::pair{6, 5}, {1, 1}, {149, 23}, {44, 24}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const IndexedImage image = MakeIndexedF(w, h);
    const Bytes gif = assets::EncodeGif(image);
    SpanReader reader{&gif};
    int error = 0;
    GifFileType* file = DGifOpen(&reader, ReadSpan, &error);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(DGifSlurp(file), GIF_OK);
    ASSERT_EQ(file->ImageCount, 1);
    const SavedImage& saved = file->SavedImages[0];
    EXPECT_EQ(saved.ImageDesc.Width, w);
    EXPECT_EQ(saved.ImageDesc.Height, h);
    EXPECT_TRUE(std::equal(image.indices.begin(), image.indices.end(), saved.RasterBits));
    GraphicsControlBlock gcb{};
    ASSERT_EQ(DGifSavedExtensionToGCB(file, 0, &gcb), GIF_OK);
    EXPECT_EQ(gcb.TransparentColor, NO_TRANSPARENT_COLOR);
    EXPECT_EQ(gcb.DelayTime, 0);
    EXPECT_EQ(gcb.DisposalMode, 0);
    DGifCloseFile(file, &error);
  }
}

TEST(EncodeGif, IsDeterministic) {
  EXPECT_EQ(assets::EncodeGif(MakeIndexedF(37, 11)), assets::EncodeGif(MakeIndexedF(37, 11)));
}

// ---- ICO and CUR -------------------------------------------------------------

TEST(EncodeIco4, WindowIconSizedFileMatchesTheLayout) {
  IndexedImage image = MakeIndexedF(32, 32);
  const Bytes ico = assets::EncodeIco4(image);
  ASSERT_EQ(ico.size(), 766u);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u) << "icon";
  EXPECT_EQ(U16(ico, 4), 1u) << "one entry";
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(ico[8], 16) << "colours";
  EXPECT_EQ(ico[9], 0);
  EXPECT_EQ(U16(ico, 10), 1u) << "planes";
  EXPECT_EQ(U16(ico, 12), 4u) << "bits";
  EXPECT_EQ(U32(ico, 14), 744u) << "image data";
  EXPECT_EQ(U32(ico, 18), 22u) << "offset";
  EXPECT_EQ(U32(ico, 22), 40u);
  EXPECT_EQ(U32(ico, 26), 32u);
  EXPECT_EQ(U32(ico, 30), 64u) << "image and mask";
  EXPECT_EQ(U16(ico, 34), 1u);
  EXPECT_EQ(U16(ico, 36), 4u);
  EXPECT_EQ(U32(ico, 38), 0u) << "uncompressed";
  // Palette padded to 16 entries with black, stored blue, green, red, 0.
  EXPECT_EQ(U32(ico, 62 + 4 * 1), 0x00FF0000u);
  EXPECT_EQ(U32(ico, 62 + 4 * 2), 0x0000C800u);
  for (std::size_t i = 3; i < 16; ++i) EXPECT_EQ(U32(ico, 62 + 4 * i), 0u);
  // The bottom row is stored first; its last pixel is index 2 in the low nibble.
  EXPECT_EQ(ico[126 + 15], 0x02);
  // Row 1 from the top (stored 31st) starts with paper then ink: 0x01.
  EXPECT_EQ(ico[126 + 30 * 16], 0x01);
  for (std::size_t i = 638; i < 766; ++i) ASSERT_EQ(ico[i], 0) << "AND mask all zero at " << i;
}

TEST(EncodeCur1, HandPointerSizedFileStoresTheHotspot) {
  Image image = MakeF(32, 32, kWhite, kBlack);
  const Bytes cur = assets::EncodeCur1(image, 5, 0);
  ASSERT_EQ(cur.size(), 326u);
  EXPECT_EQ(U16(cur, 2), 2u) << "cursor";
  EXPECT_EQ(cur[6], 32);
  EXPECT_EQ(cur[7], 32);
  EXPECT_EQ(cur[8], 2);
  EXPECT_EQ(U16(cur, 10), 5u) << "hotspot x";
  EXPECT_EQ(U16(cur, 12), 0u) << "hotspot y";
  EXPECT_EQ(U32(cur, 14), 304u);
  EXPECT_EQ(U32(cur, 18), 22u);
  EXPECT_EQ(U32(cur, 30), 64u);
  EXPECT_EQ(U16(cur, 36), 1u);
  EXPECT_EQ(U32(cur, 62), 0x000000u);
  EXPECT_EQ(U32(cur, 66), 0xFFFFFFu);
}

TEST(EncodeCur1, PixelsBecomeXorAndMaskBits) {
  // One row of 5 pixels; the XOR row starts at 22 + 48, the AND row 4 bytes later.
  struct Row {
    const char* name;
    std::uint32_t pixel;
    int xor_bit, and_bit;
  };
  const Row kRows[] = {
      {"white", kWhite, 1, 0},
      {"black", kBlack, 0, 0},
      {"transparent white", 0x00FFFFFF, 0, 1},
      {"light grey is white", 0xFFC0C0C0, 1, 0},
      {"dark grey is black", 0xFF404040, 0, 0},
      {"pure green is white", 0xFF00FF00, 1, 0},
      {"pure blue is black", 0xFF0000FF, 0, 0},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    Image image{5, 1, {kBlack, kBlack, r.pixel, kBlack, kBlack}};
    const Bytes cur = assets::EncodeCur1(image, 0, 0);
    ASSERT_EQ(cur.size(), 22u + 48 + 4 + 4);
    EXPECT_EQ(cur[70], r.xor_bit ? 0x20 : 0x00);
    EXPECT_EQ(cur[74], r.and_bit ? 0x20 : 0x00);
  }
}

// ---- Animated cursor ------------------------------------------------------------

TEST(EncodeAni, ChunksHoldEveryFramePaddedToEven) {
  const Bytes odd(5, 0xAB), even(6, 0xCD);
  const std::vector<Bytes> files{odd, even};
  const Bytes ani = assets::EncodeAni(files, 7);
  EXPECT_EQ(Tag(ani, 0), "RIFF");
  EXPECT_EQ(U32(ani, 4), ani.size() - 8);
  EXPECT_EQ(Tag(ani, 8), "ACON");
  EXPECT_EQ(Tag(ani, 12), "anih");
  EXPECT_EQ(U32(ani, 16), 36u);
  const std::uint32_t kAnih[9] = {36, 2, 2, 0, 0, 0, 0, 7, 1};
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(U32(ani, 20 + 4 * i), kAnih[i]) << "anih field " << i;
  EXPECT_EQ(Tag(ani, 56), "rate");
  EXPECT_EQ(U32(ani, 60), 8u);
  EXPECT_EQ(U32(ani, 64), 7u);
  EXPECT_EQ(U32(ani, 68), 7u);
  EXPECT_EQ(Tag(ani, 72), "LIST");
  EXPECT_EQ(U32(ani, 76), ani.size() - 80);
  EXPECT_EQ(Tag(ani, 80), "fram");
  EXPECT_EQ(Tag(ani, 84), "icon");
  EXPECT_EQ(U32(ani, 88), 5u);
  EXPECT_EQ(Bytes(ani.begin() + 92, ani.begin() + 97), odd);
  EXPECT_EQ(ani[97], 0) << "pad byte";
  EXPECT_EQ(Tag(ani, 98), "icon");
  EXPECT_EQ(U32(ani, 102), 6u);
  EXPECT_EQ(Bytes(ani.begin() + 106, ani.end()), even);
}

// ---- Inputs an encoder cannot represent ---------------------------------------

TEST(Encoders, RefuseWhatTheyCannotRepresent) {
  const Image f = MakeF(6, 5);
  Image short_pixels = f;
  short_pixels.pixels.pop_back();
  IndexedImage big_palette = MakeIndexedF(6, 5);
  big_palette.palette.resize(257);
  IndexedImage seventeen = MakeIndexedF(6, 5);
  seventeen.palette.resize(17);
  IndexedImage stray_index = MakeIndexedF(6, 5);
  stray_index.indices[3] = 3;
  IndexedImage no_palette = MakeIndexedF(6, 5);
  no_palette.palette.clear();
  const std::vector<Bytes> no_frames;
  const std::vector<Bytes> empty_frame{Bytes{}};
  const std::vector<Bytes> too_many(257, Bytes{1, 2});
  struct Row {
    const char* name;
    Bytes out;
  };
  const Row kRows[] = {
      {"bmp of an empty image", assets::EncodeBmp24(Image{})},
      {"bmp with too few pixels", assets::EncodeBmp24(short_pixels)},
      {"bmp wider than the cap", assets::EncodeBmp24(Image{pictures::kMaxPictureSide + 1, 1, {}})},
      {"gif with 257 colours", assets::EncodeGif(big_palette)},
      {"gif without a palette", assets::EncodeGif(no_palette)},
      {"gif with an index beyond the palette", assets::EncodeGif(stray_index)},
      {"ico with 17 colours", assets::EncodeIco4(seventeen)},
      {"ico wider than 256", assets::EncodeIco4(MakeIndexedF(257, 4))},
      {"cur hotspot past the right edge", assets::EncodeCur1(f, 6, 0)},
      {"cur hotspot negative", assets::EncodeCur1(f, 0, -1)},
      {"ani without frames", assets::EncodeAni(no_frames, 5)},
      {"ani with an empty frame", assets::EncodeAni(empty_frame, 5)},
      {"ani with 257 frames", assets::EncodeAni(too_many, 5)},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_TRUE(r.out.empty());
  }
}

}  // namespace
