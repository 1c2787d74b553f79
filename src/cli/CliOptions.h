#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdlib>
#include <string>

// Option kinds several commands share, so each reads and refuses them alike.
namespace clioptions {

// --seed S: the simulated bench's seed (decimal, 0x hex).
inline CLI::Option* AddSeed(CLI::App& app, uint64_t& seed) {
  // The conversion would wrap "-1" round to a huge seed.
  const CLI::Validator notNegative(
      [](std::string& text) {
        return text.empty() || text[0] != '-' ? std::string() : "a seed is not negative";
      },
      "");
  return app.add_option("--seed", seed, "seed of the simulated bench")
      ->check(notNegative)
      ->default_val(seed);
}

// --timeout MS: 1 ms to 10 minutes.
constexpr uint32_t MAX_TIMEOUT_MS = 600000;
inline CLI::Option* AddTimeout(CLI::App& app, uint32_t& ms, const std::string& what) {
  return app.add_option("--timeout", ms, what)
      ->check(CLI::Range(uint32_t{1}, MAX_TIMEOUT_MS))
      ->default_val(ms)
      ->type_name("MS");
}

// --sim[=SEED]: the simulated bench in this process; "--sim" alone keeps seed as it is.
inline CLI::Option* AddSimSeed(CLI::App& app, bool& simulated, uint64_t& seed,
                               const std::string& what) {
  return app.add_flag("--sim")
      ->description(what + "; =SEED picks the bench's seed (default " + std::to_string(seed) + ")")
      ->type_name("[=SEED]")
      ->each([&simulated, &seed](const std::string& text) {
        simulated = true;
        if (text == "true") return;  // no value given
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
        if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || text.size() > 19) {
          throw CLI::ValidationError("bad seed '" + text + "'");
        }
        seed = value;
      });
}

// A number in decimal within [min, max], or false.
inline bool ParseNumber(const std::string& text, uint64_t min, uint64_t max, uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v < min || v > max) return false;
  value = v;
  return true;
}

}  // namespace clioptions
