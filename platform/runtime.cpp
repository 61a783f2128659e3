#include "platform/program.h"
#include "platform/runtime.h"

namespace platform {

RuntimeError::RuntimeError(std::string operation, std::string path, std::string cause)
    : std::runtime_error(operation + " \"" + path + "\": " + cause),
      operation_(std::move(operation)),
      path_(std::move(path)),
      cause_(std::move(cause)) {}

const ControlLayout* FindControl(const WindowLayout& window, Control id) {
  for (const ControlLayout& c : window.controls)
    if (c.id == id) return &c;
  return nullptr;
}

}  // namespace platform
