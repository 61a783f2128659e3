#pragma once
// What a program hands to a runtime: the window's layout, the window object's
// factory and Load procedure, and the table binding control events to procedures.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/runtime.h"

namespace platform {

inline constexpr int kTwipsPerPixel = 15;

// Positions that are not whole pixels fall on the pixel they start in.
constexpr int PixelsFromTwips(int twips) { return twips / kTwipsPerPixel; }
constexpr float TwipsFromPixels(int pixels) { return static_cast<float>(pixels * kTwipsPerPixel); }

enum class ControlKind : std::uint8_t { Image, OleContainer };
enum class MousePointer : std::uint8_t { Default, Custom };

// Bytes built into the executable (a picture file, or the OLE picture object).
using EmbeddedBytes = std::span<const std::uint8_t> (*)();

struct ControlLayout {
  Control id;
  std::string_view name;
  ControlKind kind;
  int left, top, width, height;  // twips, relative to the client area
  EmbeddedBytes picture;         // design-time picture or picture object; null for none
  MousePointer pointer;
  EmbeddedBytes mouse_icon;      // the cursor file shown when pointer is Custom
};

struct WindowLayout {
  std::string_view name;
  std::string_view caption;
  int client_width, client_height;  // twips
  EmbeddedBytes icon;
  std::span<const ControlLayout> controls;
  std::span<const Control> focus_order;  // the controls the keyboard moves through, in order
};

struct Binding {
  Control control;
  MouseEvent event;
  Procedure procedure;
};

struct ProgramDescription {
  const WindowLayout& window;
  std::span<const Binding> bindings;
  std::shared_ptr<Form> (*create_form)(Runtime&);
  void (*form_load)(Form&);
};

// The binding table turned into a direct lookup; nullptr where no procedure is bound.
class EventTable {
 public:
  explicit EventTable(std::span<const Binding> bindings) {
    for (const Binding& b : bindings) table_[Index(b.control, b.event)] = b.procedure;
  }
  Procedure Find(Control control, MouseEvent event) const { return table_[Index(control, event)]; }

 private:
  static std::size_t Index(Control c, MouseEvent e) {
    return static_cast<std::size_t>(c) * kMouseEventCount + static_cast<std::size_t>(e);
  }
  std::array<Procedure, kControlCount * kMouseEventCount> table_{};
};

inline const ControlLayout* FindControl(const WindowLayout& window, Control id) {
  for (const ControlLayout& c : window.controls)
    if (c.id == id) return &c;
  return nullptr;
}

}  // namespace platform
