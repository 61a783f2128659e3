#include "platform/window/scale.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// Division rounded towards minus infinity, for a positive divisor: a pointer held
// outside the window has negative positions.
int FloorDiv(long long a, long long b) { return static_cast<int>(a >= 0 ? a / b : -((-a + b - 1) / b)); }
int CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

}  // namespace

Scale Scale::FromDpi(double dpi) {
  if (!(dpi > 0)) return {};  // NaN too
  return {static_cast<int>(std::lround(std::clamp(dpi, 96.0, 384.0)))};
}

Scale Scale::FromX11(const char* gdk_scale, const char* xft_dpi) {
  // GDK_SCALE is a whole factor; "1.5", "0" or "-2" are not one, and leave the choice to Xft.dpi.
  if (gdk_scale != nullptr && *gdk_scale != '\0' && std::strspn(gdk_scale, "0123456789") == std::strlen(gdk_scale)) {
    const long factor = std::strtol(gdk_scale, nullptr, 10);
    if (factor >= 1) return FromDpi(96.0 * static_cast<double>(std::min(factor, 4L)));
  }
  if (xft_dpi == nullptr) return {};
  char* end = nullptr;
  const double dpi = std::strtod(xft_dpi, &end);
  while (end != xft_dpi && *end == ' ') ++end;
  return end != xft_dpi && *end == '\0' && std::isfinite(dpi) ? FromDpi(dpi) : Scale{};
}

int Scale::Length(int n) const { return FloorDiv(2LL * n * dpi + 96, 192); }

int Scale::Logical(int x) const { return FloorDiv(96LL * x, dpi); }

PixelRect Scale::ToScreen(const PixelRect& r) const {
  if (r.Empty()) return {};
  // Screen pixel s comes back to floor(s * 96 / dpi): inside [x, x + w) from ceil(x * F) to ceil((x + w) * F).
  const int x = CeilDiv(1LL * r.x * dpi, 96), y = CeilDiv(1LL * r.y * dpi, 96);
  return {x, y, CeilDiv(1LL * (r.x + r.w) * dpi, 96) - x, CeilDiv(1LL * (r.y + r.h) * dpi, 96) - y};
}

PixelRect Scale::ToLogical(const PixelRect& r) const {
  if (r.Empty()) return {};
  const int x = Logical(r.x), y = Logical(r.y);
  return {x, y, Logical(r.x + r.w - 1) + 1 - x, Logical(r.y + r.h - 1) + 1 - y};
}

pictures::Image Repeated(const pictures::Image& image, int n) {
  if (n <= 1) return image;
  pictures::Image out{image.width * n, image.height * n, {}};
  out.pixels.reserve(static_cast<std::size_t>(out.width) * out.height);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.pixels.push_back(image.pixels[(y / n) * image.width + x / n]);
  return out;
}

}  // namespace platform
