// Key presses and typed characters through the console's line editor, with
// the demo's registry behind Enter. The input is a stream of byte pairs
// (kind, code): kind 0 or 1 types the character code, kind 2 presses the
// key with that virtual-key code, kind 3 shows or hides the console.
#include "FuzzSupport.h"

using namespace orbel2;

namespace {

uint64_t Runs = 0;

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::UseDummyVideo();
    fuzz::EnterScratchDir("console_keys");
    fuzz::StartDemo();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::TrimLog(++Runs);
    ExecuteLine("");   // each input starts from an empty edit line
    SetConsoleVisible(true);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const uint8_t kind = data[i] & 3;
        const uint8_t code = data[i + 1];
        if (kind < 2)
            ConsoleChar(static_cast<char>(code));
        else if (kind == 3)
            ToggleConsole();
        else if (code == 13 && !fuzz::LineIsConfined(ConsoleEditLine()))
            ExecuteLine("");   // drops the line instead of running it
        else
            ConsoleKeyDown(code);
        const int32_t scroll = ConsoleScrollOffset();
        const int32_t history = ConsoleHistoryIndex();
        if (scroll < 0 || scroll >= ConsoleLines()->Count() || history < -1 || history >= ConsoleHistory()->Count())
            std::abort();
    }
    return 0;
}
