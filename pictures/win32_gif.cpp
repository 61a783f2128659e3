// GIF on Windows: the structure is checked by our own walk, then the system's
// picture loading (OleLoadPicture, in every Windows version since the first
// 32-bit ones) decodes the pixels. The result is the same as the giflib
// reader's: the first image on its logical screen, transparent where the
// image is transparent or does not reach. The Windows build takes it in place
// of gif.cpp.

#include "pictures/gif.h"

#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace pictures {
namespace {

using Bytes = std::span<const std::uint8_t>;

struct Releaser {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <class T>
using ComObject = std::unique_ptr<T, Releaser>;

struct DcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct GdiDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

ComObject<IPicture> LoadSystemPicture(Bytes bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (memory == nullptr) return nullptr;
  void* at = GlobalLock(memory);
  if (at == nullptr) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(at, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  IStream* raw_stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &raw_stream))) {
    GlobalFree(memory);
    return nullptr;
  }
  const ComObject<IStream> stream(raw_stream);  // frees the memory with it
  void* picture = nullptr;
  if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture, &picture)))
    return nullptr;
  return ComObject<IPicture>(static_cast<IPicture*>(picture));
}

// The picture drawn at its own size over a plain colour, as 0x00RRGGBB.
std::optional<std::vector<std::uint32_t>> RenderOver(IPicture& picture, int width, int height,
                                                    std::uint32_t background) {
  OLE_XSIZE_HIMETRIC himetric_width = 0;
  OLE_YSIZE_HIMETRIC himetric_height = 0;
  if (FAILED(picture.get_Width(&himetric_width)) || FAILED(picture.get_Height(&himetric_height))) return std::nullopt;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const std::unique_ptr<void, GdiDeleter> dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const std::unique_ptr<HDC__, DcDeleter> dc(CreateCompatibleDC(nullptr));
  if (!dib || !dc || bits == nullptr) return std::nullopt;
  const std::size_t count = static_cast<std::size_t>(width) * height;
  auto* pixels = static_cast<std::uint32_t*>(bits);
  std::fill_n(pixels, count, background);
  HGDIOBJ old = SelectObject(dc.get(), dib.get());
  // HIMETRIC runs bottom-up: start at the top edge and go down.
  const HRESULT drawn = picture.Render(dc.get(), 0, 0, width, height, 0, himetric_height, himetric_width,
                                       -himetric_height, nullptr);
  GdiFlush();
  SelectObject(dc.get(), old);
  if (FAILED(drawn)) return std::nullopt;
  std::vector<std::uint32_t> out(pixels, pixels + count);
  for (std::uint32_t& p : out) p &= 0xFFFFFF;
  return out;
}

// A pixel that comes out differently over white and over black is transparent.
std::optional<Image> SystemDecode(Bytes bytes) {
  const ComObject<IPicture> picture = LoadSystemPicture(bytes);
  if (!picture) return std::nullopt;
  SHORT type = PICTYPE_UNINITIALIZED;
  OLE_HANDLE handle = 0;
  if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture->get_Handle(&handle)))
    return std::nullopt;
  BITMAP bitmap{};
  if (GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof bitmap, &bitmap) == 0)
    return std::nullopt;
  const int width = bitmap.bmWidth, height = bitmap.bmHeight < 0 ? -bitmap.bmHeight : bitmap.bmHeight;
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return std::nullopt;
  auto over_white = RenderOver(*picture, width, height, 0xFFFFFF);
  auto over_black = RenderOver(*picture, width, height, 0x000000);
  if (!over_white || !over_black) return std::nullopt;
  Image image{width, height, std::vector<std::uint32_t>(over_white->size(), 0)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i)
    if ((*over_white)[i] == (*over_black)[i]) image.pixels[i] = 0xFF000000u | (*over_white)[i];
  return image;
}

}  // namespace

PictureResult DecodeGif(Bytes bytes) {
  auto structure = ReadGifStructure(bytes);
  if (auto* error = std::get_if<PictureError>(&structure)) return *error;
  const GifStructure& gif = std::get<GifStructure>(structure);
  std::optional<Image> decoded = SystemDecode(bytes);
  if (!decoded) return PictureError::BadField;  // compressed data the system could not read
  // Some decoders give the whole screen, others only the image: place it.
  if (decoded->width == gif.screen_width && decoded->height == gif.screen_height) return std::move(*decoded);
  if (decoded->width != gif.width || decoded->height != gif.height) return PictureError::BadField;
  Image screen{gif.screen_width, gif.screen_height, {}};
  screen.pixels.assign(static_cast<std::size_t>(screen.width) * screen.height, 0);
  for (int y = 0; y < gif.height; ++y)
    std::copy_n(decoded->pixels.begin() + static_cast<std::ptrdiff_t>(y) * gif.width, gif.width,
                screen.pixels.begin() + static_cast<std::ptrdiff_t>(gif.top + y) * screen.width + gif.left);
  return screen;
}

}  // namespace pictures
