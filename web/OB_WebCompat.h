// Included before every source of the web build (-include): fills in what
// the C++ library of Debian's Emscripten (libc++ of the LLVM 14 era) lacks
// of C++20 and the engine uses. The compiler has the built-ins behind it.
#pragma once

#include <bit>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& Value) noexcept
{
    static_assert(sizeof(To) == sizeof(From), "bit_cast needs types of one size");
    return __builtin_bit_cast(To, Value);
}
}   // namespace std
#endif

// Its ranges are switched off as incomplete; the engine uses only these.
#if !defined(__cpp_lib_ranges)
#include <algorithm>
#include <iterator>

namespace std::ranges {
inline constexpr auto any_of = [](auto&& Range, auto Predicate) {
    return std::any_of(std::begin(Range), std::end(Range), Predicate);
};
inline constexpr auto all_of = [](auto&& Range, auto Predicate) {
    return std::all_of(std::begin(Range), std::end(Range), Predicate);
};
inline constexpr auto none_of = [](auto&& Range, auto Predicate) {
    return std::none_of(std::begin(Range), std::end(Range), Predicate);
};
}   // namespace std::ranges
#endif
