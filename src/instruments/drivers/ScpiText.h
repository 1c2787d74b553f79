#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// One SCPI text of a model's table, looked up by role. Texts keep the manuals' long/short
// spelling; "{}" marks where an argument goes. checked is false for a line whose exact form was
// not confirmed in the maker's programming manual, so it is easy to find and correct.
template <typename Role>
struct ScpiEntry {
  Role role;
  const char* text;
  bool checked;
};

// Looks a role up in a table whose rows are in role order (checked at compile time by the
// tables' static_asserts).
template <typename Role, typename Table>
constexpr const char* ScpiTextOf(const Table& table, Role role) {
  return table[static_cast<size_t>(role)].text;
}

template <typename Table>
constexpr bool RowsInRoleOrder(const Table& table) {
  for (size_t i = 0; i < table.size(); ++i)
    if (static_cast<size_t>(table[i].role) != i) return false;
  return true;
}

// An argument of a SCPI text: integers in decimal, reals with up to 12 significant digits
// (947467000, -1.2, 3.8), text as given.
class ScpiArg {
 public:
  ScpiArg(int value);
  ScpiArg(double value);
  ScpiArg(const char* value) : text_(value) {}
  ScpiArg(std::string_view value) : text_(value) {}
  ScpiArg(const std::string& value) : text_(value) {}
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Fills the "{}" places of pattern in order; missing arguments leave the place empty.
std::string ScpiFormat(std::string_view pattern, std::initializer_list<ScpiArg> args = {});
