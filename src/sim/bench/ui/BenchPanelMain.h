#pragma once

#include <functional>

class BenchControls;

// tesmira-bench --panel: the bench's panel window on this (the main) thread until it is closed
// or stopped() holds; the bench itself runs on its own thread meanwhile. Returns the exit code.
int RunBenchPanel(int& argc, char** argv, BenchControls& controls, unsigned long long seed,
                  const std::function<bool()>& stopped);
