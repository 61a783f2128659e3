#pragma once
// The window object's life and the running of its procedures, alike in every
// runtime (the scripted one for tests included): Load creates the object and
// runs its Load procedure; each mouse event runs the procedure bound to it,
// holding the object, possibly nested in the wait of one already running;
// Unload lets go of the object while the running procedures keep theirs.

#include <memory>

#include "platform/runtime.h"
#include "platform/window/program_description.h"

namespace platform {

// How many procedures may run nested inside each other's waits. A person
// cannot click that fast; a flood of synthetic clicks would otherwise nest
// until the stack runs out. Input beyond it waits until a level is free.
inline constexpr int kMaxNesting = 256;

class FormHost {
 public:
  explicit FormHost(const ProgramDescription& program) : program_(program), events_(program.bindings) {}

  // Creates the window object for `runtime` and runs its Load procedure.
  void Load(Runtime& runtime);
  // Lets go of the window object; procedures still running hold their own.
  void Release() { form_.reset(); }

  bool Binds(Control control, MouseEvent event) const { return events_.Find(control, event) != nullptr; }
  // Runs the procedure bound to the event; nothing runs without a binding or
  // once the window object is let go.
  void Run(Control control, MouseEvent event, const MouseArgs& args);
  // False while kMaxNesting procedures run: input must wait.
  bool MayNest() const { return running_ < kMaxNesting; }
  int running() const { return running_; }
  const std::shared_ptr<Form>& form() const { return form_; }

 private:
  const ProgramDescription& program_;
  const EventTable events_;
  std::shared_ptr<Form> form_;
  int running_ = 0;  // procedures running, nested in each other's waits
};

// Runs the procedure bound to the control's event, if any, holding the window
// object for the whole run (an Unload inside it cannot free it) and counting it
// in `running` while it runs. Nothing runs without a window object.
void RunBound(const EventTable& events, Control control, MouseEvent event, const std::shared_ptr<Form>& form,
              const MouseArgs& args, int& running);

}  // namespace platform
