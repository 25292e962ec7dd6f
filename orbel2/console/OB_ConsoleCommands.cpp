#include "orbel2/console/OB_ConsoleCommands.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleDraw.h"
#include "orbel2/console/OB_ConsoleNumbers.h"
#include "orbel2/console/obstrutils.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/video/OB_Video.h"

#include <cstring>
#include <string>
#include <vector>

namespace orbel2 {

namespace {

const std::string RuleLine(47, '-');

using TArgs = std::vector<std::string>;

// Calls Action with every variable named Name and its range, in
// registration order.
template <typename TAction>
void ForEachVariableNamed(const std::string& Name, TAction Action)
{
    const std::vector<TVariableInfo>& variables = ConsoleVariables();
    for (size_t i = 0; i < variables.size(); ++i)
        if (variables[i].Name == Name)
            Action(variables[i], ConsoleVariableRange(i));
}

bool StringFits(const TVariableInfo& Variable, const std::string& Word)
{
    return Variable.Address != nullptr && Word.size() < Variable.Capacity;
}

// Value held to the variable's range; the ends lie within T.
template <typename T>
T HeldTo(T Value, const TVariableRange& Range)
{
    if (static_cast<double>(Value) < Range.Low)
        return static_cast<T>(Range.Low);
    if (static_cast<double>(Value) > Range.High)
        return static_cast<T>(Range.High);
    return Value;
}

void StoreValue(const TVariableInfo& Variable, const TVariableRange& Range, const std::string& Word)
{
    void* address = Variable.Address;
    if (address == nullptr)
        return;
    switch (Variable.VarType) {
    case TVariableType::vtUInt:
        *static_cast<uint32_t*>(address) = HeldTo(ConsoleReadInteger(Word), Range);
        break;
    case TVariableType::vtInt:
        *static_cast<int32_t*>(address) = HeldTo(static_cast<int32_t>(ConsoleReadInteger(Word)), Range);
        break;
    case TVariableType::vtFloat:
        *static_cast<float*>(address) = HeldTo(ConsoleReadFloat(Word), Range);
        break;
    case TVariableType::vtDouble:
        *static_cast<double*>(address) = HeldTo(ConsoleReadNumber(Word), Range);
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

bool HelpCommand(const TArgs&, int32_t, void*)
{
    ConsolePrint("Registered Commands:");
    ConsolePrint(RuleLine);
    for (const TCommandInfo& command : ConsoleCommands())
        ConsolePrint(command.Name + " " + command.Help);
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
    ForEachVariableNamed(name, [&](const TVariableInfo& variable, const TVariableRange&) {
        if (variable.VarType == TVariableType::vtString && !StringFits(variable, word))
            fits = false;
    });
    if (!fits)
        return false;
    ForEachVariableNamed(name, [&](const TVariableInfo& variable, const TVariableRange& range) {
        StoreValue(variable, range, word);
    });
    return true;
}

bool GetCommand(const TArgs& Args, int32_t, void*)
{
    if (Args.size() != 1)
        return false;
    ForEachVariableNamed(Args[0], [](const TVariableInfo& variable, const TVariableRange&) {
        ConsolePrint(variable.Name + " = " + VariableValueText(variable));
    });
    return true;
}

bool VarsCommand(const TArgs&, int32_t, void*)
{
    ConsolePrint("Registered variables:");
    ConsolePrint(RuleLine);
    for (const TVariableInfo& variable : ConsoleVariables())
        ConsolePrint(variable.Name + " (" + VariableTypeName(variable.VarType) + ")");
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
    if (aspect != 0 && !OB_Video_AspectUsable(aspect))
        return false;
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

}   // namespace

void ConsoleInit()
{
    ConsoleInfo = OB_ConsoleInfo{};
    ConsoleDrawInit();
    ConsoleCreateBuffers();

    AddCommand("help", "- List of registered commands", HelpCommand, nullptr);
    AddCommand("set", "{variable} {value} - Set a variables value", SetCommand, nullptr);
    AddCommand("get", "{variable} - Get a variables value", GetCommand, nullptr);
    AddCommand("vars", "- Show list of variables", VarsCommand, nullptr);
    AddCommand("vid_size", "{width} {height} [full=0/1] - Change video mode", VidSizeCommand, nullptr);
    AddCommand("vid_info", "Displays video info", VidInfoCommand, nullptr);
    AddCommand("watch", "[variable] {0} - Watch a variable. Specify 0 as 2nd arg to remove watch", WatchCommand,
               nullptr);
    AddCommand("res", "lists resources in system", ResCommand, nullptr);

    AddVariable("consoleheight", &ConsoleInfo.Height, TVariableRange{0.0, 1.0});
    AddVariable("fps", &OB_VideoInfo.FPS);

    ConsolePrint("Orbel2 At your service!");
    OB_AddListener(EchoKernelMessage, MSGGROUP_KERNEL, nullptr);
}

void ConsoleShutdown()
{
    ConsoleReset();
}

}   // namespace orbel2
