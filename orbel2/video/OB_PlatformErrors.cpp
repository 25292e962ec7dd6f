#include "orbel2/video/OB_PlatformErrors.h"

#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/video/platform/OB_GfxWindow.h"

namespace orbel2 {

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

}   // namespace orbel2
