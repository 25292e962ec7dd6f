#include "orbel2/session/GameProgram.h"

#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/kernel/OB_Version.h"
#include "orbel2/session/OB_Kernel.h"
#include "orbel2/video/OB_Video.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>

namespace orbel2 {

namespace {

class TParser {
public:
    TParser(const TGameProgram& Program, const std::vector<std::string>& Args) : FProgram(Program), FArgs(Args) {}

    TCommandLine Parse()
    {
        if (FArgs.empty())
            return FLine;
        if (auto alone = ParseAlone())
            return *alone;
        for (size_t i = 0; i < FArgs.size(); i += 2) {
            const std::string& flag = FArgs[i];
            const bool hasValue = i + 1 < FArgs.size() && !FArgs[i + 1].starts_with("--");
            const std::string value = hasValue ? FArgs[i + 1] : "";
            std::optional<TCommandLine> refused;
            if (flag == "--replay")
                refused = ParseReplayFile(hasValue, value);
            else if (flag == "--hash-every")
                refused = ParseSteps(flag, value, FHashEveryGiven, FLine.Replay.HashEvery);
            else if (flag == "--max-idle-steps")
                refused = ParseSteps(flag, value, FMaxIdleGiven, FLine.Replay.MaxIdleSteps);
            else if (flag == "--frames")
                refused = ParseSteps(flag, value, FFramesGiven, FLine.Frames);
            else if (flag == "--record" || flag == "--play")
                refused = ParseFile(flag, hasValue, value, flag == "--record" ? FLine.Record : FLine.Play);
            else
                refused = Refusal("unknown argument '" + flag + "'");
            if (refused)
                return *refused;
        }
        return Check();
    }

private:
    TCommandLine Refusal(const std::string& Problem) const
    {
        TCommandLine line;
        line.Action = TProgramAction::Refuse;
        line.Problem = Problem + " (" + FProgram.Name + " --help lists what it takes)";
        return line;
    }

    // --help and --version go alone; the refusal names the word beside them.
    std::optional<TCommandLine> ParseAlone()
    {
        for (size_t i = 0; i < FArgs.size(); ++i) {
            const std::string& flag = FArgs[i];
            if (flag != "--help" && flag != "-h" && flag != "--version")
                continue;
            if (FArgs.size() == 1) {
                FLine.Action = flag == "--version" ? TProgramAction::ShowVersion : TProgramAction::ShowHelp;
                return FLine;
            }
            const std::string& other = FArgs[i == 0 ? 1 : 0];
            if (other == flag)
                return Refusal(flag + " given twice");
            return Refusal(flag + " goes alone, not with '" + other + "'");
        }
        return std::nullopt;
    }

    std::optional<TCommandLine> ParseReplayFile(bool HasValue, const std::string& Value)
    {
        if (FLine.Action == TProgramAction::Replay)
            return Refusal("--replay given twice");
        if (!HasValue)
            return Refusal("--replay needs the name of a recording");
        FLine.Action = TProgramAction::Replay;
        FLine.Replay.FileName = Value;
        return std::nullopt;
    }

    std::optional<TCommandLine> ParseFile(const std::string& Flag, bool HasValue, const std::string& Value,
                                          std::string& Name)
    {
        if (!Name.empty())
            return Refusal(Flag + " given twice");
        if (!HasValue || Value.empty())
            return Refusal(Flag + " needs the name of a recording");
        Name = Value;
        return std::nullopt;
    }

    // A number-of-steps option's value, given once: 1 to 2^32 - 1 in
    // decimal digits, leading zeros allowed.
    std::optional<TCommandLine> ParseSteps(const std::string& Flag, const std::string& Text, bool& Given,
                                           uint32_t& Steps)
    {
        if (Given)
            return Refusal(Flag + " given twice");
        const std::string what = Flag == "--frames" ? "frames" : "steps";
        const size_t first = std::min(Text.find_first_not_of('0'), Text.size());
        const std::string digits = Text.substr(first);
        if (Text.empty() || Text.find_first_not_of("0123456789") != std::string::npos || digits.empty() ||
            digits.size() > 10 || std::stoull(digits) > UINT32_MAX)
            return Refusal(Flag + " needs a number of " + what + " from 1 to 4294967295");
        Steps = static_cast<uint32_t>(std::stoull(digits));
        Given = true;
        return std::nullopt;
    }

    TCommandLine Check() const
    {
        const bool replayOptions = FHashEveryGiven || FMaxIdleGiven;
        if (FLine.Action == TProgramAction::Replay && (FFramesGiven || !FLine.Record.empty() || !FLine.Play.empty()))
            return Refusal(std::string(FFramesGiven ? "--frames" : !FLine.Record.empty() ? "--record" : "--play") +
                           " goes without --replay");
        if (!FLine.Record.empty() && !FLine.Play.empty())
            return Refusal("--record and --play go one at a time");
        if (FLine.Action != TProgramAction::Replay && replayOptions)
            return Refusal((FHashEveryGiven ? "--hash-every" : "--max-idle-steps") + std::string(" goes with --replay FILE"));
        return FLine;
    }

    const TGameProgram& FProgram;
    const std::vector<std::string>& FArgs;
    TCommandLine FLine;
    bool FHashEveryGiven = false;
    bool FMaxIdleGiven = false;
    bool FFramesGiven = false;
};

int RunGame(const TGameProgram& Program, const TCommandLine& Line)
{
    LogSetFileName(Program.Name + ".log");
    OB_Kernel_Init();
    OB_Video_SetWindowTitle(Program.WindowTitle.empty() ? Program.Name : Program.WindowTitle, Program.Name);
    OB_Video_Open(nullptr, Program.Width, Program.Height, 32, false, true, 0);
    std::unique_ptr<TFixedStepSession> session = Program.Session();
    session->SetFrameLimit(Line.Frames);
    if (!Line.Record.empty())
        session->SetStartFile(TPlaybackMode::pmRecord, Line.Record);
    if (!Line.Play.empty())
        session->SetStartFile(TPlaybackMode::pmPlay, Line.Play);
    session->Run();
    session.reset();
    OB_Video_Close();
    OB_Kernel_Finalize();
    return 0;
}

}   // namespace

TCommandLine ParseCommandLine(const TGameProgram& Program, const std::vector<std::string>& Args)
{
    return TParser(Program, Args).Parse();
}

std::string UsageText(const TGameProgram& Program)
{
    const std::string& name = Program.Name;
    return "Usage: " + name +
        " [--help | --version | --replay FILE [--hash-every N] [--max-idle-steps N] |\n"
        "       [--frames N] [--record FILE | --play FILE]]\n"
           "\n" + Program.Title + "\n" + Program.Help +
           "\n"
           "The log, " + name + ".log, and any recordings go into the current directory.\n"
           "\n"
           "Without a display:\n"
           "  xvfb-run -a " + name + "                   in a virtual X server\n"
           "  SDL_VIDEODRIVER=dummy " + name + "         with no display at all (nothing is shown)\n"
           "\n"
           "  --help              this text\n"
           "  --version           the version\n"
           "  --replay FILE       replay the recording FILE without a display, as \"play\" would, and\n"
           "                      print its records, steps and the world's hash; checked as it goes\n"
           "                      against FILE.sum when that is there, and begun from FILE.state when\n"
           "                      that is there. Exit status 0; 1 when FILE is not a recording;\n"
           "                      3, after \"Replay diverges at step N\", when it leaves the recorded run;\n"
           "                      4 when it would wait more than the limit below for records\n"
           "  --hash-every N      with --replay: also print the world's hash every N steps\n"
           "  --max-idle-steps N  with --replay: the most steps, in all, that may pass waiting for a\n"
           "                      record whose step number lies ahead (1000000 unless given)\n"
           "  --frames N          end the game after N frames\n"
           "  --record FILE       record from the first step, as \"record FILE\" does\n"
           "  --play FILE         play FILE from the first step, as \"play FILE\" does\n";
}

std::string VersionText(const TGameProgram& Program)
{
    return Program.Name + " " + Program.Version + "\nOrbel2 engine " OB_VERSION_STRING "\n";
}

int OB_RunGame(const TGameProgram& Program, int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const TCommandLine line = ParseCommandLine(Program, args);
    switch (line.Action) {
    case TProgramAction::ShowHelp:
        std::fputs(UsageText(Program).c_str(), stdout);
        return 0;
    case TProgramAction::ShowVersion:
        std::fputs(VersionText(Program).c_str(), stdout);
        return 0;
    case TProgramAction::Refuse:
        std::fprintf(stderr, "%s: %s\n", Program.Name.c_str(), line.Problem.c_str());
        return 2;
    case TProgramAction::Replay: {
        // Needs no display, and starts nothing of the engine: no log either.
        std::unique_ptr<TFixedStepSession> session = Program.Session();
        return RunHeadlessReplay(line.Replay, *session, Program.Name, std::cout, std::cerr);
    }
    case TProgramAction::RunGame:
        break;
    }
    // An error that escapes the engine ends the program with one clear line
    // and a failure status instead of an abort.
    const char* name = Program.Name.c_str();
    try {
        return RunGame(Program, line);
    } catch (const OB_EVideoError& error) {
        // The cause the platform gave (no display, say) goes on a line of
        // its own: the message keeps the engine's words.
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        if (!error.Reason().empty())
            std::fprintf(stderr, "%s: %s\n", name, error.Reason().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
    } catch (...) {
        std::fprintf(stderr, "%s: unknown error\n", name);
    }
    return 1;
}

}   // namespace orbel2
