// The console's keyboard side: the one-line editor in which commands are
// typed (characters are added and removed at the end only), browsing the
// history of executed lines, completing the command word with Tab,
// scrolling the output, and showing or hiding the console. It receives
// Windows virtual-key codes and typed characters; everything happens only
// while the console is shown.
#pragma once

#include <cstdint>

namespace orbel2 {

// Both handlers return whether the console was shown, that is, whether it
// took the character or key.
bool ConsoleChar(char Ch);
bool ConsoleKeyDown(uint16_t Key);
void ToggleConsole();
void SetConsoleVisible(bool Visible);
// Tab: a command word with exactly one match is completed (the rest of the
// line dropped); several matches are listed as "Matches: ...".
void CompleteCommand();
void BrowseHistory(bool Older);
void ScrollConsole(int32_t Delta);

}   // namespace orbel2
