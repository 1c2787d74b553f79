#pragma once

#include <functional>

// Blocking waits outside the station's event loop (instrument I/O and driver delays on the
// user-interface thread) are cut into short slices with BlockingWaitTick between them, so a
// front end can keep its windows painted meanwhile. The hook must dispatch no station work
// (timers, answers, input): the wait stays a blocking wait. Only the waits of the thread that
// installed the hook call it.
constexpr int BLOCKING_WAIT_SLICE_MS = 10;

void SetBlockingWaitHook(std::function<void()> hook);  // this thread's; empty: none
bool BlockingWaitHooked();                             // a hook for the calling thread
void BlockingWaitTick();                               // runs it (nothing elsewhere)
