// The console's start-up and shut-down, and the built-in commands and
// variables it registers: "help", "set", "get", "vars", "vid_size",
// "vid_info", "watch" and "res", then "consoleheight" and "fps". These sit
// above the registry because some of them reach the video system and the
// status report.
#pragma once

namespace orbel2 {

// Settings, background, output and history, the built-ins, the greeting
// "Orbel2 At your service!" and the echo of kernel messages.
void ConsoleInit();
// Leaves nothing registered: commands, variables, watches, output, history
// and the edit line all go.
void ConsoleShutdown();

}   // namespace orbel2
