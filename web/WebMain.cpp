// Orbel2 in the browser: the demo of demo/main.cpp, but the browser owns the
// loop. A blocking loop would freeze the tab, so the session runs in passes
// from the browser's frame callback (requestAnimationFrame): each callback
// takes the pending messages and draws one frame, then hands control back;
// under a frame cap it skips the browser's frames until the cap's moment.
// Escape ends the session as on the desktop: the engine is shut down, the
// page is told (Module.onSessionEnded) and may start it again
// (OB_Web_Restart). The log and recordings live in the page's in-memory
// file system, where the page reads and writes them.
#include "orbel2/kernel/OB_Platform.h"
#include "orbel2/kernel/OB_SystemPlatform.h"
#include "orbel2/session/HeadlessReplay.h"
#include "demo/MainSession.h"
#include "orbel2/session/OB_Kernel.h"
#include "orbel2/video/OB_Video.h"

#include <emscripten/emscripten.h>

#include <exception>
#include <memory>
#include <sstream>
#include <string>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

std::unique_ptr<TSession> Session;

void Report(const std::string& Text)
{
    EM_ASM({ if (Module.onEngineError) Module.onEngineError(UTF8ToString($0)); }, Text.c_str());
}

void StopDemo()
{
    emscripten_cancel_main_loop();
    const int32_t code = Session->End();
    Session.reset();
    OB_Video_Close();
    OB_Kernel_Finalize();
    EM_ASM({ if (Module.onSessionEnded) Module.onSessionEnded($0); }, code);
}

#if !defined(ORBEL2_WEB_ASYNCIFY)
// Passes one callback may run: messages are taken until the queue is empty
// and a frame is drawn; a flood of messages still gives the browser its turn.
constexpr int MaxPassesPerCallback = 1000;

void RunCallback()
{
    // The frame cap's moment has not come: the browser's next frame may.
    if (OB_SystemPlatform().PerformanceCounter() < OB_WebPlatform_ResumeAt())
        return;
    try {
        for (int pass = 0; pass < MaxPassesPerCallback; ++pass) {
            const TSessionPass done = Session->RunPass();
            if (done == TSessionPass::Ended) {
                StopDemo();
                return;
            }
            if (done != TSessionPass::Message)
                return;
        }
    } catch (const std::exception& error) {
        emscripten_cancel_main_loop();
        Session.reset();
        Report(error.what());
    }
}
#else
// The other way, built only to measure it (tools/ports/build-web.sh
// asyncify): the loop keeps blocking, and Emscripten's asyncify unwinds it
// to the browser at every emscripten_sleep, after each frame and for the
// frame cap.
void RunBlocking()
{
    for (;;) {
        const int64_t now = OB_SystemPlatform().PerformanceCounter();
        if (now < OB_WebPlatform_ResumeAt())
            emscripten_sleep(static_cast<unsigned>((OB_WebPlatform_ResumeAt() - now) / 1'000'000));
        const TSessionPass done = Session->RunPass();
        if (done == TSessionPass::Ended) {
            StopDemo();
            return;
        }
        if (done != TSessionPass::Message)
            emscripten_sleep(0);
    }
}
#endif

void StartDemo()
{
    try {
        OB_Kernel_Init();
        OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
        Session = SessionClass<TMainSession>();
        Session->Begin();
#if defined(ORBEL2_WEB_ASYNCIFY)
        RunBlocking();
#else
        emscripten_set_main_loop(RunCallback, 0, 0);
#endif
    } catch (const OB_EVideoError& error) {
        Report(std::string(error.what()) + (error.Reason().empty() ? "" : ": " + error.Reason()));
    } catch (const std::exception& error) {
        Report(error.what());
    }
}

}   // namespace

extern "C" {

// Starts the demo again after Escape ended it.
EMSCRIPTEN_KEEPALIVE void OB_Web_Restart()
{
    if (!Session)
        StartDemo();
}

EMSCRIPTEN_KEEPALIVE int OB_Web_SessionRunning()
{
    return Session != nullptr ? 1 : 0;
}

// What "orbel2 --replay FILE" prints for a file of the page's file system:
// the world hash and the player at the end, for comparing with other builds.
EMSCRIPTEN_KEEPALIVE const char* OB_Web_Replay(const char* FileName)
{
    static std::string printed;
    std::ostringstream out;
    RunHeadlessReplay(TReplayRequest{FileName, 0}, out, out);
    printed = out.str();
    return printed.c_str();
}

}   // extern "C"

int main()
{
    StartDemo();
    return 0;
}
