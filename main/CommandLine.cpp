#include "main/CommandLine.h"

#include "kernel/OB_Version.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

const char* const HelpHint = " (orbel2 --help lists what it takes)";

TCommandLine Refusal(const std::string& Problem)
{
    TCommandLine line;
    line.Action = TProgramAction::Refuse;
    line.Problem = Problem;
    return line;
}

// A whole number of steps from 1 to 2^32 - 1, in decimal digits only;
// leading zeros are allowed.
bool ParseStepCount(const std::string& Text, uint32_t& Steps)
{
    if (Text.empty() || Text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const size_t first = std::min(Text.find_first_not_of('0'), Text.size() - 1);
    if (Text.size() - first > 10)
        return false;
    const unsigned long long value = std::stoull(Text.substr(first));
    if (value == 0 || value > UINT32_MAX)
        return false;
    Steps = static_cast<uint32_t>(value);
    return true;
}

// A number-of-steps option's value, given once.
std::optional<TCommandLine> ParseSteps(const std::string& Flag, bool HasValue, const std::string& Value, bool& Given,
                                       uint32_t& Steps)
{
    if (Given)
        return Refusal(Flag + " given twice" + HelpHint);
    if (!HasValue || !ParseStepCount(Value, Steps))
        return Refusal(Flag + " needs a number of steps from 1 to 4294967295" + HelpHint);
    Given = true;
    return std::nullopt;
}

// --replay FILE [--hash-every N] [--max-idle-steps N], in any order.
TCommandLine ParseReplay(const std::vector<std::string>& Args)
{
    TCommandLine line;
    bool hashEveryGiven = false;
    bool maxIdleGiven = false;
    for (size_t i = 0; i < Args.size(); i += 2) {
        const std::string& flag = Args[i];
        const bool hasValue = i + 1 < Args.size() && !Args[i + 1].starts_with("--");
        if (flag == "--replay") {
            if (line.Action == TProgramAction::Replay)
                return Refusal("--replay given twice" + std::string(HelpHint));
            if (!hasValue)
                return Refusal("--replay needs the name of a recording" + std::string(HelpHint));
            line.Action = TProgramAction::Replay;
            line.Replay.FileName = Args[i + 1];
        } else if (flag == "--hash-every") {
            if (auto refused = ParseSteps(flag, hasValue, hasValue ? Args[i + 1] : "", hashEveryGiven,
                                          line.Replay.HashEvery))
                return *refused;
        } else if (flag == "--max-idle-steps") {
            if (auto refused = ParseSteps(flag, hasValue, hasValue ? Args[i + 1] : "", maxIdleGiven,
                                          line.Replay.MaxIdleSteps))
                return *refused;
        } else {
            return Refusal("unknown argument '" + flag + "'" + HelpHint);
        }
    }
    if (line.Action != TProgramAction::Replay)
        return Refusal(Args[0] + " goes with --replay FILE" + HelpHint);
    return line;
}

}   // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& Args)
{
    TCommandLine line;
    if (Args.empty())
        return line;
    // --help and --version go alone; the refusal names the word beside them.
    for (size_t i = 0; i < Args.size() && Args.size() > 1; ++i) {
        const std::string& flag = Args[i];
        if (flag != "--help" && flag != "-h" && flag != "--version")
            continue;
        const std::string& other = Args[i == 0 ? 1 : 0];
        if (other == flag)
            return Refusal(flag + " given twice" + HelpHint);
        return Refusal(flag + " goes alone, not with '" + other + "'" + HelpHint);
    }
    if (Args.size() == 1 && (Args[0] == "--help" || Args[0] == "-h")) {
        line.Action = TProgramAction::ShowHelp;
        return line;
    }
    if (Args.size() == 1 && Args[0] == "--version") {
        line.Action = TProgramAction::ShowVersion;
        return line;
    }
    return ParseReplay(Args);
}

std::string UsageText()
{
    return "Usage: orbel2 [--help | --version | --replay FILE [--hash-every N] [--max-idle-steps N]]\n"
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
           "  --help              this text\n"
           "  --version           the version\n"
           "  --replay FILE       replay the recording FILE without a display, as \"play\" would from the\n"
           "                      start, and print its records, steps, the player's final position and\n"
           "                      angle and the world's hash; checked as it goes against FILE.sum when\n"
           "                      that is there. Exit status 0; 1 when FILE is not a recording;\n"
           "                      3, after \"Replay diverges at step N\", when it leaves the recorded run;\n"
           "                      4 when it would wait more than the limit below for records\n"
           "  --hash-every N      with --replay: also print the world's hash every N steps\n"
           "  --max-idle-steps N  with --replay: the most steps, in all, that may pass waiting for a\n"
           "                      record whose step number lies ahead (1000000 unless given)\n";
}
