#include "console/OB_Console.h"

#include "console/OB_ConsoleDraw.h"
#include "console/obstrutils.h"
#include "kernel/OB_Messages.h"
#include "video/OB_Video.h"
#include "video/platform/OB_KeyMap.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>

OB_ConsoleInfo ConsoleInfo;

namespace {

// The registry exists from program start: the log registers its command
// before ConsoleInit runs.
std::vector<TCommandInfo> Commands;
std::vector<TVariableInfo> Variables;
std::vector<int32_t> Watches;

std::unique_ptr<TStringStack> Lines;
std::unique_ptr<TStringStack> History;
std::string EditLine;
int32_t HistoryIndex = -1;
int32_t ScrollOffset = 0;

constexpr int32_t OutputCapacity = 100;
constexpr int32_t HistoryCapacity = 20;
const std::string RuleLine(47, '-');

using TArgs = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Reading words as numbers. The grammar is checked here, character by
// character, before any conversion: the library converters would accept
// "inf", "nan", hexadecimal floats and trailing garbage, none of which is a
// number in the console. Leading blanks are skipped by both readers.

std::string_view WithoutLeadingBlanks(std::string_view Word)
{
    const size_t first = Word.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : Word.substr(first);
}

int DigitValue(char Ch, bool Hex)
{
    if (Ch >= '0' && Ch <= '9')
        return Ch - '0';
    if (!Hex)
        return -1;
    if (Ch >= 'a' && Ch <= 'f')
        return Ch - 'a' + 10;
    if (Ch >= 'A' && Ch <= 'F')
        return Ch - 'A' + 10;
    return -1;
}

// The 32 bits of an integer word, or nothing when the word breaks the rules
// or its value does not fit (signed 32-bit for decimal, 32 bits for hex).
std::optional<uint32_t> ParseInteger(std::string_view Word)
{
    std::string_view rest = WithoutLeadingBlanks(Word);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    bool hex = false;
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        hex = true;
        rest.remove_prefix(2);
    } else if (!rest.empty() && (rest.front() == '$' || rest.front() == 'x' || rest.front() == 'X')) {
        hex = true;
        rest.remove_prefix(1);
    }
    if (rest.empty())
        return std::nullopt;

    const uint64_t base = hex ? 16 : 10;
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t value = 0;
    for (const char ch : rest) {
        const int digit = DigitValue(ch, hex);
        if (digit < 0)
            return std::nullopt;
        value = value * base + static_cast<uint64_t>(digit);
        if (value > limit)
            return std::nullopt;
    }
    const uint32_t bits = static_cast<uint32_t>(value);
    return negative ? 0u - bits : bits;
}

size_t SkipDigits(std::string_view Text, size_t Pos)
{
    while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9')
        ++Pos;
    return Pos;
}

// True when Text is [+|-] digits [. digits] [(e|E) [+|-] digits] with at
// least one digit before the exponent.
bool IsDecimalNumber(std::string_view Text)
{
    size_t pos = 0;
    if (pos < Text.size() && (Text[pos] == '+' || Text[pos] == '-'))
        ++pos;
    const size_t integerEnd = SkipDigits(Text, pos);
    size_t mantissaDigits = integerEnd - pos;
    pos = integerEnd;
    if (pos < Text.size() && Text[pos] == '.') {
        const size_t fractionEnd = SkipDigits(Text, pos + 1);
        mantissaDigits += fractionEnd - pos - 1;
        pos = fractionEnd;
    }
    if (mantissaDigits == 0)
        return false;
    if (pos < Text.size() && (Text[pos] == 'e' || Text[pos] == 'E')) {
        ++pos;
        if (pos < Text.size() && (Text[pos] == '+' || Text[pos] == '-'))
            ++pos;
        const size_t exponentEnd = SkipDigits(Text, pos);
        if (exponentEnd == pos)
            return false;
        pos = exponentEnd;
    }
    return pos == Text.size();
}

// The text of a decimal number as the converters take it: no leading
// blanks, no "+" (from_chars takes none); empty when it is not a number.
std::string_view DecimalText(const std::string& Word)
{
    std::string_view text = WithoutLeadingBlanks(Word);
    if (!IsDecimalNumber(text))
        return {};
    if (text.front() == '+')
        text.remove_prefix(1);
    return text;
}

// The word's value in T, rounded once from the decimal text; a value beyond
// T's range either way reads as 0, like an integer beyond its range.
template <typename T>
T ReadDecimal(const std::string& Word)
{
    const std::string_view text = DecimalText(Word);
    T value = 0;
    if (text.empty())
        return 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return 0;
    return value;
}

// ---------------------------------------------------------------------------
// Variables

// Calls Action for every variable named Name, in registration order.
template <typename TAction>
void ForEachVariableNamed(const std::string& Name, TAction Action)
{
    for (size_t i = 0; i < Variables.size(); ++i)
        if (Variables[i].Name == Name)
            Action(Variables[i], static_cast<int32_t>(i));
}

bool StringFits(const TVariableInfo& Variable, const std::string& Word)
{
    return Variable.Address != nullptr && Word.size() < Variable.Capacity;
}

void StoreValue(const TVariableInfo& Variable, const std::string& Word)
{
    void* address = Variable.Address;
    if (address == nullptr)
        return;
    switch (Variable.VarType) {
    case TVariableType::vtUInt:
        *static_cast<uint32_t*>(address) = ConsoleReadInteger(Word);
        break;
    case TVariableType::vtInt:
        *static_cast<int32_t*>(address) = static_cast<int32_t>(ConsoleReadInteger(Word));
        break;
    case TVariableType::vtFloat:
        *static_cast<float*>(address) = ConsoleReadFloat(Word);
        break;
    case TVariableType::vtDouble:
        *static_cast<double*>(address) = ConsoleReadNumber(Word);
        break;
    case TVariableType::vtString:
        if (StringFits(Variable, Word)) {
            std::memcpy(address, Word.data(), Word.size());
            static_cast<char*>(address)[Word.size()] = '\0';
        }
        break;
    case TVariableType::vtBoolean:
        break;
    }
}

std::string GeneralFormat(double Value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", Value);
    return text;
}

// ---------------------------------------------------------------------------
// Built-in commands

bool HelpCommand(const TArgs&, int32_t, void*)
{
    ConsolePrint("Registered Commands:");
    ConsolePrint(RuleLine);
    for (size_t i = 0; i < Commands.size(); ++i)
        ConsolePrint(Commands[i].Name + " " + Commands[i].Help);
    return true;
}

bool SetCommand(const TArgs& Args, int32_t, void*)
{
    if (Args.size() != 2)
        return false;
    const std::string& name = Args[0];
    const std::string& word = Args[1];
    // A string that does not fit one of the buffers is refused as a whole,
    // before anything is written.
    bool fits = true;
    ForEachVariableNamed(name, [&](const TVariableInfo& variable, int32_t) {
        if (variable.VarType == TVariableType::vtString && !StringFits(variable, word))
            fits = false;
    });
    if (!fits)
        return false;
    ForEachVariableNamed(name, [&](const TVariableInfo& variable, int32_t) { StoreValue(variable, word); });
    return true;
}

bool GetCommand(const TArgs& Args, int32_t, void*)
{
    if (Args.size() != 1)
        return false;
    ForEachVariableNamed(Args[0], [](const TVariableInfo& variable, int32_t) {
        ConsolePrint(variable.Name + " = " + VariableValueText(variable));
    });
    return true;
}

bool VarsCommand(const TArgs&, int32_t, void*)
{
    ConsolePrint("Registered variables:");
    ConsolePrint(RuleLine);
    for (size_t i = 0; i < Variables.size(); ++i)
        ConsolePrint(Variables[i].Name + " (" + VariableTypeName(Variables[i].VarType) + ")");
    return true;
}

bool VidSizeCommand(const TArgs& Args, int32_t, void*)
{
    if (Args.size() < 2)
        return false;
    const auto width = static_cast<int32_t>(ConsoleReadInteger(Args[0]));
    const auto height = static_cast<int32_t>(ConsoleReadInteger(Args[1]));
    const bool fullScreen = Args.size() >= 3 && ConsoleReadInteger(Args[2]) != 0;
    const float aspect = Args.size() >= 4 ? ConsoleReadFloat(Args[3]) : 0.0f;
    OB_Video_Open(nullptr, width, height, 32, fullScreen, true, aspect);
    return true;
}

bool VidInfoCommand(const TArgs&, int32_t, void*)
{
    std::vector<std::string> lines;
    OB_Video_GetInfoLines(lines);
    for (const std::string& line : lines)
        ConsolePrint(line);
    return true;
}

bool WatchCommand(const TArgs& Args, int32_t, void*)
{
    if (Args.empty() || Args.size() > 2)
        return false;
    if (Args.size() == 2 && Args[1] == "0")
        RemoveWatch(Args[0]);
    else
        AddWatch(Args[0]);
    return true;
}

bool ResCommand(const TArgs&, int32_t, void*)
{
    for (const std::string& line : StatusReportLines())
        ConsolePrint(line);
    return true;
}

void EchoKernelMessage(int32_t Msg, void* Param, int32_t, void*)
{
    if ((Msg & 0xFF00) != MSGGROUP_KERNEL)
        return;
    std::string text = OB_MessageName(Msg);
    if (Msg == MSG_DUMMYOBJECT && Param != nullptr)
        text += " (" + *static_cast<const std::string*>(Param) + ")";
    ConsolePrint("Kernel message: " + text);
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

} // namespace

// ---------------------------------------------------------------------------
// TStringStack

TStringStack::TStringStack(int32_t capacity) : FCapacity(capacity) {}

void TStringStack::Push(const std::string& s)
{
    if (FCapacity <= 0)
        return;
    ++Top;
    if (Top == FCapacity)
        Top = 0;
    if (Count() < FCapacity)
        Items.resize(static_cast<size_t>(Top) + 1);
    Items[static_cast<size_t>(Top)] = s;
}

const std::string& TStringStack::Get(int32_t n) const
{
    if (n < 0 || n >= Count())
        throw std::out_of_range("TStringStack::Get: index " + std::to_string(n) + " outside 0.." +
                                std::to_string(Count() - 1));
    int32_t slot = Top - n;
    if (slot < 0)
        slot += Count();
    return Items[static_cast<size_t>(slot)];
}

// ---------------------------------------------------------------------------
// Registry and command language

void AddCommand(const std::string& Name, const std::string& Help, TCommandProc Proc, void* Data)
{
    Commands.push_back(TCommandInfo{Name, Help, Proc, Data});
}

void AddVariable(const std::string& Name, TVariableType VarType, void* Address, size_t Capacity)
{
    Variables.push_back(TVariableInfo{Name, Address, VarType, Capacity});
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

void ConsolePrint(const std::string& Line)
{
    // Without an output buffer (before ConsoleInit, after ConsoleShutdown)
    // the line has nowhere to go and is dropped.
    if (Lines)
        Lines->Push(Line);
}

void ExecuteLine(const std::string& Line)
{
    // Line may be the edit line itself, which is cleared first.
    const std::string line = Line;
    EditLine.clear();
    // Even an empty line ends browsing: Up then recalls the newest line.
    HistoryIndex = -1;
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
        accepted = command.Proc != nullptr &&
                   command.Proc(Args, static_cast<int32_t>(Args.size()), command.Data);
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

void AddWatch(const std::string& Name)
{
    ForEachVariableNamed(Name, [](const TVariableInfo&, int32_t index) { Watches.push_back(index); });
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
    case TVariableType::vtUInt: return "UINT";
    case TVariableType::vtInt: return "INT";
    case TVariableType::vtFloat: return "FLOAT";
    case TVariableType::vtDouble: return "DOUBLE";
    case TVariableType::vtString: return "STRING";
    case TVariableType::vtBoolean: return "BOOLEAN";
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

uint32_t ConsoleReadInteger(const std::string& Word)
{
    return ParseInteger(Word).value_or(0);
}

double ConsoleReadNumber(const std::string& Word)
{
    return ReadDecimal<double>(Word);
}

float ConsoleReadFloat(const std::string& Word)
{
    return ReadDecimal<float>(Word);
}

void ConsoleInit()
{
    ConsoleInfo = OB_ConsoleInfo{};
    ConsoleDrawInit();
    Lines = std::make_unique<TStringStack>(OutputCapacity);
    History = std::make_unique<TStringStack>(HistoryCapacity);
    HistoryIndex = -1;
    ScrollOffset = 0;

    AddCommand("help", "- List of registered commands", HelpCommand, nullptr);
    AddCommand("set", "{variable} {value} - Set a variables value", SetCommand, nullptr);
    AddCommand("get", "{variable} - Get a variables value", GetCommand, nullptr);
    AddCommand("vars", "- Show list of variables", VarsCommand, nullptr);
    AddCommand("vid_size", "{width} {height} [full=0/1] - Change video mode", VidSizeCommand, nullptr);
    AddCommand("vid_info", "Displays video info", VidInfoCommand, nullptr);
    AddCommand("watch", "[variable] {0} - Watch a variable. Specify 0 as 2nd arg to remove watch", WatchCommand,
               nullptr);
    AddCommand("res", "lists resources in system", ResCommand, nullptr);

    AddVariable("consoleheight", TVariableType::vtFloat, &ConsoleInfo.Height);
    AddVariable("fps", TVariableType::vtInt, &OB_VideoInfo.FPS);

    ConsolePrint("Orbel2 At your service!");
    OB_AddListener(EchoKernelMessage, MSGGROUP_KERNEL, nullptr);
}

void ConsoleShutdown()
{
    Lines.reset();
}

// ---------------------------------------------------------------------------
// Line editor

bool ConsoleChar(char Ch)
{
    if (!ConsoleInfo.Visible)
        return false;
    const auto code = static_cast<unsigned char>(Ch);
    if (code >= 32 && code <= 127)
        EditLine.push_back(Ch);
    return true;
}

bool ConsoleKeyDown(uint16_t Key)
{
    if (!ConsoleInfo.Visible)
        return false;
    switch (Key) {
    case VK_BACK:
        if (!EditLine.empty())
            EditLine.pop_back();
        break;
    case VK_TAB:
        CompleteCommand();
        break;
    case VK_RETURN:
        ExecuteLine(EditLine);
        break;
    case VK_PRIOR:
        ScrollConsole(1);
        break;
    case VK_NEXT:
        ScrollConsole(-1);
        break;
    case VK_UP:
        BrowseHistory(true);
        break;
    case VK_DOWN:
        BrowseHistory(false);
        break;
    default:
        break;
    }
    // The console was visible on entry; a command may have hidden it since.
    return true;
}

void ToggleConsole()
{
    ConsoleInfo.Visible = !ConsoleInfo.Visible;
}

void SetConsoleVisible(bool Visible)
{
    ConsoleInfo.Visible = Visible;
}

void CompleteCommand()
{
    const std::string_view prefix = std::string_view(EditLine).substr(0, EditLine.find(' '));
    if (prefix.empty())
        return;
    std::string listing = "Matches: ";
    const TCommandInfo* only = nullptr;
    int32_t matches = 0;
    for (const TCommandInfo& command : Commands) {
        if (!command.Name.starts_with(prefix))
            continue;
        ++matches;
        only = &command;
        listing += command.Name + "  ";
    }
    if (matches == 1)
        EditLine = only->Name + " ";
    else if (matches > 1)
        ConsolePrint(listing);
}

void BrowseHistory(bool Older)
{
    if (!History || History->Count() == 0)
        return;
    if (Older) {
        if (HistoryIndex < History->Count() - 1) {
            ++HistoryIndex;
            EditLine = History->Get(HistoryIndex);
        }
        return;
    }
    if (HistoryIndex >= 0)
        --HistoryIndex;
    if (HistoryIndex < 0)
        EditLine.clear();
    else
        EditLine = History->Get(HistoryIndex);
}

void ScrollConsole(int32_t Delta)
{
    // Widened so that an extreme Delta cannot overflow; the view never goes
    // past the oldest line held, and never below 0 even with no lines.
    const int64_t lastLine = Lines ? Lines->Count() - 1 : 0;
    int64_t offset = static_cast<int64_t>(ScrollOffset) + Delta;
    if (offset > lastLine)
        offset = lastLine;
    if (offset < 0)
        offset = 0;
    ScrollOffset = static_cast<int32_t>(offset);
}

// ---------------------------------------------------------------------------
// Read access

const std::vector<TCommandInfo>& ConsoleCommands() { return Commands; }
const std::vector<TVariableInfo>& ConsoleVariables() { return Variables; }
const std::vector<int32_t>& ConsoleWatches() { return Watches; }
const TStringStack* ConsoleLines() { return Lines.get(); }
const TStringStack* ConsoleHistory() { return History.get(); }
const std::string& ConsoleEditLine() { return EditLine; }
int32_t ConsoleHistoryIndex() { return HistoryIndex; }
int32_t ConsoleScrollOffset() { return ScrollOffset; }
