// Decimal text to float or double, rounded once to the nearest value, for
// C++ libraries without a floating-point std::from_chars (the libc++ of
// Debian's Emscripten). It answers as from_chars does: a value that
// overflows to infinity, or a nonzero text that rounds to zero, is out of
// range (subnormal results are not). The text must already be a plain
// decimal number ([-] digits [. digits] [e [+|-] digits]); nothing else is
// checked here.
#pragma once

#include <optional>
#include <string_view>

namespace orbel2 {

std::optional<float> OB_DecimalToFloat(std::string_view Text);
std::optional<double> OB_DecimalToDouble(std::string_view Text);

}   // namespace orbel2
