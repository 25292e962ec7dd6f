// The console: the engine's text interface. A registry of named commands
// and variables that every subsystem fills at start-up, the command language
// that runs one typed line, the output buffer the display draws, and the line
// editor with its history and completion. One console per program; its
// operations are free functions. A variable's storage and a command's data
// pointer must live until the registration is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A bounded ring of strings, newest first. Once full, every push overwrites
// the oldest string.
class TStringStack {
public:
    explicit TStringStack(int32_t capacity);
    void Push(const std::string& s);
    // The n-th newest string, Get(0) the newest; 0 <= n < Count().
    const std::string& Get(int32_t n) const;
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

struct TVariableInfo {
    std::string Name;
    void* Address = nullptr;
    TVariableType VarType = TVariableType::vtInt;
    // For vtString: the size of the buffer at Address, terminator included.
    size_t Capacity = 0;
};

struct OB_ConsoleInfo {
    float Width = 1.0f;
    float Height = 0.5f;
    int32_t LineHeight = 19;
    bool Visible = false;
    uint32_t PromptColour = 0xFFFFFFFF;
    uint32_t TextColour = 0xFFDDDDDD;
};

extern OB_ConsoleInfo ConsoleInfo;

// Registry. Both work before ConsoleInit (the log registers "write" first).
void AddCommand(const std::string& Name, const std::string& Help, TCommandProc Proc, void* Data);
// Capacity is required for vtString (the buffer's size with its terminator)
// and ignored for the other types. "set" refuses a word that does not fit.
void AddVariable(const std::string& Name, TVariableType VarType, void* Address, size_t Capacity = 0);
// Whoever registered a command or a variable removes it before its data or
// storage goes away. These remove every command of that name registered
// with Data, and every variable of that name bound to Address; the watches
// of a removed variable go with it, the others keep their order.
void RemoveCommand(const std::string& Name, const void* Data);
void RemoveVariable(const std::string& Name, const void* Address);
// Before ConsoleInit and after ConsoleShutdown there is no output buffer and
// the line is dropped.
void ConsolePrint(const std::string& Line);
void ExecuteLine(const std::string& Line);
// False only when no command of that name exists. An exception raised by the
// command is printed as "Error: " + its message and does not escape.
bool ExecuteCommand(const std::string& Name, const std::vector<std::string>& Args);
void AddWatch(const std::string& Name);
void RemoveWatch(const std::string& Name);
std::string VariableTypeName(TVariableType VarType);
std::string VariableValueText(const TVariableInfo& Variable);

// The console's number reading, shared by every command: a word that does not
// follow the rules reads as 0.
// Integer: leading blanks, an optional sign, then decimal digits, or hex
// digits after "$", "x", "X", "0x" or "0X". The result is the value's 32
// bits. A decimal value outside the signed 32-bit range, or a hex value
// beyond 32 bits, reads as 0.
uint32_t ConsoleReadInteger(const std::string& Word);
// Decimal number: leading blanks, an optional sign, digits with an optional
// fraction (at least one digit in all), an optional exponent. "inf", "nan",
// hex floats and trailing characters are not numbers; a value beyond the
// double range reads as 0.
double ConsoleReadNumber(const std::string& Word);
// The same word read straight to the nearest float, rounded once (never
// through a double); a value beyond the float range reads as 0.
float ConsoleReadFloat(const std::string& Word);

void ConsoleInit();
void ConsoleShutdown();

// Line editor. Both handlers return whether the console was visible.
bool ConsoleChar(char Ch);
bool ConsoleKeyDown(uint16_t Key);
void ToggleConsole();
void SetConsoleVisible(bool Visible);
void CompleteCommand();
void BrowseHistory(bool Older);
void ScrollConsole(int32_t Delta);

// Read access for the display and for tests.
const std::vector<TCommandInfo>& ConsoleCommands();
const std::vector<TVariableInfo>& ConsoleVariables();
const std::vector<int32_t>& ConsoleWatches();
// nullptr before ConsoleInit and after ConsoleShutdown.
const TStringStack* ConsoleLines();
const TStringStack* ConsoleHistory();
const std::string& ConsoleEditLine();
int32_t ConsoleHistoryIndex();
int32_t ConsoleScrollOffset();
