// The console's reading of words as numbers, the same for every command: a
// word that does not follow the rules reads as 0, never as an error. The
// grammar is checked character by character before any conversion: the
// library converters would take "inf", "nan", hexadecimal floats and
// trailing characters, none of which is a number at the console.
#pragma once

#include <cstdint>
#include <string>

namespace orbel2 {

// Integer: leading blanks, an optional sign, then decimal digits, or hex
// digits after "$", "x", "X", "0x" or "0X". The result is the value's 32
// bits. A decimal value outside the signed 32-bit range, or a hex value
// beyond 32 bits, reads as 0.
uint32_t ConsoleReadInteger(const std::string& Word);
// Decimal number: leading blanks, an optional sign, digits with an optional
// fraction (at least one digit in all), an optional exponent. "inf", "nan",
// hex floats and trailing characters are not numbers; a value beyond the
// double range reads as 0.
double ConsoleReadNumber(const std::string& Word);
// The same word read straight to the nearest float, rounded once (never
// through a double); a value beyond the float range reads as 0.
float ConsoleReadFloat(const std::string& Word);

}   // namespace orbel2
