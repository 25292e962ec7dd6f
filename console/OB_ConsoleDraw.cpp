// Placeholder until the console display lands.
#include "console/OB_ConsoleDraw.h"

void ConsoleDrawInit() {}
void ConsoleDraw() {}
