// The frame timer every session's timing rests on. It runs after every
// presented frame and measures the real time since the previous one, capped
// at one second, and the frames presented in the last whole second.
#pragma once

#include <cstdint>

namespace orbel2 {

// Starts timing: the first frame measures from now. The kernel's start-up
// calls it.
void OB_Kernel_StartTimer();
// Run after every presented frame.
void OB_Kernel_UpdateTimer();
// Seconds between the last two presented frames, at most 1.0: what the next
// frame of a session has to simulate.
double OB_Kernel_FrameTime();
// Frames presented in the last completed one-second window.
int32_t OB_Kernel_FPS();
// A new video mode: the frame time and the rate read 0 until the next frame.
void OB_Kernel_ClearFrameStatistics();
// Back to the state before the first start.
void OB_Kernel_ResetTimer();

}   // namespace orbel2
