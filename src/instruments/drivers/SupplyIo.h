#pragma once

#include <cmath>
#include <string>

#include "instruments/drivers/ScpiInstrument.h"
#include "instruments/drivers/ScpiSupplyTables.h"

// The part the three supply stand-ins share: their model table, the session plumbing, and the
// reading of a current.
class SupplyIo {
 public:
  SupplyIo(const SupplyTable& table, std::array<const char*, 3> modelTokens)
      : table_(table),
        io_(ScpiModel{modelTokens, Scpi(table, ScpiSupply::IDENTIFY),
                      Scpi(table, ScpiSupply::RESET), Scpi(table, ScpiSupply::WAIT_COMPLETE),
                      Scpi(table, ScpiSupply::CLEAR), Scpi(table, ScpiSupply::ERROR_QUERY), 5000}) {
  }

  ScpiInstrument& io() { return io_; }
  std::string Text(ScpiSupply role, std::initializer_list<ScpiArg> args = {}) const {
    return ScpiFormat(Scpi(table_, role), args);
  }
  ViStatus MeasureCurrent(ViSession vi, const std::string& query, ViReal64* amps);

  static bool InRange(double value, double high) { return InRange(value, 0.0, high); }
  static bool InRange(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
  }

 private:
  const SupplyTable& table_;
  ScpiInstrument io_;
};

// The VxiPnpDriver operations every supply stand-in forwards to its SupplyIo.
#define SCPI_SUPPLY_COMMON_OPERATIONS(member)                                            \
  ViStatus Init(const char* resource, ViBoolean idQuery, ViBoolean reset, ViSession* vi) \
      override {                                                                         \
    return member.io().Init(resource, idQuery, reset, vi);                               \
  }                                                                                      \
  ViStatus Close(ViSession vi) override {                                                \
    return member.io().Close(vi);                                                        \
  }                                                                                      \
  ViStatus Reset(ViSession vi) override {                                                \
    return member.io().Reset(vi);                                                        \
  }                                                                                      \
  ViStatus ErrorQuery(ViSession vi, ViInt32* code, char* text) override {                \
    return member.io().ErrorQuery(vi, code, text);                                       \
  }                                                                                      \
  ViStatus ErrorMessage(ViSession, ViStatus status, char* text) override {               \
    return ScpiInstrument::ErrorMessage(status, text);                                   \
  }                                                                                      \
  ViStatus Clear(ViSession vi) override {                                                \
    return member.io().Clear(vi);                                                        \
  }                                                                                      \
  std::string Identity(ViSession vi) override {                                          \
    return member.io().Identity(vi);                                                     \
  }
