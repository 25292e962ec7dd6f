// Preconditions that only a programming error can break. OB_ASSERT stops
// the program loudly, naming the condition and where it failed, in debug
// and sanitizer builds (ORBEL2_ASSERTS); in optimised builds it checks
// nothing, and the code after it still fails safely (it returns, or draws
// nothing) rather than read out of bounds.
#pragma once

#include <cstdio>
#include <cstdlib>

#if defined(ORBEL2_ASSERTS)
#define OB_ASSERT(condition)                                                                                           \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::orbel2::OB_AssertFailed(#condition, __FILE__, __LINE__);                                                           \
    } while (false)
#else
#define OB_ASSERT(condition)                                                                                           \
    do {                                                                                                               \
    } while (false)
#endif

namespace orbel2 {

[[noreturn]] inline void OB_AssertFailed(const char* Condition, const char* File, int Line)
{
    std::fprintf(stderr, "%s:%d: assertion failed: %s\n", File, Line, Condition);
    std::fflush(stderr);
    std::abort();
}

}   // namespace orbel2
