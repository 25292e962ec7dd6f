#include "session/SessionCommands.h"

#include "console/OB_Console.h"
#include "console/OB_ConsoleNumbers.h"
#include "kernel/OB_Errors.h"
#include "kernel/OB_Files.h"
#include "session/FixedStepSession.h"
#include "video/OB_Video.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

TFixedStepSession& SessionOf(void* Data)
{
    return *static_cast<TFixedStepSession*>(Data);
}

// A command whose first word names a file; further words are ignored.
template <void (TFixedStepSession::*WithFile)(const std::string&)>
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
    if (!FileCommand<&TFixedStepSession::SaveToFile>(Args, ArgCount, Data))
        return false;
    ConsolePrint("World saved to " + OB_QuotedName(Args[0]));
    return true;
}

bool LoadCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (!FileCommand<&TFixedStepSession::LoadFromFile>(Args, ArgCount, Data))
        return false;
    ConsolePrint("World loaded from " + OB_QuotedName(Args[0]));
    return true;
}

bool HashCommand(const std::vector<std::string>&, int32_t, void* Data)
{
    const TFixedStepSession& session = SessionOf(Data);
    ConsolePrint(HashLine(session.StepCount(), session.StateHash()));
    return true;
}

// Seconds as whole steps, rounded; false for a negative or non-finite time.
bool RewindCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (ArgCount != 1)
        return false;
    const double steps = std::round(static_cast<double>(ConsoleReadFloat(Args[0])) / TFixedStepSession::StepTime);
    if (!(steps >= 0))
        return false;
    SessionOf(Data).Rewind(steps >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(steps));
    return true;
}

}   // namespace

void RegisterRecordingCommands(TFixedStepSession& Session)
{
    AddCommand("record", "", FileCommand<&TFixedStepSession::StartRecording>, &Session);
    AddCommand("play", "", FileCommand<&TFixedStepSession::StartPlayback>, &Session);
}

void RegisterStateCommands(TFixedStepSession& Session, int32_t& PlayPause)
{
    AddCommand("save", "{file} - Save the world", SaveCommand, &Session);
    AddCommand("load", "{file} - Load a saved world", LoadCommand, &Session);
    AddCommand("hash", "- Show the step count and the world's hash", HashCommand, &Session);
    AddCommand("rewind", "{seconds} - Step the world back", RewindCommand, &Session);
    AddVariable("playpause", &PlayPause);
}

void UnregisterSessionCommands(TFixedStepSession& Session, uint32_t& StepCount, float& PlaySpeed,
                               int32_t& PlayPause)
{
    for (const char* name : {"record", "play", "save", "load", "hash", "rewind"})
        RemoveCommand(name, &Session);
    RemoveVariable("numupdates", &StepCount);
    RemoveVariable("playspeed", &PlaySpeed);
    RemoveVariable("T", &OB_VideoInfo.FrameTime);
    RemoveVariable("playpause", &PlayPause);
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

void WriteRecordingStart(const std::string& Name, const TFixedStepSession& Session)
{
    if (!CompanionFilesBelongBeside(Name))
        return;
    const std::string stateName = RecordingStartName(Name);
    try {
        TWorldState state;
        Session.SaveWorldState(state);
        state.Counters = TSessionCounters{};
        std::vector<uint8_t> bytes;
        EncodeWorldState(state, bytes);
        WriteWorldStateFile(stateName, bytes);
    } catch (const std::exception& error) {
        ConsolePrint(std::string("Error: ") + error.what());
        std::error_code ignored;
        if (std::filesystem::is_regular_file(stateName, ignored))
            std::filesystem::remove(stateName, ignored);
    }
}

bool ReadRecordingStart(const std::string& Name, const TFixedStepSession& Session, TWorldState& State)
{
    const std::string stateName = RecordingStartName(Name);
    std::error_code missing;
    if (!std::filesystem::exists(stateName, missing) || missing)
        return false;
    TWorldState current;
    Session.SaveWorldState(current);
    std::vector<uint8_t> encoded;
    EncodeWorldState(current, encoded);
    const std::vector<uint8_t> bytes = ReadWorldStateFile(stateName, encoded.size() + (16u << 20));
    std::string why;
    if (!DecodeWorldState(bytes, State, why))
        throw EInOutError("Not a recording's start: " + OB_QuotedName(stateName) + ": " + why);
    return true;
}
