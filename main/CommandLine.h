// The demo's command line. With no arguments it runs the demo; it also
// answers --help and --version, replays a recording without a display
// (--replay FILE, with --hash-every N), and refuses anything else with one
// line on stderr and exit status 2.
#pragma once

#include "session/HeadlessReplay.h"

#include <string>
#include <vector>

enum class TProgramAction { RunDemo, ShowHelp, ShowVersion, Replay, Refuse };

struct TCommandLine {
    TProgramAction Action = TProgramAction::RunDemo;
    std::string Problem;   // for Refuse: what was wrong, in one line
    TReplayRequest Replay;   // for Replay
};

// Args: the arguments after the program's name.
TCommandLine ParseCommandLine(const std::vector<std::string>& Args);
// The text of --help.
std::string UsageText();
