#include "orbel2/console/OB_DecimalText.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace orbel2 {

namespace {

bool HasNonzeroDigit(std::string_view Text)
{
    for (const char ch : Text) {
        if (ch == 'e' || ch == 'E')
            return false;
        if (ch >= '1' && ch <= '9')
            return true;
    }
    return false;
}

// strtof and strtod round correctly, in the C locale the engine never
// leaves; they report underflow for subnormal results too, so their errno
// is not used.
template <typename T>
std::optional<T> Converted(std::string_view Text, T (*Convert)(const char*, char**))
{
    const std::string text(Text);
    char* end = nullptr;
    const T value = Convert(text.c_str(), &end);
    if (end != text.c_str() + text.size() || text.empty())
        return std::nullopt;
    if (std::isinf(value) || (value == 0 && HasNonzeroDigit(Text)))
        return std::nullopt;
    return value;
}

}   // namespace

std::optional<float> OB_DecimalToFloat(std::string_view Text)
{
    return Converted<float>(Text, std::strtof);
}

std::optional<double> OB_DecimalToDouble(std::string_view Text)
{
    return Converted<double>(Text, std::strtod);
}

}   // namespace orbel2
