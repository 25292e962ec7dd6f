#include "orbel2/console/OB_Console.h"

#include "orbel2/console/OB_ConsoleNumbers.h"
#include "orbel2/kernel/OB_Assert.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

namespace orbel2 {

OB_ConsoleInfo ConsoleInfo;

namespace {

// The registry exists from program start: the log registers its command
// before the console starts.
std::vector<TCommandInfo> Commands;
std::vector<TVariableInfo> Variables;
std::vector<TVariableRange> Ranges;   // one for each variable, in step
std::vector<int32_t> Watches;

std::unique_ptr<TStringStack> Lines;
std::unique_ptr<TStringStack> History;
TConsoleEditState Edit;

constexpr int32_t OutputCapacity = 100;
constexpr int32_t HistoryCapacity = 20;

std::string GeneralFormat(double Value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", Value);
    return text;
}

// Blanks and tabs separate words; runs of them make no empty words, but the
// word after the last separator is always kept, even when empty.
std::vector<std::string> SplitWords(const std::string& Line)
{
    std::vector<std::string> words;
    std::string current;
    for (const char ch : Line) {
        if (ch != ' ' && ch != '\t') {
            current.push_back(ch);
            continue;
        }
        if (!current.empty()) {
            words.push_back(std::move(current));
            current.clear();
        }
    }
    words.push_back(std::move(current));
    return words;
}

}   // namespace

// ---------------------------------------------------------------------------
// TStringStack

TStringStack::TStringStack(int32_t Capacity) : FCapacity(Capacity)
{}

void TStringStack::Push(const std::string& S)
{
    if (FCapacity <= 0)
        return;
    ++Top;
    if (Top == FCapacity)
        Top = 0;
    if (Count() < FCapacity)
        Items.resize(static_cast<size_t>(Top) + 1);
    Items[static_cast<size_t>(Top)] = S;
}

const std::string& TStringStack::Get(int32_t N) const
{
    OB_ASSERT(N >= 0 && N < Count());
    if (N < 0 || N >= Count())
        throw std::out_of_range("TStringStack::Get: index " + std::to_string(N) + " outside 0.." +
                                std::to_string(Count() - 1));
    int32_t slot = Top - N;
    if (slot < 0)
        slot += Count();
    return Items[static_cast<size_t>(slot)];
}

// ---------------------------------------------------------------------------
// Registry

TVariableAddress TVariableAddress::String(char* Buffer, size_t Size)
{
    return TVariableAddress(TVariableType::vtString, Buffer, Size);
}

TVariableAddress TVariableAddress::IntOverUnsigned(uint32_t* Address)
{
    return TVariableAddress(TVariableType::vtInt, Address, 0);
}

void AddCommand(const std::string& Name, const std::string& Help, TCommandProc Proc, void* Data)
{
    Commands.push_back(TCommandInfo{Name, Help, Proc, Data});
}

void AddVariable(const std::string& Name, TVariableAddress Address, TVariableRange Range)
{
    OB_ASSERT(!(Range.Low > Range.High));
    Variables.push_back(TVariableInfo{Name, Address.Storage, Address.Type, Address.Capacity});
    Ranges.push_back(Range);
}

void RemoveCommand(const std::string& Name, const void* Data)
{
    std::erase_if(Commands, [&](const TCommandInfo& command) { return command.Name == Name && command.Data == Data; });
}

void RemoveVariable(const std::string& Name, const void* Address)
{
    for (size_t i = Variables.size(); i-- > 0;) {
        if (Variables[i].Name != Name || Variables[i].Address != Address)
            continue;
        Variables.erase(Variables.begin() + static_cast<std::ptrdiff_t>(i));
        Ranges.erase(Ranges.begin() + static_cast<std::ptrdiff_t>(i));
        // Watches hold indices: the removed variable's go, later ones move down.
        const auto removed = static_cast<int32_t>(i);
        for (int32_t& slot : Watches) {
            if (slot == removed)
                slot = -1;
            else if (slot > removed)
                --slot;
        }
    }
}

void AddWatch(const std::string& Name)
{
    for (size_t i = 0; i < Variables.size(); ++i)
        if (Variables[i].Name == Name)
            Watches.push_back(static_cast<int32_t>(i));
}

void RemoveWatch(const std::string& Name)
{
    for (int32_t& slot : Watches)
        if (slot >= 0 && Variables[static_cast<size_t>(slot)].Name == Name)
            slot = -1;
}

std::string VariableTypeName(TVariableType VarType)
{
    switch (VarType) {
    case TVariableType::vtUInt:
        return "UINT";
    case TVariableType::vtInt:
        return "INT";
    case TVariableType::vtFloat:
        return "FLOAT";
    case TVariableType::vtDouble:
        return "DOUBLE";
    case TVariableType::vtString:
        return "STRING";
    case TVariableType::vtBoolean:
        return "BOOLEAN";
    }
    return "";
}

std::string VariableValueText(const TVariableInfo& Variable)
{
    const void* address = Variable.Address;
    if (address == nullptr)
        return "";
    switch (Variable.VarType) {
    case TVariableType::vtUInt: {
        char text[16];
        std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(*static_cast<const uint32_t*>(address)));
        return text;
    }
    case TVariableType::vtInt:
        return std::to_string(*static_cast<const int32_t*>(address));
    case TVariableType::vtFloat:
        return GeneralFormat(static_cast<double>(*static_cast<const float*>(address)));
    case TVariableType::vtDouble:
        return GeneralFormat(*static_cast<const double*>(address));
    case TVariableType::vtString: {
        // Never read past the buffer, even when it holds no terminator.
        const char* text = static_cast<const char*>(address);
        return std::string(text, strnlen(text, Variable.Capacity));
    }
    case TVariableType::vtBoolean:
        return "";
    }
    return "";
}

// ---------------------------------------------------------------------------
// Command language

void ConsolePrint(const std::string& Line)
{
    // Without an output buffer (before the console starts, after it shuts
    // down) the line has nowhere to go and is dropped.
    if (Lines)
        Lines->Push(Line);
}

void ExecuteLine(const std::string& Line)
{
    // Line may be the edit line itself, which is cleared first.
    const std::string line = Line;
    Edit.EditLine.clear();
    // Even an empty line ends browsing: Up then recalls the newest line.
    Edit.HistoryIndex = -1;
    if (line.empty())
        return;
    std::vector<std::string> words = SplitWords(line);
    const std::string name = std::move(words.front());
    words.erase(words.begin());
    ConsolePrint(line);
    if (History)
        History->Push(line);
    ExecuteCommand(name, words);
}

bool ExecuteCommand(const std::string& Name, const std::vector<std::string>& Args)
{
    const TCommandInfo* found = nullptr;
    for (const TCommandInfo& command : Commands) {
        if (command.Name == Name) {
            found = &command;
            break;
        }
    }
    if (found == nullptr) {
        ConsolePrint("Unknown command: " + Name);
        return false;
    }
    // A copy: the procedure may register commands and move the registry.
    const TCommandInfo command = *found;
    bool accepted = false;
    try {
        accepted = command.Proc != nullptr && command.Proc(Args, static_cast<int32_t>(Args.size()), command.Data);
    } catch (const std::exception& error) {
        // A failing command (no video mode, an unwritable file) is the user's
        // business, not the program's end: report it and carry on.
        ConsolePrint(std::string("Error: ") + error.what());
        return true;
    }
    if (!accepted)
        ConsolePrint("Error: " + command.Name + " " + command.Help);
    return true;
}

// ---------------------------------------------------------------------------
// Life of the console's state

void ConsoleCreateBuffers()
{
    Lines = std::make_unique<TStringStack>(OutputCapacity);
    History = std::make_unique<TStringStack>(HistoryCapacity);
    Edit = TConsoleEditState{};
}

void ConsoleReset()
{
    Commands.clear();
    Variables.clear();
    Ranges.clear();
    Watches.clear();
    Lines.reset();
    History.reset();
    Edit = TConsoleEditState{};
    ConsoleInfo = OB_ConsoleInfo{};
}

// ---------------------------------------------------------------------------
// Access

const std::vector<TCommandInfo>& ConsoleCommands()
{
    return Commands;
}
const std::vector<TVariableInfo>& ConsoleVariables()
{
    return Variables;
}
TVariableRange ConsoleVariableRange(size_t Index)
{
    OB_ASSERT(Index < Ranges.size());
    return Index < Ranges.size() ? Ranges[Index] : TVariableRange{};
}
const std::vector<int32_t>& ConsoleWatches()
{
    return Watches;
}
const TStringStack* ConsoleLines()
{
    return Lines.get();
}
const TStringStack* ConsoleHistory()
{
    return History.get();
}
const std::string& ConsoleEditLine()
{
    return Edit.EditLine;
}
int32_t ConsoleHistoryIndex()
{
    return Edit.HistoryIndex;
}
int32_t ConsoleScrollOffset()
{
    return Edit.ScrollOffset;
}
TConsoleEditState& ConsoleEditState()
{
    return Edit;
}

}   // namespace orbel2
