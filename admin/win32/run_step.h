// One step of a sequence that must go on when a step fails: the tab activations run their
// loading steps through it, so an exception from one (a directory gone away, a bad value) never
// leaves the window procedure and the next step still runs.
#pragma once

#include <functional>

namespace vela::win32 {

// Runs `step`; an empty step does nothing, and whatever a step throws is dropped: the step is
// passed over, and the page shows what the steps before it loaded.
inline void RunStep(const std::function<void()>& step) noexcept {
    if (!step) return;
    try {
        step();
    } catch (...) {
    }
}

}  // namespace vela::win32
