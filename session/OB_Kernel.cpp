#include "session/OB_Kernel.h"

#include "console/OB_ConsoleCommands.h"
#include "console/OB_Logfile.h"
#include "kernel/OB_FrameTimer.h"
#include "kernel/OB_Messages.h"
#include "kernel/OB_Platform.h"
#include "kernel/OB_Visuals.h"
#include "vfs/OB_vfs.h"
#include "video/OB_Font.h"
#include "video/OB_Textures.h"
#include "video/OB_Video.h"

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
