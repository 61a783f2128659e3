#pragma once
// The window's only way of waiting: pump events a fixed number of times.

#include <cstdint>

#include "platform/runtime.h"

namespace menu {

using WaitCount = std::int32_t;  // must hold 3400000

// Exactly `counts` calls of DoEvents. Procedures run inside it, nested; nothing
// they do (not even unloading the window) ends the wait early.
inline void PumpingWait(platform::Runtime& rt, WaitCount counts) {
  for (WaitCount done = 0; done < counts; ++done) rt.DoEvents();  // counts 1..N, no overflow at the top
}

}  // namespace menu
