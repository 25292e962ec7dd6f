#include "orbel2/console/OB_ConsoleNumbers.h"

#include "orbel2/console/OB_DecimalText.h"

#include <charconv>
#include <optional>
#include <string_view>
#include <type_traits>

namespace orbel2 {

namespace {

std::string_view WithoutLeadingBlanks(std::string_view Word)
{
    const size_t first = Word.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : Word.substr(first);
}

int DigitValue(char Ch, bool Hex)
{
    if (Ch >= '0' && Ch <= '9')
        return Ch - '0';
    if (!Hex)
        return -1;
    if (Ch >= 'a' && Ch <= 'f')
        return Ch - 'a' + 10;
    if (Ch >= 'A' && Ch <= 'F')
        return Ch - 'A' + 10;
    return -1;
}

// The 32 bits of an integer word, or nothing when the word breaks the rules
// or its value does not fit (signed 32-bit for decimal, 32 bits for hex).
std::optional<uint32_t> ParseInteger(std::string_view Word)
{
    std::string_view rest = WithoutLeadingBlanks(Word);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    bool hex = false;
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        hex = true;
        rest.remove_prefix(2);
    } else if (!rest.empty() && (rest.front() == '$' || rest.front() == 'x' || rest.front() == 'X')) {
        hex = true;
        rest.remove_prefix(1);
    }
    if (rest.empty())
        return std::nullopt;

    const uint64_t base = hex ? 16 : 10;
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t value = 0;
    for (const char ch : rest) {
        const int digit = DigitValue(ch, hex);
        if (digit < 0)
            return std::nullopt;
        value = value * base + static_cast<uint64_t>(digit);
        if (value > limit)
            return std::nullopt;
    }
    const uint32_t bits = static_cast<uint32_t>(value);
    return negative ? 0u - bits : bits;
}

size_t SkipDigits(std::string_view Text, size_t Pos)
{
    while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9')
        ++Pos;
    return Pos;
}

// True when Text is [+|-] digits [. digits] [(e|E) [+|-] digits] with at
// least one digit before the exponent.
bool IsDecimalNumber(std::string_view Text)
{
    size_t pos = 0;
    if (pos < Text.size() && (Text[pos] == '+' || Text[pos] == '-'))
        ++pos;
    const size_t integerEnd = SkipDigits(Text, pos);
    size_t mantissaDigits = integerEnd - pos;
    pos = integerEnd;
    if (pos < Text.size() && Text[pos] == '.') {
        const size_t fractionEnd = SkipDigits(Text, pos + 1);
        mantissaDigits += fractionEnd - pos - 1;
        pos = fractionEnd;
    }
    if (mantissaDigits == 0)
        return false;
    if (pos < Text.size() && (Text[pos] == 'e' || Text[pos] == 'E')) {
        ++pos;
        if (pos < Text.size() && (Text[pos] == '+' || Text[pos] == '-'))
            ++pos;
        const size_t exponentEnd = SkipDigits(Text, pos);
        if (exponentEnd == pos)
            return false;
        pos = exponentEnd;
    }
    return pos == Text.size();
}

// The text of a decimal number as the converters take it: no leading
// blanks, no "+" (from_chars takes none); empty when it is not a number.
std::string_view DecimalText(const std::string& Word)
{
    std::string_view text = WithoutLeadingBlanks(Word);
    if (!IsDecimalNumber(text))
        return {};
    if (text.front() == '+')
        text.remove_prefix(1);
    return text;
}

// The word's value in T, rounded once from the decimal text; a value beyond
// T's range either way reads as 0, like an integer beyond its range.
template <typename T>
T ReadDecimal(const std::string& Word)
{
    const std::string_view text = DecimalText(Word);
    if (text.empty())
        return 0;
#if defined(_LIBCPP_VERSION)   // libc++ of the web build: no floating-point from_chars
    if constexpr (std::is_same_v<T, float>)
        return OB_DecimalToFloat(text).value_or(0);
    else
        return OB_DecimalToDouble(text).value_or(0);
#else
    T value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return 0;
    return value;
#endif
}

}   // namespace

uint32_t ConsoleReadInteger(const std::string& Word)
{
    return ParseInteger(Word).value_or(0);
}

double ConsoleReadNumber(const std::string& Word)
{
    return ReadDecimal<double>(Word);
}

float ConsoleReadFloat(const std::string& Word)
{
    return ReadDecimal<float>(Word);
}

}   // namespace orbel2
