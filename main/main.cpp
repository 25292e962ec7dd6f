// Orbel2: the fixed-time-step demonstration. Starts the engine, opens a
// 640 x 480 window, runs the demo session until Escape or the window is
// closed, and stops the engine in reverse order. With --replay FILE it
// replays a recording without any of that.
#include "kernel/OB_Version.h"
#include "main/CommandLine.h"
#include "session/MainSession.h"
#include "session/OB_Kernel.h"
#include "video/OB_Video.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

int RunDemo()
{
    OB_Kernel_Init();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    const TSessionClass sessionClass = SessionClass<TMainSession>;
    std::unique_ptr<TSession> session = sessionClass();
    session->Run();
    session.reset();
    OB_Video_Close();
    OB_Kernel_Finalize();
    return 0;
}

}   // namespace

int main(int argc, char** argv)
{
    const TCommandLine line = ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    switch (line.Action) {
    case TProgramAction::ShowHelp:
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    case TProgramAction::ShowVersion:
        std::printf("orbel2 %s\n", OB_VERSION_STRING);
        return 0;
    case TProgramAction::Refuse:
        std::fprintf(stderr, "orbel2: %s\n", line.Problem.c_str());
        return 2;
    case TProgramAction::Replay:
        // Needs no display, and starts nothing of the engine: no log either.
        return RunHeadlessReplay(line.Replay, std::cout, std::cerr);
    case TProgramAction::RunDemo:
        break;
    }
    // An error that escapes the engine ends the program with one clear line
    // and a failure status instead of an abort.
    try {
        return RunDemo();
    } catch (const OB_EVideoError& error) {
        // The cause the platform gave (no display, say) goes on a line of
        // its own: the message keeps the engine's words.
        std::fprintf(stderr, "orbel2: %s\n", error.what());
        if (!error.Reason().empty())
            std::fprintf(stderr, "orbel2: %s\n", error.Reason().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orbel2: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "orbel2: unknown error\n");
    }
    return 1;
}
