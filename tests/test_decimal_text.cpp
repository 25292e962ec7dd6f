// The decimal reading that stands in for std::from_chars where the C++
// library lacks it, against from_chars itself: the same value to the bit,
// and the same verdict on values out of range.
#include "orbel2/console/OB_DecimalText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace orbel2;

namespace {

template <typename T>
std::optional<T> FromChars(const std::string& Text)
{
    T value = 0;
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
    if (error != std::errc{} || end != Text.data() + Text.size())
        return std::nullopt;
    return value;
}

template <typename T>
bool SameBits(std::optional<T> A, std::optional<T> B)
{
    if (A.has_value() != B.has_value())
        return false;
    return !A || std::memcmp(&*A, &*B, sizeof(T)) == 0;
}

// Texts of every shape the console lets through: long mantissas that sit
// right at halfway points, exponents at and past both ends of each range,
// and many of a fixed pseudo-random generator.
std::vector<std::string> Texts()
{
    std::vector<std::string> texts{"0", "-0", "0.0", "0e999", "1", "-1", "0.1", "123.456", "1e-50", "1e-40",
                                   "1.4e-45", "7e-46", "7.1e-46", "1e39", "3.4028235e38", "3.4028236e38",
                                   "3.40282357e38", "1e-400", "1e-310", "2.4703282292062327e-324", "2.5e-324",
                                   "1e309", "1.7976931348623158e308", "1.7976931348623159e308",
                                   // halfway between two floats, and a hair to either side
                                   "16777217", "16777217.000000000000000000001", "16777216.99999999999999999999",
                                   "0.000000000000000000000000000000000000000000001", "9007199254740993",
                                   "9007199254740993.0000000000000000000000001"};
    uint64_t state = 0x2545F4914F6CDD1Dull;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        if (next() % 4 == 0)
            text.push_back('-');
        const uint64_t digits = 1 + next() % 25;
        const uint64_t point = next() % 2 == 0 ? next() % digits : digits;   // digits: no point
        for (uint64_t d = 0; d < digits; ++d) {
            if (d == point && d > 0)
                text.push_back('.');
            text.push_back(static_cast<char>('0' + next() % 10));
        }
        if (next() % 2 == 0) {
            text.push_back('e');
            text.append(std::to_string(static_cast<int>(next() % 700) - 350));
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(DecimalTextTest, RoundsAndRefusesAsFromCharsDoes)
{
    int mismatches = 0;
    for (const std::string& text : Texts()) {
        const bool sameFloat = SameBits(OB_DecimalToFloat(text), FromChars<float>(text));
        const bool sameDouble = SameBits(OB_DecimalToDouble(text), FromChars<double>(text));
        if (!sameFloat || !sameDouble)
            ++mismatches;
        if ((!sameFloat || !sameDouble) && mismatches <= 5)
            ADD_FAILURE() << "\"" << text << "\" float " << sameFloat << " double " << sameDouble;
    }
    EXPECT_EQ(mismatches, 0);
}

}   // namespace
