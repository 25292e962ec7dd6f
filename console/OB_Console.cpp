// Placeholder registry until the console lands.
#include "console/OB_Console.h"

namespace {
std::vector<TCommandInfo> Commands;
std::vector<TVariableInfo> Variables;
std::vector<int32_t> Watches;
std::string EditLine;
} // namespace

OB_ConsoleInfo ConsoleInfo;

TStringStack::TStringStack(int32_t capacity) : FCapacity(capacity) {}
void TStringStack::Push(const std::string& s) { Items.push_back(s); }
const std::string& TStringStack::Get(int32_t n) const { return Items.at(static_cast<size_t>(n)); }

void AddCommand(const std::string& Name, const std::string& Help, TCommandProc Proc, void* Data)
{
    Commands.push_back(TCommandInfo{Name, Help, Proc, Data});
}
void AddVariable(const std::string& Name, TVariableType VarType, void* Address, size_t Capacity)
{
    Variables.push_back(TVariableInfo{Name, Address, VarType, Capacity});
}
void ConsolePrint(const std::string&) {}
void ExecuteLine(const std::string&) {}
bool ExecuteCommand(const std::string&, const std::vector<std::string>&) { return false; }
void AddWatch(const std::string&) {}
void RemoveWatch(const std::string&) {}
std::string VariableTypeName(TVariableType) { return ""; }
std::string VariableValueText(const TVariableInfo&) { return ""; }
uint32_t ConsoleReadInteger(const std::string&) { return 0; }
double ConsoleReadNumber(const std::string&) { return 0; }
void ConsoleInit() {}
void ConsoleShutdown() {}
bool ConsoleChar(char) { return false; }
bool ConsoleKeyDown(uint16_t) { return false; }
void ToggleConsole() {}
void SetConsoleVisible(bool) {}
void CompleteCommand() {}
void BrowseHistory(bool) {}
void ScrollConsole(int32_t) {}
const std::vector<TCommandInfo>& ConsoleCommands() { return Commands; }
const std::vector<TVariableInfo>& ConsoleVariables() { return Variables; }
const std::vector<int32_t>& ConsoleWatches() { return Watches; }
const TStringStack* ConsoleLines() { return nullptr; }
const TStringStack* ConsoleHistory() { return nullptr; }
const std::string& ConsoleEditLine() { return EditLine; }
int32_t ConsoleHistoryIndex() { return -1; }
int32_t ConsoleScrollOffset() { return 0; }
