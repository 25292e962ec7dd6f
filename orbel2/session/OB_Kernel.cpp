#include "orbel2/session/OB_Kernel.h"

#include "orbel2/console/OB_ConsoleCommands.h"
#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_FrameTimer.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/kernel/OB_Platform.h"
#include "orbel2/kernel/OB_Visuals.h"
#include "orbel2/vfs/OB_vfs.h"
#include "orbel2/video/OB_Font.h"
#include "orbel2/video/OB_Textures.h"
#include "orbel2/video/OB_Video.h"

namespace orbel2 {

void OB_Kernel_Init()
{
    OB_StartPlatformServices();
    CreateFileSystem();
    LogInit();
    OB_Font_Init();
    CreateVisuals();
    ConsoleInit();
    LogWriteLine("Orbel2 Initialized");
    OB_Kernel_StartTimer();
}

void OB_Kernel_Finalize()
{
    LogWriteLine("Orbel2 Finalizing");
    ConsoleShutdown();
    OB_Font_Shutdown();
    FreeVisuals();
    FreeFileSystem();
    OB_Video_Close();
    LogShutdown();
    OB_StopPlatformServices();
    // What the units would otherwise keep until the program ends: the fonts
    // themselves, the device wrapper and the video record, the textures, the
    // bus's listeners and the timer. The next start begins from nothing.
    OB_Font_Release();
    OB_Video_Finalize();
    TextureManager().Clear();
    OB_ResetMessageBus();
    OB_Kernel_ResetTimer();
}

}   // namespace orbel2
