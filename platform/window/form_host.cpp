#include "platform/window/form_host.h"

namespace platform {

void FormHost::Load(Runtime& runtime) {
  form_ = program_.create_form(runtime);
  const std::shared_ptr<Form> hold = form_;  // Load may unload the window
  program_.form_load(*hold);
}

void FormHost::Run(Control control, MouseEvent event, const MouseArgs& args) {
  RunBound(events_, control, event, form_, args, running_);
}

void RunBound(const EventTable& events, Control control, MouseEvent event, const std::shared_ptr<Form>& form,
              const MouseArgs& args, int& running) {
  const Procedure procedure = events.Find(control, event);
  if (procedure == nullptr || !form) return;
  const std::shared_ptr<Form> hold = form;  // outlives an Unload issued while it runs
  struct Running {
    int& count;
    explicit Running(int& c) : count(++c) {}
    ~Running() { --count; }
  } counted(running);
  procedure(*hold, args);
}

}  // namespace platform
