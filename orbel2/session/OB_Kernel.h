// Start-up and shut-down of the whole engine, in a fixed order. This is the
// roof of the house: it calls every subsystem, so only a program (main) and
// the session level include it; the ground floor's kernel units (errors,
// resources, key codes, messages, frame timer, platform seam) include
// nothing above them.
//
// Rule: between OB_Kernel_Init and OB_Kernel_Finalize the file system, the
// log, the fonts' subscription, the visual lists and the console exist.
// Finalize leaves every unit as it was before Init, so the engine can be
// started again in the same process.
#pragma once

namespace orbel2 {

// Platform services, the file system rooted at ".", the log (which creates
// "orbel2.log" afresh), the fonts' subscription, the visual lists, the
// console, the log line "Orbel2 Initialized", then the frame timer.
void OB_Kernel_Init();
// The log line "Orbel2 Finalizing", then the console, the fonts' device
// objects, the visual lists, the file system, the video system, the log and
// the platform services, in that order; then every unit's remaining state.
void OB_Kernel_Finalize();

}   // namespace orbel2
