// A typed console line, any bytes, run by the demo's console: the registry
// of the running program with the session's "record", "play" and variables.
// Every 64th line a frame is drawn, so settings a line made ("consoleheight",
// watches, a new video mode) are drawn too.
#include "FuzzSupport.h"

using namespace orbel2;
using namespace orbel2::demo;

namespace {

TMainSession* Session = nullptr;
uint64_t Runs = 0;

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::UseDummyVideo();
    fuzz::EnterScratchDir("console_line");
    Session = &fuzz::StartDemo();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::TrimLog(++Runs);
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (!fuzz::LineIsConfined(line))
        return -1;   // not kept in the corpus
    ExecuteLine(line);
    if (ConsoleLines()->Count() > 100 || ConsoleHistory()->Count() > 20 || !ConsoleEditLine().empty())
        std::abort();
    if (Runs % 64 == 0) {
        fuzz::RunFrame(*Session, 0.05);
    }
    return 0;
}
