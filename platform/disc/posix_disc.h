#pragma once
// The disc on a POSIX system: names found ignoring letter case
// (disc_path.h), programs started detached (process.h), documents handed to
// the desktop's "open" action (xdg-open).

#include "platform/disc/disc.h"

namespace platform {

class PosixDisc final : public Disc {
 public:
  std::optional<std::string> Resolve(std::string_view literal) override;
  bool IsFile(const std::string& path) override;
  FileBytes Read(const std::string& path, std::size_t max_bytes) override;
  // A window style means nothing here.
  std::int32_t Start(const std::string& path, std::string_view literal, std::int16_t) override;
  // Only "open" is known, and it takes no owner, parameters, directory or show command.
  std::intptr_t Open(WindowHandle, std::string_view operation, std::string_view literal, std::string_view,
                     std::string_view, std::int32_t) override;
};

}  // namespace platform
