// Every game's main: the command line the demo answers, for any game on the
// fixed-step core. A game's main is one call:
//   int main(int argc, char** argv) { return OB_RunGame(MyGame, argc, argv); }
// With no arguments it starts the engine (its log named after the game),
// opens the window, runs the game's session until Escape or the window
// closes, and stops the engine in reverse order. It also answers
//   --help               the game's own text, then the engine's options
//   --version            the game's name and version, then the engine's
//   --replay FILE [--hash-every N] [--max-idle-steps N]
//                        the recording replayed headless (HeadlessReplay.h)
//   --frames N           the game ends itself after N frames
//   --record FILE, --play FILE
//                        "record FILE" or "play FILE" from the first step
// and refuses anything else with one line on stderr and exit status 2. A
// start-up failure prints the engine's line and the platform's reason, each
// on stderr as "<name>: <text>", and exits with status 1.
#pragma once

#include "orbel2/session/FixedStepSession.h"
#include "orbel2/session/HeadlessReplay.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orbel2 {

struct TGameProgram {
    std::string Name;   // the program's name: "orbel2"; its log is Name + ".log"
    std::string Version;   // "1.0"
    std::string Title;   // a line on what the game is, first in --help
    std::string Help;   // the game's keys and commands, in --help after the usage
    TFixedStepSessionClass Session = nullptr;
    int32_t Width = 640;   // the window at start-up
    int32_t Height = 480;
    std::string WindowTitle{};   // "Orbel2"; empty: Name. The window's X11 class is Name
};

enum class TProgramAction { RunGame, ShowHelp, ShowVersion, Replay, Refuse };

struct TCommandLine {
    TProgramAction Action = TProgramAction::RunGame;
    std::string Problem;   // for Refuse: what was wrong, in one line
    TReplayRequest Replay;   // for Replay
    uint32_t Frames = 0;   // for RunGame: 0 runs until the player quits
    std::string Record;   // for RunGame: recorded from the first step
    std::string Play;   // for RunGame: played from the first step
};

// Args: the arguments after the program's name.
TCommandLine ParseCommandLine(const TGameProgram& Program, const std::vector<std::string>& Args);
// The text of --help and of --version.
std::string UsageText(const TGameProgram& Program);
std::string VersionText(const TGameProgram& Program);

int OB_RunGame(const TGameProgram& Program, int argc, char** argv);

}   // namespace orbel2
