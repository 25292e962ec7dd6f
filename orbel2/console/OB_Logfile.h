// The log: "orbel2.log" (or the name a game gives) in the current
// directory, created afresh at every start. Every line is handed to the operating system before the call
// returns, so the log is complete up to its last line even after a crash.
// A failure to create or write the file raises EInOutError naming the file
// and the system's reason.
#pragma once

#include <cstdint>
#include <string>

namespace orbel2 {

// The file LogInit creates; call before the kernel starts.
void LogSetFileName(const std::string& Name);
const std::string& LogFileName();
void LogInit();
void LogShutdown();
// Writes '[hh:mm:ss:mmmm] ' + Text + CR LF.
void LogWriteLine(const std::string& Text);
// Writes Text as it is: no time stamp, no line end.
void LogWrite(const std::string& Text);
// Milliseconds as "%2.2d:%2.2d:%2.2d:%4.4d" (hours, minutes, seconds, ms).
std::string FormatLogTime(uint32_t Milliseconds);

}   // namespace orbel2
