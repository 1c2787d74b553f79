#pragma once

#include <string>
#include <string_view>
#include <vector>

// SCPI as a simulated instrument reads it: a message splits at ';' into program units; a unit
// starting with ':' is rooted, a unit without continues in the subsystem of the one before
// ("CALL:MS:REPorted:RXLevel:NEW?;NEW?" asks NEW? twice); common commands (*IDN?) leave that
// path alone. Headers match the manuals' notation: long form in mixed case, the short form
// being its upper-case letters ("RFGenerator" = "RFG"), optional nodes in brackets.
namespace sim {

struct ScpiUnit {
  std::vector<std::string> nodes;  // resolved from the root, as written
  bool common = false;             // *XXX
  bool query = false;
  std::string args;  // after the header, trimmed
};

std::vector<ScpiUnit> SplitScpiMessage(std::string_view message);
// Arguments split at ',' outside quotes, trimmed.
std::vector<std::string> SplitScpiArgs(std::string_view args);

class ScpiPattern {
 public:
  // e.g. "[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", "SYSTem:ERRor[:NEXT]?", "*IDN?"
  explicit ScpiPattern(std::string_view pattern);
  bool Matches(const ScpiUnit& unit) const;

 private:
  struct Node {
    std::string longForm;   // upper case
    std::string shortForm;  // upper case
    bool optional = false;
  };
  // Matched in place, not expanded into every choice of the optional nodes: a header with many
  // optional parts would otherwise cost 2^n alternatives.
  std::vector<Node> nodes_;
  bool query_ = false;
  bool common_ = false;
};

}  // namespace sim
