#include "tests/windows/pe_file.h"

#include "pictures/le_bytes.h"

namespace pe {
namespace {

using Bytes = std::span<const std::uint8_t>;
using pictures::Fits;
using pictures::LoadU16;
using pictures::LoadU32;

struct Section {
  std::uint32_t virtual_address = 0, virtual_size = 0, raw_offset = 0, raw_size = 0;
};

class Image {
 public:
  Image(Bytes file, std::vector<Section> sections) : file_(file), sections_(std::move(sections)) {}

  // The file offset of `length` bytes at a virtual address, if they lie in one section's data.
  std::optional<std::size_t> Offset(std::uint32_t rva, std::uint32_t length) const {
    for (const Section& s : sections_) {
      if (rva < s.virtual_address) continue;
      const std::uint64_t within = rva - s.virtual_address;
      if (within + length > s.raw_size || !Fits(file_.size(), s.raw_offset + within, length)) continue;
      return static_cast<std::size_t>(s.raw_offset + within);
    }
    return std::nullopt;
  }
  Bytes file() const { return file_; }

 private:
  Bytes file_;
  std::vector<Section> sections_;
};

std::optional<std::string> ReadImports(const Image& image, std::uint32_t rva, std::vector<std::string>& out) {
  for (std::uint32_t at = rva;; at += 20) {
    auto entry = image.Offset(at, 20);
    if (!entry) return "import descriptor outside the file";
    const std::uint32_t name_rva = LoadU32(image.file(), *entry + 12);
    if (name_rva == 0) return std::nullopt;
    auto name = image.Offset(name_rva, 1);
    if (!name) return "import name outside the file";
    std::string text;
    for (std::size_t i = *name; i < image.file().size() && image.file()[i] != 0; ++i) text += char(image.file()[i]);
    out.push_back(text);
    if (out.size() > 256) return "too many imports";
  }
}

// Level 0: types, 1: names, 2: languages; the leaves hold data entries.
std::optional<std::string> ReadResourceLevel(const Image& image, std::size_t section, std::uint32_t section_rva,
                                             std::uint32_t section_size, std::uint32_t directory, int level,
                                             Resource path, std::vector<Resource>& out) {
  const Bytes file = image.file();
  if (!Fits(section_size, directory, 16) || !Fits(file.size(), section + directory, 16))
    return "resource directory outside its section";
  const std::size_t at = section + directory;
  const std::uint32_t count = LoadU16(file, at + 12) + LoadU16(file, at + 14);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t entry = directory + 16 + i * 8;
    if (!Fits(section_size, entry, 8) || !Fits(file.size(), section + entry, 8)) return "resource entry outside";
    const std::uint32_t id = LoadU32(file, section + entry);
    const std::uint32_t target = LoadU32(file, section + entry + 4);
    if (id & 0x80000000u) return "a resource with a string name";
    Resource next = path;
    (level == 0 ? next.type : level == 1 ? next.name : next.language) = id;
    const bool subdirectory = (target & 0x80000000u) != 0;
    if (subdirectory != (level < 2)) return "resource tree not three levels deep";
    if (subdirectory) {
      if (auto e = ReadResourceLevel(image, section, section_rva, section_size, target & 0x7FFFFFFFu, level + 1,
                                     next, out))
        return e;
      continue;
    }
    if (!Fits(section_size, target, 16) || !Fits(file.size(), section + target, 16)) return "data entry outside";
    const std::uint32_t data_rva = LoadU32(file, section + target);
    const std::uint32_t size = LoadU32(file, section + target + 4);
    auto data = image.Offset(data_rva, size);
    if (!data) return "resource data outside the file";
    next.data.assign(file.begin() + static_cast<std::ptrdiff_t>(*data),
                     file.begin() + static_cast<std::ptrdiff_t>(*data + size));
    out.push_back(std::move(next));
  }
  return std::nullopt;
}

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

std::variant<VersionNode, std::string> ReadNode(Bytes b, std::size_t at, std::size_t end, int depth) {
  if (depth > 4) return std::string("version record nested too deep");
  if (!Fits(end, at, 6)) return std::string("version node header outside its parent");
  const std::size_t length = LoadU16(b, at);
  const std::size_t value_length = LoadU16(b, at + 2);
  VersionNode node;
  node.text = LoadU16(b, at + 4) == 1;
  if (length < 6 || !Fits(end, at, length)) return std::string("version node length outside its parent");
  const std::size_t node_end = at + length;
  std::size_t p = at + 6;
  for (;; p += 2) {
    if (p + 2 > node_end) return std::string("version key without terminator");
    const std::uint16_t c = LoadU16(b, p);
    if (c == 0) break;
    node.key += c < 128 ? char(c) : '?';
  }
  p = Align4(p + 2);
  const std::size_t value_bytes = node.text ? value_length * 2 : value_length;
  if (value_bytes > 0) {
    if (!Fits(node_end, p, value_bytes)) return std::string("version value outside its node: ") + node.key;
    const auto from = b.begin() + static_cast<std::ptrdiff_t>(p);
    node.value.assign(from, from + static_cast<std::ptrdiff_t>(value_bytes));
    p = Align4(p + value_bytes);
  }
  while (p + 6 <= node_end) {
    auto child = ReadNode(b, p, node_end, depth + 1);
    if (auto* error = std::get_if<std::string>(&child)) return *error;
    const std::size_t child_length = LoadU16(b, p);
    node.children.push_back(std::move(std::get<VersionNode>(child)));
    p = Align4(p + child_length);
  }
  return node;
}

}  // namespace

std::string VersionNode::TextValue() const {
  std::string out;
  for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
    const std::uint16_t c = static_cast<std::uint16_t>(value[i] | value[i + 1] << 8);
    if (c == 0) break;
    out += c < 128 ? char(c) : '?';
  }
  return out;
}

const VersionNode* VersionNode::Child(const std::string& child_key) const {
  for (const VersionNode& c : children)
    if (c.key == child_key) return &c;
  return nullptr;
}

std::variant<Executable, std::string> Read(Bytes file) {
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return std::string("no MZ header");
  const std::uint32_t pe = LoadU32(file, 0x3C);
  if (!Fits(file.size(), pe, 24) || LoadU32(file, pe) != 0x00004550) return std::string("no PE signature");
  Executable exe;
  exe.machine = LoadU16(file, pe + 4);
  const std::uint32_t section_count = LoadU16(file, pe + 6);
  const std::uint32_t optional_size = LoadU16(file, pe + 20);
  const std::size_t optional = pe + 24;
  if (!Fits(file.size(), optional, optional_size) || optional_size < 96)
    return std::string("optional header cut short");
  const std::uint16_t magic = LoadU16(file, optional);
  if (magic != 0x10B && magic != 0x20B) return std::string("unknown optional header magic");
  exe.subsystem = LoadU16(file, optional + 68);
  const std::size_t directories = optional + (magic == 0x10B ? 96 : 112);
  const std::uint32_t directory_count = LoadU32(file, optional + (magic == 0x10B ? 92 : 108));
  if (directory_count < 3 || !Fits(optional + optional_size, directories, 3 * 8))
    return std::string("no data directories");

  std::vector<Section> sections;
  const std::size_t table = optional + optional_size;
  if (!Fits(file.size(), table, std::uint64_t{section_count} * 40)) return std::string("section table cut short");
  for (std::uint32_t i = 0; i < section_count; ++i) {
    const std::size_t s = table + i * 40;
    sections.push_back({LoadU32(file, s + 12), LoadU32(file, s + 8), LoadU32(file, s + 20), LoadU32(file, s + 16)});
  }
  const Image image(file, sections);

  if (const std::uint32_t imports = LoadU32(file, directories + 8); imports != 0)
    if (auto e = ReadImports(image, imports, exe.imports)) return *e;

  const std::uint32_t resources = LoadU32(file, directories + 16);
  const std::uint32_t resources_size = LoadU32(file, directories + 20);
  if (resources != 0) {
    auto section = image.Offset(resources, resources_size);
    if (!section) return std::string("resource section outside the file");
    if (auto e = ReadResourceLevel(image, *section, resources, resources_size, 0, 0, Resource{}, exe.resources))
      return *e;
  }
  return exe;
}

std::variant<VersionNode, std::string> ReadVersion(Bytes record) { return ReadNode(record, 0, record.size(), 0); }

}  // namespace pe
