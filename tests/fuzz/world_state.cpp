// Any bytes as a saved world ("load") and as the state beside a recording
// ("play"). A file the session refuses leaves the world as it was, to the
// bit; one it loads saves back to the very same bytes when it was saved
// outside a recording or playback.
#include "FuzzSupport.h"

#include "orbel2/session/WorldSnapshot.h"

#include <fstream>
#include <iterator>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

TMainSession* Session = nullptr;
std::vector<uint8_t> Start;

void Write(const char* name, const uint8_t* data, size_t size)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::vector<uint8_t> Read(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> WorldNow()
{
    TWorldState state;
    Session->SaveWorldState(state);
    std::vector<uint8_t> bytes;
    EncodeWorldState(state, bytes);
    return bytes;
}

void PutBack()
{
    TWorldState state;
    std::string why;
    if (!DecodeWorldState(Start, state, why) || !Session->LoadWorldState(state, why))
        std::abort();
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::UseDummyVideo();
    fuzz::EnterScratchDir("world_state");
    Session = &fuzz::StartDemo();
    OB_Video_Open(nullptr, 64, 48, 32, false, true, 0);
    SetConsoleVisible(false);
    Start = WorldNow();
    const float header[3] = {400.0f, 300.0f, 0.0f};
    const uint32_t record[2] = {0, 4};
    std::ofstream rec("r", std::ios::binary);
    rec.write(reinterpret_cast<const char*>(header), sizeof header);
    rec.write(reinterpret_cast<const char*>(record), sizeof record);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PutBack();
    Write("input", data, size);
    const std::vector<uint8_t> before = WorldNow();
    try {
        Session->LoadFromFile("input");
        const std::vector<uint8_t> input(data, data + size);
        TWorldState loaded;
        std::string why;
        DecodeWorldState(input, loaded, why);
        Session->SaveToFile("again");
        const bool plain = loaded.Counters.Mode == 0 && loaded.Counters.PlaybackPosition == 0;
        if (plain && Read("again") != input)
            std::abort();
    } catch (const std::exception&) {
        if (WorldNow() != before)
            std::abort();
    }

    PutBack();
    Write("r.state", data, size);
    try {
        Session->StartPlayback("r");
    } catch (const std::exception&) {
        if (Session->Mode() != TPlaybackMode::pmNone || WorldNow() != Start)
            std::abort();
    }
    return 0;
}
