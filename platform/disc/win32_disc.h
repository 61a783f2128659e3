#pragma once
// The disc on Windows. Paths go to the system as the program writes them
// ("setup\images\help.gif"): relative to the current directory, and the file
// system ignores letter case. Programs start through CreateProcess, documents
// open through ShellExecuteA.

#include "platform/disc/disc.h"

namespace platform {

class Win32Disc final : public Disc {
 public:
  std::optional<std::string> Resolve(std::string_view literal) override { return std::string(literal); }
  bool IsFile(const std::string& path) override;
  FileBytes Read(const std::string& path, std::size_t max_bytes) override;
  // Never waits for the program; returns its process id.
  std::int32_t Start(const std::string& path, std::string_view literal, std::int16_t window_style) override;
  std::intptr_t Open(WindowHandle owner, std::string_view operation, std::string_view literal,
                     std::string_view parameters, std::string_view directory, std::int32_t show) override;
};

}  // namespace platform
