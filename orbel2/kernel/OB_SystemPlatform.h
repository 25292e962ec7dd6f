// The operating system's own platform, one per target: Linux's in
// OB_Platform.cpp, Windows' in OB_PlatformWindows.cpp, the browser's in
// OB_PlatformWeb.cpp. OB_Platform() hands it out unless a test installed
// another.
#pragma once

#include <cstdint>

namespace orbel2 {

class OB_TPlatform;

OB_TPlatform& OB_SystemPlatform();

#if defined(__EMSCRIPTEN__)
// The browser's platform cannot sleep: SleepUntil notes the moment instead,
// and the page's frame callback runs no pass before it (web/WebMain.cpp).
int64_t OB_WebPlatform_ResumeAt();
#endif

}   // namespace orbel2
