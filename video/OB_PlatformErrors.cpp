#include "video/OB_PlatformErrors.h"

#include "console/OB_Logfile.h"
#include "kernel/OB_Errors.h"
#include "video/platform/OB_GfxWindow.h"

std::string OB_LogPlatformError()
{
    const std::string why = OB_Gfx_TakeError();
    if (why.empty())
        return why;
    // Only detail after the engine's own line: a log that is not open (a
    // test without one) does not turn it into an error.
    try {
        LogWriteLine("SDL: " + why);
    } catch (const EInOutError&) {
    }
    return why;
}
