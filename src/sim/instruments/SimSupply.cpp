#include "sim/instruments/SimSupply.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace sim {

bool SupplyModelByName(const std::string& name, SupplyModel* model) {
  std::string n;
  for (char c : name) n += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (n == "3631A" || n == "E3631A")
    *model = SupplyModel::E3631A;
  else if (n == "3632A" || n == "E3632A")
    *model = SupplyModel::E3632A;
  else if (n == "3633A" || n == "E3633A")
    *model = SupplyModel::E3633A;
  else if (n == "66311B")
    *model = SupplyModel::HP66311B;
  else
    return false;
  return true;
}

const char* SupplyModelName(SupplyModel model) {
  switch (model) {
    case SupplyModel::E3631A:
      return "E3631A";
    case SupplyModel::E3632A:
      return "E3632A";
    case SupplyModel::E3633A:
      return "E3633A";
    case SupplyModel::HP66311B:
      return "66311B";
  }
  return "";
}

SimSupply::SimSupply(Bench& bench, SupplyModel model) : bench_(bench), model_(model) {
  switch (model) {
    case SupplyModel::E3631A:
      outputs_ = {{"P6V", 0, 6.18, 5.15}, {"P25V", 0, 25.75, 1.03}, {"N25V", -25.75, 0, 1.03}};
      break;
    case SupplyModel::E3632A:
      outputs_ = {{"OUT", 0, 30.9, 7.21}};
      break;
    case SupplyModel::E3633A:
      outputs_ = {{"OUT", 0, 20.6, 20.6}};
      break;
    case SupplyModel::HP66311B:
      outputs_ = {{"OUT", 0, 15.535, 3.0712}};
      break;
  }
  SimSupply::ResetState();

  const bool triple = model == SupplyModel::E3631A;
  if (triple) {
    Command("INSTrument[:SELect]", [this](Request& r) {
      std::string name;
      if (!r.Word(0, &name)) return;
      if (!OutputByName(name, &selected_)) r.Error(-224, "Illegal parameter value");
    });
    Command("INSTrument:NSELect", [this](Request& r) {
      double n;
      if (!r.Real(0, &n)) return;
      if (n != 1.0 && n != 2.0 && n != 3.0) return r.Error(-224, "Illegal parameter value");
      selected_ = static_cast<size_t>(n) - 1;
    });
  }
  Command("[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", [this](Request& r) {
    double v;
    if (r.Real(0, &v)) SetVoltage(r, selected_, v);
  });
  Command("[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]?",
          [this](Request& r) { r.Reply(Nr3(outputs_[selected_].volts)); });
  Command("[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]", [this](Request& r) {
    double a;
    if (r.Real(0, &a)) SetCurrent(r, selected_, a);
  });
  Command("[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]?",
          [this](Request& r) { r.Reply(Nr3(outputs_[selected_].amps)); });
  Command("OUTPut[:STATe]", [this](Request& r) {
    if (r.Bool(0, &on_)) Push();
  });
  Command("OUTPut[:STATe]?", [this](Request& r) { r.Reply(on_ ? "1" : "0"); });
  if (model != SupplyModel::HP66311B) {
    // APPLy [output,] volts, amps
    Command("APPLy", [this, triple](Request& r) {
      size_t output = selected_;
      size_t first = 0;
      if (triple && r.args().size() == 3) {
        std::string name;
        r.Word(0, &name);
        if (!OutputByName(name, &output)) return r.Error(-224, "Illegal parameter value");
        first = 1;
      }
      double v, a;
      if (!r.Real(first, &v) || !r.Real(first + 1, &a)) return;
      if (SetVoltage(r, output, v)) SetCurrent(r, output, a);
    });
  }
  // MEASure:CURRent? [output] (the output name only on the E3631A)
  auto measure = [this, triple](Request& r, bool current) {
    size_t output = selected_;
    if (!r.args().empty()) {
      // Only the E3631A names an output here; the single-output models take no parameter.
      if (!triple) return r.Error(-108, "Parameter not allowed");
      std::string name;
      r.Word(0, &name);
      if (r.args().size() > 1) return r.Error(-108, "Parameter not allowed");
      if (!OutputByName(name, &output)) return r.Error(-224, "Illegal parameter value");
    }
    r.Busy(MEASUREMENT_MS);
    r.Reply(Nr3(current ? MeasuredAmps(output) : (on_ ? outputs_[output].volts : 0.0)));
  };
  Command("MEASure[:SCALar]:CURRent[:DC]?", [measure](Request& r) { measure(r, true); });
  Command("MEASure[:SCALar][:VOLTage][:DC]?", [measure](Request& r) { measure(r, false); });
}

std::string SimSupply::Identity() const {
  switch (model_) {
    case SupplyModel::E3631A:
      return "TESMIRA-SIM,E3631A,0,2.1-5.0-1.0";
    case SupplyModel::E3632A:
      return "TESMIRA-SIM,E3632A,0,1.7-5.0-1.0";
    case SupplyModel::E3633A:
      return "TESMIRA-SIM,E3633A,0,1.7-5.0-1.0";
    case SupplyModel::HP66311B:
      return "TESMIRA-SIM,66311B,0,A.01.05";
  }
  return "";
}

std::string SimSupply::OtherIdentity() const {
  return "TESMIRA-SIM,34401A,0,11-5-2";  // a multimeter at the supply's address
}

void SimSupply::ResetState() {
  for (Output& o : outputs_) {
    o.volts = 0.0;
    o.amps = o.maxAmps;
  }
  selected_ = 0;
  on_ = false;
  Push();
}

bool SimSupply::OutputByName(const std::string& name, size_t* index) const {
  for (size_t i = 0; i < outputs_.size(); ++i) {
    if (name == outputs_[i].name) {
      *index = i;
      return true;
    }
  }
  return false;
}

bool SimSupply::SetVoltage(Request& r, size_t output, double volts) {
  if (volts < outputs_[output].minVolts || volts > outputs_[output].maxVolts) {
    r.Error(-222, "Data out of range");
    return false;
  }
  outputs_[output].volts = volts;
  Push();
  return true;
}

bool SimSupply::SetCurrent(Request& r, size_t output, double amps) {
  if (amps < 0.0 || amps > outputs_[output].maxAmps) {
    r.Error(-222, "Data out of range");
    return false;
  }
  outputs_[output].amps = amps;
  Push();
  return true;
}

double SimSupply::MeasuredAmps(size_t output) {
  if (!on_ || output != 0) return 0.0;  // only the first output feeds the jig
  return bench_.SupplyCurrentA();
}

void SimSupply::FrontPanelOutput(bool on, double volts, double amps) {
  if (on) {
    outputs_[0].volts = std::min(volts, outputs_[0].maxVolts);
    outputs_[0].amps = std::min(amps, outputs_[0].maxAmps);
  }
  on_ = on;
  Push();
}

void SimSupply::Push() {
  bench_.SetSupplyOutput(outputs_[0].volts, outputs_[0].amps, on_);
}

}  // namespace sim
