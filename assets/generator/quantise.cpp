#include "assets/generator/quantise.h"

#include <libimagequant.h>

#include <memory>
#include <stdexcept>

namespace assets {
namespace {

struct AttrDeleter {
  void operator()(liq_attr* a) const { liq_attr_destroy(a); }
};
struct ImageDeleter {
  void operator()(liq_image* i) const { liq_image_destroy(i); }
};
struct ResultDeleter {
  void operator()(liq_result* r) const { liq_result_destroy(r); }
};

// libimagequant wants bytes R, G, B, A in memory order.
std::vector<std::uint8_t> RgbaBytes(const pictures::Image& image) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(image.pixels.size() * 4);
  for (std::uint32_t p : image.pixels) {
    bytes.push_back(p >> 16 & 0xFF);
    bytes.push_back(p >> 8 & 0xFF);
    bytes.push_back(p & 0xFF);
    bytes.push_back(0xFF);  // every picture quantised here is opaque
  }
  return bytes;
}

}  // namespace

IndexedImage Quantise(const pictures::Image& image, int max_colours) {
  const std::vector<std::uint8_t> rgba = RgbaBytes(image);
  std::unique_ptr<liq_attr, AttrDeleter> attr(liq_attr_create());
  if (!attr || liq_set_max_colors(attr.get(), max_colours) != LIQ_OK || liq_set_speed(attr.get(), 1) != LIQ_OK ||
      liq_set_quality(attr.get(), 0, 100) != LIQ_OK)
    throw std::runtime_error("quantiser cannot be set up");
  std::unique_ptr<liq_image, ImageDeleter> input(
      liq_image_create_rgba(attr.get(), rgba.data(), image.width, image.height, 0.0));
  if (!input) throw std::runtime_error("quantiser refused the picture");
  liq_result* raw = nullptr;
  if (liq_image_quantize(input.get(), attr.get(), &raw) != LIQ_OK) throw std::runtime_error("quantisation failed");
  std::unique_ptr<liq_result, ResultDeleter> result(raw);
  // No dithering: flat and gradient areas stay noise-free, so a button's edge
  // repeats the background it was cut from.
  liq_set_dithering_level(result.get(), 0.0f);

  IndexedImage out{image.width, image.height, {}, {}};
  out.indices.resize(image.pixels.size());
  if (liq_write_remapped_image(result.get(), input.get(), out.indices.data(), out.indices.size()) != LIQ_OK)
    throw std::runtime_error("remapping failed");
  const liq_palette* palette = liq_get_palette(result.get());
  for (unsigned i = 0; i < palette->count; ++i)
    out.palette.push_back({palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
  return out;
}

}  // namespace assets
