#include "platform/disc/disc.h"

#include <memory>

#include "pictures/picture.h"
#include "platform/error_text.h"

namespace platform {

Cause CauseOf(FileError error) {
  switch (error) {
    case FileError::NotFound: return Cause::FileNotFound;
    case FileError::Unreadable: return Cause::FileUnreadable;
    case FileError::TooLarge: return Cause::FileTooLarge;
  }
  return Cause::FileUnreadable;
}

FileBytes ReadDiscFile(Disc& disc, std::string_view literal, std::size_t max_bytes) {
  const std::optional<std::string> path = disc.Resolve(literal);
  if (!path) return FileError::NotFound;
  return disc.Read(*path, max_bytes);
}

Picture LoadPictureFile(Disc& disc, std::string_view literal) {
  if (literal.empty()) return Picture{};
  auto read = ReadDiscFile(disc, literal, pictures::kMaxPictureFileBytes);
  if (auto* error = std::get_if<FileError>(&read))
    throw RuntimeError("LoadPicture", std::string(literal), CauseOf(*error));
  auto decoded = pictures::DecodePicture(std::get<std::vector<std::uint8_t>>(read));
  if (auto* error = std::get_if<pictures::PictureError>(&decoded))
    throw RuntimeError("LoadPicture", std::string(literal), CauseOf(*error));
  return Picture(std::make_shared<const pictures::Image>(std::move(std::get<pictures::Image>(decoded))));
}

std::int32_t StartProgram(Disc& disc, std::string_view literal, std::int16_t window_style) {
  const std::optional<std::string> path = disc.Resolve(literal);
  if (!path || !disc.IsFile(*path)) throw RuntimeError("Shell", std::string(literal), Cause::FileNotFound);
  return disc.Start(*path, literal, window_style);
}

std::optional<pictures::CursorFile> LoadCursorFile(Disc& disc, std::string_view literal) {
  auto read = ReadDiscFile(disc, literal, kMaxCursorFileBytes);
  if (!std::holds_alternative<std::vector<std::uint8_t>>(read)) return std::nullopt;
  auto decoded = pictures::DecodeCursorFile(std::get<std::vector<std::uint8_t>>(read));
  if (!std::holds_alternative<pictures::CursorFile>(decoded)) return std::nullopt;
  return std::move(std::get<pictures::CursorFile>(decoded));
}

}  // namespace platform
