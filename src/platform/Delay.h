#pragma once

#include <functional>
#include <string_view>

// Run-time helpers the 4400 driver uses. Delay blocks for the given seconds; virtual-time runs
// install a handler that advances the simulated clock instead of sleeping.
void Delay(double seconds);
void SetDelayHandler(std::function<void(double seconds)> handler);  // empty: real sleep
int StringLength(std::string_view text);
