#pragma once
// A reader of Windows executables for the tests: the header fields, the
// imported libraries and the resource tree (numeric types and names only, as
// the launcher's are). Every offset is checked against the file.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace pe {

inline constexpr std::uint16_t kMachineI386 = 0x14C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kSubsystemGui = 2;
inline constexpr std::uint32_t kTypeIcon = 3;
inline constexpr std::uint32_t kTypeGroupIcon = 14;
inline constexpr std::uint32_t kTypeVersion = 16;

struct Resource {
  std::uint32_t type = 0, name = 0, language = 0;
  std::vector<std::uint8_t> data;
};

struct Executable {
  std::uint16_t machine = 0;
  std::uint16_t subsystem = 0;
  std::vector<std::string> imports;  // library names as stored
  std::vector<Resource> resources;
};

// The reason as text when the file is not a well-formed executable.
std::variant<Executable, std::string> Read(std::span<const std::uint8_t> file);

// A node of a version record: its key, its value's bytes and its children.
struct VersionNode {
  std::string key;  // ASCII
  bool text = false;
  std::vector<std::uint8_t> value;
  std::vector<VersionNode> children;

  std::string TextValue() const;  // ASCII of a text value, without its terminator
  const VersionNode* Child(const std::string& child_key) const;
};

std::variant<VersionNode, std::string> ReadVersion(std::span<const std::uint8_t> record);

}  // namespace pe
