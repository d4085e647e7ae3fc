// Letting the window handle its pending events from inside a handler.
#pragma once

namespace syj {

// Processes the events that are waiting (input, repaints, timers), then returns.
void DoEvents();

} // namespace syj
