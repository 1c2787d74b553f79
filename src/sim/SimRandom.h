#pragma once

#include <cmath>
#include <cstdint>

// Deterministic random numbers for the simulated bench: the same seed gives the same units and
// the same noise on every platform (no std:: distributions, whose output is library-specific).
namespace sim {

// splitmix64 finaliser: spreads a seed and a stream tag into an independent 64-bit state.
constexpr uint64_t MixSeed(uint64_t a, uint64_t b) {
  uint64_t z = a + 0x9E3779B97F4A7C15ULL * (b + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

class SimRandom {
 public:
  explicit SimRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    return MixSeed(state_, 0);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Unit(); }
  int UniformInt(int lo, int hi) {  // both included
    return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }
  bool Chance(double p) { return Unit() < p; }
  // Standard normal (Box-Muller; one value per call keeps the stream simple to reason about).
  double Gauss() {
    double u1 = Unit();
    if (u1 < 1e-300) u1 = 1e-300;
    const double u2 = Unit();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  // Normal with sigma, clipped to +-limit.
  double GaussClipped(double sigma, double limit) {
    const double v = sigma * Gauss();
    return v > limit ? limit : (v < -limit ? -limit : v);
  }

 private:
  uint64_t state_;
};

}  // namespace sim
