#include "orbel2/session/SessionCommands.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleNumbers.h"
#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/kernel/OB_Files.h"
#include "orbel2/session/ReplayChecksums.h"
#include "orbel2/video/OB_Video.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace orbel2 {

namespace {

constexpr double StepSeconds = 0.02;

TSessionCommands& SessionOf(void* Data)
{
    return *static_cast<TSessionCommands*>(Data);
}

// A command whose first word names a file; further words are ignored.
template <void (TSessionCommands::*WithFile)(const std::string&)>
bool FileCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (ArgCount < 1) {
        ConsolePrint("need file");
        return false;
    }
    (SessionOf(Data).*WithFile)(Args[0]);
    return true;
}

bool SaveCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (!FileCommand<&TSessionCommands::SaveToFile>(Args, ArgCount, Data))
        return false;
    ConsolePrint("World saved to " + OB_QuotedName(Args[0]));
    return true;
}

bool LoadCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (!FileCommand<&TSessionCommands::LoadFromFile>(Args, ArgCount, Data))
        return false;
    ConsolePrint("World loaded from " + OB_QuotedName(Args[0]));
    return true;
}

bool HashCommand(const std::vector<std::string>&, int32_t, void* Data)
{
    // Kept in the log too, so that two runs can be compared afterwards.
    const TSessionCommands& session = SessionOf(Data);
    const std::string line = HashLine(session.StepCount(), session.StateHash());
    ConsolePrint(line);
    LogWriteLine(line);
    return true;
}

// Seconds as whole steps, rounded; false for a negative or non-finite time.
bool RewindCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (ArgCount != 1)
        return false;
    const double steps = std::round(static_cast<double>(ConsoleReadFloat(Args[0])) / StepSeconds);
    if (!(steps >= 0))
        return false;
    SessionOf(Data).Rewind(steps >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(steps));
    return true;
}

}   // namespace

void RegisterRecordingCommands(TSessionCommands& Session)
{
    AddCommand("record", "", FileCommand<&TSessionCommands::StartRecording>, &Session);
    AddCommand("play", "", FileCommand<&TSessionCommands::StartPlayback>, &Session);
}

void RegisterStateCommands(TSessionCommands& Session, int32_t& PlayPause, int32_t& Workers,
                           TVariableRange WorkersRange)
{
    AddCommand("save", "{file} - Save the world", SaveCommand, &Session);
    AddCommand("load", "{file} - Load a saved world", LoadCommand, &Session);
    AddCommand("hash", "- Show the step count and the world's hash", HashCommand, &Session);
    AddCommand("rewind", "{seconds} - Step the world back", RewindCommand, &Session);
    AddVariable("playpause", &PlayPause);
    AddVariable("physicsworkers", &Workers, WorkersRange);
}

void UnregisterSessionCommands(TSessionCommands& Session, uint32_t& StepCount, float& PlaySpeed,
                               int32_t& PlayPause, int32_t& Workers)
{
    for (const char* name : {"record", "play", "save", "load", "hash", "rewind"})
        RemoveCommand(name, &Session);
    RemoveVariable("numupdates", &StepCount);
    RemoveVariable("playspeed", &PlaySpeed);
    RemoveVariable("T", &OB_VideoInfo.FrameTime);
    RemoveVariable("playpause", &PlayPause);
    RemoveVariable("physicsworkers", &Workers);
}

std::string HashLine(uint64_t Step, uint64_t Hash)
{
    char text[64];
    std::snprintf(text, sizeof text, "hash at step %" PRIu64 ": 0x%016" PRIX64, Step, Hash);
    return text;
}

std::string RecordingStartName(const std::string& RecordingName)
{
    return RecordingName + ".state";
}

void WriteRecordingStart(const std::string& Name, const TWorldState& State)
{
    if (!CompanionFilesBelongBeside(Name))
        return;
    const std::string stateName = RecordingStartName(Name);
    try {
        std::vector<uint8_t> bytes;
        EncodeWorldState(State, bytes);
        WriteWorldStateFile(stateName, bytes);
    } catch (const std::exception& error) {
        ConsolePrint(std::string("Error: ") + error.what());
        std::error_code ignored;
        if (std::filesystem::is_regular_file(stateName, ignored))
            std::filesystem::remove(stateName, ignored);
    }
}

bool ReadRecordingStart(const std::string& Name, size_t MaxSize, TWorldState& State)
{
    const std::string stateName = RecordingStartName(Name);
    std::error_code missing;
    if (!std::filesystem::exists(stateName, missing) || missing)
        return false;
    const std::vector<uint8_t> bytes = ReadWorldStateFile(stateName, MaxSize);
    std::string why;
    if (!DecodeWorldState(bytes, State, why))
        throw EInOutError("Not a recording's start: " + OB_QuotedName(stateName) + ": " + why);
    return true;
}

}   // namespace orbel2
