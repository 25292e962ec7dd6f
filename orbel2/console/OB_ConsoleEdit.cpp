#include "orbel2/console/OB_ConsoleEdit.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/kernel/OB_KeyCodes.h"

#include <string>
#include <string_view>

namespace orbel2 {

bool ConsoleChar(char Ch)
{
    if (!ConsoleInfo.Visible)
        return false;
    const auto code = static_cast<unsigned char>(Ch);
    if (code >= 32 && code <= 127)
        ConsoleEditState().EditLine.push_back(Ch);
    return true;
}

bool ConsoleKeyDown(uint16_t Key)
{
    if (!ConsoleInfo.Visible)
        return false;
    switch (Key) {
    case VK_BACK:
        if (!ConsoleEditState().EditLine.empty())
            ConsoleEditState().EditLine.pop_back();
        break;
    case VK_TAB:
        CompleteCommand();
        break;
    case VK_RETURN:
        ExecuteLine(ConsoleEditState().EditLine);
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
    TConsoleEditState& edit = ConsoleEditState();
    const std::string_view prefix = std::string_view(edit.EditLine).substr(0, edit.EditLine.find(' '));
    if (prefix.empty())
        return;
    std::string listing = "Matches: ";
    const TCommandInfo* only = nullptr;
    int32_t matches = 0;
    for (const TCommandInfo& command : ConsoleCommands()) {
        if (!command.Name.starts_with(prefix))
            continue;
        ++matches;
        only = &command;
        listing += command.Name + "  ";
    }
    if (matches == 1)
        edit.EditLine = only->Name + " ";
    else if (matches > 1)
        ConsolePrint(listing);
}

void BrowseHistory(bool Older)
{
    const TStringStack* history = ConsoleHistory();
    if (history == nullptr || history->Count() == 0)
        return;
    TConsoleEditState& edit = ConsoleEditState();
    if (Older) {
        if (edit.HistoryIndex < history->Count() - 1) {
            ++edit.HistoryIndex;
            edit.EditLine = history->Get(edit.HistoryIndex);
        }
        return;
    }
    if (edit.HistoryIndex >= 0)
        --edit.HistoryIndex;
    if (edit.HistoryIndex < 0)
        edit.EditLine.clear();
    else
        edit.EditLine = history->Get(edit.HistoryIndex);
}

void ScrollConsole(int32_t Delta)
{
    // Widened so that an extreme Delta cannot overflow; the view never goes
    // past the oldest line held, and never below 0 even with no lines.
    const int64_t lastLine = ConsoleLines() != nullptr ? ConsoleLines()->Count() - 1 : 0;
    int64_t offset = static_cast<int64_t>(ConsoleScrollOffset()) + Delta;
    if (offset > lastLine)
        offset = lastLine;
    if (offset < 0)
        offset = 0;
    ConsoleEditState().ScrollOffset = static_cast<int32_t>(offset);
}

}   // namespace orbel2
