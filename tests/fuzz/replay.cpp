// Any bytes as a recording, replayed headless with a small bound on idle
// steps. Every replay ends: a recording is refused (1), replayed to its last
// whole record (0) or stopped at the bound (4), and never runs more steps
// than its records and the bound pay for.
#include "orbel2/session/HeadlessReplay.h"

#include "FuzzSupport.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

constexpr uint32_t MaxIdle = 2000;

uint64_t Value(const std::string& text, const std::string& name)
{
    const size_t at = text.find(name + ": ");
    if (at == std::string::npos)
        std::abort();
    return std::stoull(text.substr(at + name.size() + 2));
}

bool HeaderIsFinite(const uint8_t* data)
{
    for (int i = 0; i < 3; ++i) {
        float value;
        std::memcpy(&value, data + 4 * i, 4);
        if (!std::isfinite(value))
            return false;
    }
    return true;
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::EnterScratchDir("replay");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream out("input.rec", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::ostringstream out, err;
    const int status = RunHeadlessReplay({"input.rec", 0, MaxIdle}, out, err);
    const bool recording = size >= 12 && HeaderIsFinite(data);
    const uint64_t records = recording ? (size - 12) / 8 : 0;
    if (!recording) {
        if (status != ReplayNotARecording || !out.str().empty())
            std::abort();
        return 0;
    }
    if (status == ReplayStopped)
        return 0;
    if (status != ReplayMatched || Value(out.str(), "records") != records ||
        Value(out.str(), "steps") > records + MaxIdle)
        std::abort();
    return 0;
}
