// The console's registry and command language: the named commands and
// variables that every subsystem registers, the running of one typed line,
// the output buffer the display draws, the history of executed lines and the
// watches. One console per program; its operations are free functions.
//
// Rule: whoever registers a command or a variable removes it before its data
// or storage goes away (RemoveCommand, RemoveVariable); the console's
// shut-down removes whatever is left. Registration works before the console
// starts (the log registers "write" first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace orbel2 {

// A bounded ring of strings, newest first. Once full, every push overwrites
// the oldest string.
class TStringStack {
public:
    explicit TStringStack(int32_t Capacity);
    void Push(const std::string& S);
    // The N-th newest string, Get(0) the newest; 0 <= N < Count().
    const std::string& Get(int32_t N) const;
    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    int32_t Capacity() const { return FCapacity; }

private:
    int32_t FCapacity;
    int32_t Top = -1;
    std::vector<std::string> Items;
};

// Args holds the argument words in order; ArgCount is their number. Returns
// false to refuse the arguments, which makes the console print the usage.
using TCommandProc = bool (*)(const std::vector<std::string>& Args, int32_t ArgCount, void* Data);

struct TCommandInfo {
    std::string Name;
    std::string Help;
    TCommandProc Proc = nullptr;
    void* Data = nullptr;
};

enum class TVariableType : uint8_t { vtUInt = 0, vtInt = 1, vtFloat = 2, vtDouble = 3, vtString = 4, vtBoolean = 5 };

// The values "set" leaves in a numeric variable: a number beyond them is
// held to the nearer end. Both ends lie within the variable's type. The
// default holds nothing.
struct TVariableRange {
    double Low = -std::numeric_limits<double>::infinity();
    double High = std::numeric_limits<double>::infinity();
};

struct TVariableInfo {
    std::string Name;
    void* Address = nullptr;
    TVariableType VarType = TVariableType::vtInt;
    // For vtString: the size of the buffer at Address, terminator included.
    size_t Capacity = 0;
};

// The storage of one variable and the type the console shows and sets it
// as. It is made from a typed address, so the type always matches the
// storage: uint32_t is UINT, int32_t INT, float FLOAT, double DOUBLE, a char
// buffer STRING (with its capacity) and bool BOOLEAN (shown with an empty
// value and never set). A variable shown as another type than its storage
// says so by name.
class TVariableAddress {
public:
    TVariableAddress(uint32_t* Address) : Type(TVariableType::vtUInt), Storage(Address) {}
    TVariableAddress(int32_t* Address) : Type(TVariableType::vtInt), Storage(Address) {}
    TVariableAddress(float* Address) : Type(TVariableType::vtFloat), Storage(Address) {}
    TVariableAddress(double* Address) : Type(TVariableType::vtDouble), Storage(Address) {}
    TVariableAddress(bool* Address) : Type(TVariableType::vtBoolean), Storage(Address) {}
    template <size_t N>
    TVariableAddress(char (&Buffer)[N]) : Type(TVariableType::vtString), Storage(Buffer), Capacity(N)
    {}
    // A buffer of Size bytes, terminator included.
    static TVariableAddress String(char* Buffer, size_t Size);
    // A 32-bit unsigned counter shown and set as INT: its bits read as a
    // signed number.
    static TVariableAddress IntOverUnsigned(uint32_t* Address);

    TVariableType Type;
    void* Storage;
    size_t Capacity = 0;

private:
    TVariableAddress(TVariableType Kind, void* Address, size_t Size) : Type(Kind), Storage(Address), Capacity(Size) {}
};

// Width and Height are fractions of the screen: whatever they hold, the
// console is drawn as if held to 0 to 1 (not a number as 0). LineHeight, in
// pixels, may be any value.
struct OB_ConsoleInfo {
    float Width = 1.0f;
    float Height = 0.5f;
    int32_t LineHeight = 19;
    bool Visible = false;
    uint32_t PromptColour = 0xFFFFFFFF;
    uint32_t TextColour = 0xFFDDDDDD;
};

extern OB_ConsoleInfo ConsoleInfo;

void AddCommand(const std::string& Name, const std::string& Help, TCommandProc Proc, void* Data);
// "set" refuses a word that does not fit a STRING variable's buffer, and
// holds a number to Range.
void AddVariable(const std::string& Name, TVariableAddress Address, TVariableRange Range = {});
// Remove every command of that name registered with Data, and every variable
// of that name bound to Address; the watches of a removed variable go with
// it, the others keep their order.
void RemoveCommand(const std::string& Name, const void* Data);
void RemoveVariable(const std::string& Name, const void* Address);

// Before the console starts and after it shuts down there is no output
// buffer and the line is dropped.
void ConsolePrint(const std::string& Line);
// Runs one typed line: echo, history, command. Clears the edit line and
// ends history browsing, even for an empty line.
void ExecuteLine(const std::string& Line);
// False only when no command of that name exists. An exception raised by the
// command is printed as "Error: " + its message and does not escape.
bool ExecuteCommand(const std::string& Name, const std::vector<std::string>& Args);
void AddWatch(const std::string& Name);
void RemoveWatch(const std::string& Name);
std::string VariableTypeName(TVariableType VarType);
std::string VariableValueText(const TVariableInfo& Variable);

// The output buffer (100 lines) and the history (20 lines) come into being
// when the console starts; the reset at its shut-down removes every
// registration and watch and clears the edit line and both positions.
void ConsoleCreateBuffers();
void ConsoleReset();

// Read access for the display, the line editor and tests.
const std::vector<TCommandInfo>& ConsoleCommands();
const std::vector<TVariableInfo>& ConsoleVariables();
// The range of ConsoleVariables()[Index].
TVariableRange ConsoleVariableRange(size_t Index);
const std::vector<int32_t>& ConsoleWatches();
// nullptr before the console starts and after it shuts down.
const TStringStack* ConsoleLines();
const TStringStack* ConsoleHistory();
const std::string& ConsoleEditLine();
int32_t ConsoleHistoryIndex();
int32_t ConsoleScrollOffset();

// The line editor's state. The line editor alone changes it; ExecuteLine
// clears the edit line and the history position.
struct TConsoleEditState {
    std::string EditLine;
    int32_t HistoryIndex = -1;   // 0 = the newest line; -1 while not browsing
    int32_t ScrollOffset = 0;   // lines the output view is scrolled back
};
TConsoleEditState& ConsoleEditState();

}   // namespace orbel2
