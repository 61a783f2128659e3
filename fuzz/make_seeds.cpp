// Writes the fuzzers' seed corpora: files made by our own encoders plus
// hand-made variants of every layout the readers accept, so each fuzzer starts
// deep inside its format. Usage: make_seeds <folder>; it fills
// <folder>/picture, <folder>/cursor and <folder>/object.

#include <gif_lib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "assets/encode.h"
#include "assets/picture_object.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using assets::IndexedImage;
using assets::Rgb;

void U8(Bytes& b, std::uint32_t v) { b.push_back(static_cast<std::uint8_t>(v)); }
void U16(Bytes& b, std::uint32_t v) { U8(b, v), U8(b, v >> 8); }
void U32(Bytes& b, std::uint32_t v) { U16(b, v), U16(b, v >> 16); }
void Tag(Bytes& b, std::string_view tag) { b.insert(b.end(), tag.begin(), tag.end()); }
void Raw(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// ---- Pictures -------------------------------------------------------------------

// Index 3 marks the bottom-right pixel (transparent where a format allows it);
// an "L" and a diagonal make every flip, shift and channel swap visible.
int IndexAt(int x, int y, int width, int height) {
  if (x == width - 1 && y == height - 1) return 3;
  if ((x == 1 && y >= 1 && y < height - 1) || (y == 1 && x >= 1 && x < width - 1)) return 1;
  return (x + 2 * y) % 7 == 0 ? 2 : 0;
}

IndexedImage Indexed(int width, int height, int colours = 4) {
  IndexedImage image{width, height, {}, {}};
  for (int i = 0; i < colours; ++i)
    image.palette.push_back(i < 4 ? std::vector<Rgb>{{0, 0, 255}, {255, 0, 0}, {0, 200, 0}, {255, 255, 255}}[i]
                                  : Rgb{static_cast<std::uint8_t>(i * 13), static_cast<std::uint8_t>(i * 7), 90});
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.indices.push_back(static_cast<std::uint8_t>(IndexAt(x, y, width, height) % colours));
  return image;
}

pictures::Image Argb(const IndexedImage& indexed, bool index3_transparent = false) {
  pictures::Image image{indexed.width, indexed.height, {}};
  for (std::uint8_t i : indexed.indices) {
    const Rgb c = indexed.palette[i];
    image.pixels.push_back(index3_transparent && i == 3 ? 0u : 0xFF000000u | c.r << 16 | c.g << 8 | c.b);
  }
  return image;
}

// A bitmap header and image in one of the layouts the reader accepts.
struct Dib {
  int bits = 8;
  std::uint32_t header_bytes = 40;
  bool top_down = false;
  bool bitfields = false;          // 32-bit X8R8G8B8 masks
  std::uint32_t colours_used = 0;  // 0: the full 2^bits palette
  bool alpha = false;              // 32-bit icon entries: index 3 gets alpha 0, the rest 255
};

std::uint32_t Stride(int width, int bits) { return (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4; }

std::uint32_t PaletteEntries(const Dib& d) {
  if (d.bits > 8) return 0;
  return d.colours_used != 0 ? d.colours_used : 1u << d.bits;
}

std::uint32_t MasksBytes(const Dib& d) { return d.bitfields && d.header_bytes == 40 ? 12 : 0; }

// Header, masks, palette and colour rows; an icon entry doubles the height and
// adds the AND mask, set at index 3 unless the alpha channel speaks instead.
Bytes WriteDib(const IndexedImage& image, const Dib& d, bool icon) {
  const std::uint32_t stride = Stride(image.width, d.bits);
  const std::uint32_t entries = PaletteEntries(d);
  Bytes out;
  const int rows = icon ? 2 * image.height : d.top_down ? -image.height : image.height;
  U32(out, d.header_bytes), U32(out, image.width), U32(out, static_cast<std::uint32_t>(rows));  // size, dimensions
  U16(out, 1), U16(out, d.bits), U32(out, d.bitfields ? 3 : 0), U32(out, stride * image.height);
  U32(out, 3780), U32(out, 3780), U32(out, d.colours_used), U32(out, 0);  // resolution, colours
  if (d.header_bytes > 40 || d.bitfields) U32(out, 0x00FF0000), U32(out, 0x0000FF00), U32(out, 0x000000FF);
  out.resize(d.header_bytes + MasksBytes(d), 0);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const Rgb c = i < image.palette.size() ? image.palette[i] : Rgb{};
    U8(out, c.b), U8(out, c.g), U8(out, c.r), U8(out, 0);
  }
  for (int row = 0; row < image.height; ++row) {
    const int y = d.top_down && !icon ? row : image.height - 1 - row;
    Bytes line(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t index = image.indices[static_cast<std::size_t>(y) * image.width + x];
      if (d.bits >= 24) {
        const Rgb c = image.palette[index];
        const std::size_t at = static_cast<std::size_t>(x) * (d.bits / 8);
        line[at] = c.b, line[at + 1] = c.g, line[at + 2] = c.r;
        if (d.bits == 32) line[at + 3] = d.alpha ? (index == 3 ? 0 : 255) : 0;
        continue;
      }
      const int per_byte = 8 / d.bits;
      line[x / per_byte] |= static_cast<std::uint8_t>((index % entries) << (8 - d.bits * (x % per_byte + 1)));
    }
    Raw(out, line);
  }
  for (int row = 0; icon && row < image.height; ++row) {
    Bytes line(Stride(image.width, 1), 0);
    for (int x = 0; x < image.width; ++x)
      if (image.indices[static_cast<std::size_t>(image.height - 1 - row) * image.width + x] == 3 && !d.alpha)
        line[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    Raw(out, line);
  }
  return out;
}

Bytes WriteBmp(const IndexedImage& image, const Dib& d) {
  const Bytes dib = WriteDib(image, d, false);
  Bytes out;
  Tag(out, "BM"), U32(out, static_cast<std::uint32_t>(14 + dib.size())), U32(out, 0);  // file header, 14 bytes
  U32(out, 14 + d.header_bytes + MasksBytes(d) + 4 * PaletteEntries(d));
  Raw(out, dib);
  return out;
}

struct IconImage {
  IndexedImage image;
  Dib dib;
  int hotspot_x = 0, hotspot_y = 0;
};

// An ICO (type 1) or CUR (type 2) directory with every entry, images in order.
Bytes WriteIconFile(const std::vector<IconImage>& entries, int type) {
  Bytes out;
  U16(out, 0), U16(out, type), U16(out, static_cast<std::uint32_t>(entries.size()));
  std::vector<Bytes> images;
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
  for (const IconImage& e : entries) {
    images.push_back(WriteDib(e.image, e.dib, true));
    U8(out, e.image.width % 256), U8(out, e.image.height % 256), U8(out, 0), U8(out, 0);
    U16(out, type == 2 ? e.hotspot_x : 1), U16(out, type == 2 ? e.hotspot_y : e.dib.bits);
    U32(out, static_cast<std::uint32_t>(images.back().size())), U32(out, offset);
    offset += static_cast<std::uint32_t>(images.back().size());
  }
  for (const Bytes& image : images) Raw(out, image);
  return out;
}

// GIF layouts our encoder never writes: interlacing, several images, local
// tables, transparency, sub-screen images, comment and loop extensions.
struct GifImage {
  int left = 0, top = 0;
  IndexedImage image;
  bool interlaced = false;
  bool local_table = false;
};

struct GifPlan {
  int width = 0, height = 0;
  bool gif89 = true;
  int transparent = NO_TRANSPARENT_COLOR;
  bool comment = false;
  bool loop = false;
  std::vector<GifImage> images;
};

int AppendToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

ColorMapObject* MakeMap(const std::vector<Rgb>& palette) {
  int size = 2;
  while (size < static_cast<int>(palette.size())) size *= 2;
  std::vector<GifColorType> colours(size, GifColorType{0, 0, 0});
  for (std::size_t i = 0; i < palette.size(); ++i) colours[i] = {palette[i].r, palette[i].g, palette[i].b};
  return GifMakeMapObject(size, colours.data());
}

std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
    for (int y = interlaced ? kStart[pass] : 0; y < height; y += interlaced ? kStep[pass] : 1) rows.push_back(y);
  return rows;
}

bool PutExtensions(GifFileType* gif, const GifPlan& plan) {
  if (plan.loop) {
    static const GifByteType kApp[] = "NETSCAPE2.0";
    static const GifByteType kLoop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 11, kApp) == GIF_ERROR || EGifPutExtensionBlock(gif, 3, kLoop) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif) == GIF_ERROR)
      return false;
  }
  if (plan.comment) {
    static const GifByteType kText[] = "seed";
    if (EGifPutExtension(gif, COMMENT_EXT_FUNC_CODE, 4, kText) == GIF_ERROR) return false;
  }
  if (!plan.gif89) return true;
  GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, plan.transparent};
  GifByteType block[4];
  const std::size_t length = EGifGCBToExtension(&control, block);
  return EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), block) != GIF_ERROR;
}

bool PutImage(GifFileType* gif, const GifImage& g) {
  ColorMapObject* local = g.local_table ? MakeMap(g.image.palette) : nullptr;
  const bool ok = EGifPutImageDesc(gif, g.left, g.top, g.image.width, g.image.height, g.interlaced, local) != GIF_ERROR;
  GifFreeMapObject(local);
  if (!ok) return false;
  for (int y : RowOrder(g.image.height, g.interlaced)) {
    Bytes row(g.image.indices.begin() + static_cast<std::ptrdiff_t>(y) * g.image.width,
              g.image.indices.begin() + static_cast<std::ptrdiff_t>(y + 1) * g.image.width);
    if (EGifPutLine(gif, row.data(), g.image.width) == GIF_ERROR) return false;
  }
  return true;
}

Bytes WriteGif(const GifPlan& plan) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendToVector, &error);
  if (gif == nullptr) return {};
  EGifSetGifVersion(gif, plan.gif89);
  ColorMapObject* global = MakeMap(plan.images.front().image.palette);
  bool ok = EGifPutScreenDesc(gif, plan.width, plan.height, 8, 0, global) != GIF_ERROR;
  GifFreeMapObject(global);
  for (const GifImage& image : plan.images) ok = ok && PutExtensions(gif, plan) && PutImage(gif, image);
  if (EGifCloseFile(gif, &error) == GIF_ERROR || !ok) return {};
  return out;
}

std::vector<std::pair<std::string, Bytes>> PictureSeeds() {
  const IndexedImage f = Indexed(13, 9);
  GifImage whole{0, 0, f};
  GifImage inner{3, 2, Indexed(7, 11, 8), true, true};
  return {
      {"encoded.gif", assets::EncodeGif(f)},
      {"encoded_wide.gif", assets::EncodeGif(Indexed(61, 3))},
      {"gif87a.gif", WriteGif({13, 9, false, NO_TRANSPARENT_COLOR, false, false, {whole}})},
      {"interlaced.gif", WriteGif({7, 11, true, NO_TRANSPARENT_COLOR, false, false, {{0, 0, Indexed(7, 11), true}}})},
      {"transparent_sub_screen.gif", WriteGif({17, 15, true, 3, false, false, {inner}})},
      {"multi_image.gif", WriteGif({13, 13, true, 3, true, true, {{0, 0, Indexed(13, 13)}, inner}})},
      {"encoded24.bmp", assets::EncodeBmp24(Argb(f))},
      {"bits1.bmp", WriteBmp(Indexed(11, 5, 2), {.bits = 1})},
      {"bits4.bmp", WriteBmp(Indexed(9, 7, 16), {.bits = 4})},
      {"bits4_few_colours.bmp", WriteBmp(f, {.bits = 4, .colours_used = 4})},
      {"bits8.bmp", WriteBmp(f, {.bits = 8})},
      {"bits8_top_down_v5.bmp", WriteBmp(f, {.bits = 8, .header_bytes = 124, .top_down = true})},
      {"bits32.bmp", WriteBmp(f, {.bits = 32})},
      {"bits32_bitfields.bmp", WriteBmp(f, {.bits = 32, .bitfields = true})},
      {"bits32_bitfields_v4.bmp", WriteBmp(f, {.bits = 32, .header_bytes = 108, .bitfields = true})},
      {"encoded.ico", assets::EncodeIco4(Indexed(16, 16, 16))},
      {"entries3.ico", WriteIconFile({{Indexed(16, 16, 16), {.bits = 4}},
                                      {Indexed(32, 32), {.bits = 8}},
                                      {Indexed(24, 24), {.bits = 32, .alpha = true}}},
                                     1)},
      {"bits32_mask.ico", WriteIconFile({{Indexed(8, 8), {.bits = 32}}}, 1)},
      {"encoded.cur", assets::EncodeCur1(Argb(Indexed(16, 16), true), 5, 0)},
      {"bits24.cur", WriteIconFile({{Indexed(12, 10), {.bits = 24}, 11, 9}}, 2)},
  };
}

// ---- Pointer files --------------------------------------------------------------

Bytes Chunk(std::string_view tag, const Bytes& data) {
  Bytes out;
  Tag(out, tag), U32(out, static_cast<std::uint32_t>(data.size())), Raw(out, data);
  if (data.size() % 2 != 0) U8(out, 0);  // chunks start on even offsets
  return out;
}

Bytes Table(std::initializer_list<std::uint32_t> values) {
  Bytes out;
  for (std::uint32_t v : values) U32(out, v);
  return out;
}

// anih: size, frames, steps, cx, cy, bits, planes, default rate, flags.
Bytes Anih(std::uint32_t frames, std::uint32_t steps, std::uint32_t jiffies, std::uint32_t flags) {
  return Table({36, frames, steps, 0, 0, 0, 0, jiffies, flags});
}

Bytes Riff(const std::vector<Bytes>& chunks) {
  Bytes body;
  Tag(body, "ACON");
  for (const Bytes& c : chunks) Raw(body, c);
  Bytes out;
  Tag(out, "RIFF"), U32(out, static_cast<std::uint32_t>(body.size())), Raw(out, body);
  return out;
}

Bytes List(std::string_view kind, const std::vector<Bytes>& chunks) {
  Bytes data;
  Tag(data, kind);
  for (const Bytes& c : chunks) Raw(data, c);
  return Chunk("LIST", data);
}

Bytes Frame(int step) {
  IndexedImage image = Indexed(16, 16);
  image.indices[static_cast<std::size_t>(step) * 17 % image.indices.size()] = 1;  // each frame differs
  return assets::EncodeCur1(Argb(image, true), step, 15 - step);
}

std::vector<std::pair<std::string, Bytes>> CursorSeeds() {
  const std::vector<Bytes> three = {Frame(0), Frame(3), Frame(7)};
  const Bytes info = List("INFO", {Chunk("INAM", {'b', 'u', 's', 'y', 0}), Chunk("IART", {'a', 0})});
  return {
      {"encoded.cur", assets::EncodeCur1(Argb(Indexed(32, 32), true), 5, 0)},
      {"bits8_two_entries.cur", WriteIconFile({{Indexed(16, 16), {.bits = 8}, 2, 3}, {Indexed(32, 32), {.bits = 4}, 9, 1}}, 2)},
      {"still.ico", assets::EncodeIco4(Indexed(16, 16, 16))},
      {"encoded.ani", assets::EncodeAni(three, 6)},
      {"seq_and_rate.ani",
       Riff({Chunk("anih", Anih(2, 5, 4, 3)), Chunk("rate", Table({1, 2, 3, 0, 5})), Chunk("seq ", Table({0, 1, 1, 0, 1})),
             info, List("fram", {Chunk("icon", three[0]), Chunk("icon", three[1])})})},
      {"no_rate.ani", Riff({Chunk("anih", Anih(2, 2, 0, 1)), List("fram", {Chunk("icon", three[2]), Chunk("icon", three[0])})})},
      {"ico_frames.ani",
       Riff({List("fram", {Chunk("icon", assets::EncodeIco4(Indexed(8, 8, 16)))}), Chunk("anih", Anih(1, 1, 10, 1))})},
  };
}

// ---- Picture objects ------------------------------------------------------------

std::vector<std::pair<std::string, Bytes>> ObjectSeeds() {
  constexpr std::uint64_t kModified = 0x01D0'0000'0000'0000;  // fixed, so the seeds are reproducible
  const Bytes small = WriteBmp(Indexed(8, 6), {.bits = 24});  // under 4096 bytes: in the mini stream
  const Bytes large = assets::EncodeBmp24(Argb(Indexed(48, 32)));  // over 4096 bytes: regular sectors
  using assets::StorageVersion;
  return {
      {"mini_v3.obj", assets::BuildPictureObject(small, kModified)},
      {"regular_v3.obj", assets::BuildPictureObject(large, kModified, StorageVersion::V3)},
      {"mini_v4.obj", assets::BuildPictureObject(small, kModified, StorageVersion::V4)},
      {"regular_v4.obj", assets::BuildPictureObject(large, kModified, StorageVersion::V4)},
  };
}

bool WriteAll(const fs::path& folder, const std::vector<std::pair<std::string, Bytes>>& seeds) {
  fs::create_directories(folder);
  for (const auto& [name, bytes] : seeds) {
    if (bytes.empty()) {
      std::fprintf(stderr, "make_seeds: could not encode %s\n", name.c_str());
      return false;
    }
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  std::printf("%zu seeds in %s\n", seeds.size(), folder.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  const bool ok = WriteAll(root / "picture", PictureSeeds()) && WriteAll(root / "cursor", CursorSeeds()) &&
                  WriteAll(root / "object", ObjectSeeds());
  return ok ? 0 : 1;
}
