#include "main/CommandLine.h"

#include "kernel/OB_Version.h"

TCommandLine ParseCommandLine(const std::vector<std::string>& Args)
{
    TCommandLine line;
    if (Args.empty())
        return line;
    if (Args.size() == 1 && (Args[0] == "--help" || Args[0] == "-h")) {
        line.Action = TProgramAction::ShowHelp;
        return line;
    }
    if (Args.size() == 1 && Args[0] == "--version") {
        line.Action = TProgramAction::ShowVersion;
        return line;
    }
    line.Action = TProgramAction::Refuse;
    line.Problem = "unknown argument '" + Args[0] + "' (orbel2 --help lists what it takes)";
    return line;
}

std::string UsageText()
{
    return "Usage: orbel2 [--help | --version]\n"
           "\n"
           "Orbel2 " OB_VERSION_STRING ": a fixed-time-step game loop. The world advances in steps of exactly\n"
           "0.02 s however fast frames come; a console over the scene runs commands.\n"
           "\n"
           "Keys:\n"
           "  Left / Right    turn the player\n"
           "  Up / Down       thrust forward / backward\n"
           "  Home            show or hide the console (type \"help\" in it for its commands)\n"
           "  F11             switch between an 800 x 600 window and full screen\n"
           "  Escape          quit\n"
           "\n"
           "The log, orbel2.log, and any recordings go into the current directory.\n"
           "\n"
           "Without a display:\n"
           "  xvfb-run -a orbel2                   in a virtual X server\n"
           "  SDL_VIDEODRIVER=dummy orbel2         with no display at all (nothing is shown)\n"
           "\n"
           "  --help       this text\n"
           "  --version    the version\n";
}
