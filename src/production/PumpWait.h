#pragma once

#include <cstdint>
#include <functional>

#include "platform/EventLoop.h"

// A wait that lets timers, answers and clicks flow: the loop's messages are dispatched until
// ms have passed on the tick counter, or until flag() holds when a flag is given.
// LOST is the caller's own: a wait that ended because the handset's port went away.
enum class WaitEnd { ELAPSED, FLAG, QUIT, LOST };

WaitEnd PumpWait(EventLoop& loop, uint32_t ms, const std::function<bool()>& flag = {});
