#pragma once

#include <string_view>

// How the service panels read their numeric fields.

// Leading decimal number of the text: optional blanks and one sign, then digits; 0 when there
// are none. Beyond the int range the value saturates, so an overlong entry stays out of range
// instead of wrapping into it.
int ReadIntField(std::string_view text);

// Leading decimal floating-point number, truncated toward zero ("123.9" 123, "-2.5" -2); 0 when
// there is none. Read in the C convention whatever the desktop's locale; saturates like
// ReadIntField.
int ReadTruncatedField(std::string_view text);
