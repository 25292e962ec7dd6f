// The frame cap ("maxfps"): after each present the loop sleeps until
// 1/MaxFPS s have passed since the frame began, so that no two frames begin
// closer than that. The frame is drawn and presented as soon as it is ready
// and the wait comes after it, so the cap adds no delay between the input a
// frame samples and the picture it shows. A frame slower than the cap is
// not made slower: the next one begins at once, and the cap counts from
// there rather than catching up with a burst.
#pragma once

#include <cstdint>

namespace orbel2 {

class TFramePacer {
public:
    // Call right after each present. MaxFPS <= 0 is no cap: nothing waits.
    void AfterPresent(int32_t MaxFPS);

private:
    int64_t FFrameBegan = 0;   // platform counter at which the current frame began
};

}   // namespace orbel2
