// The platform layer gives SDL's own words for a failure back to the video
// system; this writes them to the log as "SDL: " and the words, after the
// engine's own line, so that a person sees the cause behind a result code.
#pragma once

#include <string>

namespace orbel2 {

// Takes the platform's last failure and logs it; nothing when there was none
// since the last take, or when the log is not open. Returns the words.
std::string OB_LogPlatformError();

}   // namespace orbel2
