// Orbel2: the fixed-time-step demonstration. Starts the engine, opens a
// 640 x 480 window, runs the demo session until Escape or the window is
// closed, and stops the engine in reverse order; with --replay FILE it
// replays a recording without any of that (orbel2/session/GameProgram.h).
#include "orbel2/kernel/OB_Version.h"
#include "orbel2/session/GameProgram.h"
#include "demo/MainSession.h"

using namespace orbel2;
using namespace orbel2::demo;

namespace {

const TGameProgram Demo{
    "orbel2",
    OB_VERSION_STRING,
    "Orbel2 " OB_VERSION_STRING ": a fixed-time-step game loop. The world advances in steps of exactly\n"
    "0.02 s however fast frames come; a console over the scene runs commands.",
    "\n"
    "Keys:\n"
    "  Left / Right    turn the player\n"
    "  Up / Down       thrust forward / backward\n"
    "  Backspace       step the world back while held (with the console hidden)\n"
    "  Home            show or hide the console (type \"help\" in it for its commands)\n"
    "  F11             switch between an 800 x 600 window and full screen\n"
    "  Escape          quit\n",
    GameSessionClass<TMainSession>,
    640,
    480,
    "Orbel2",   // the window's title; its X11 class is "orbel2", as in orbel2.desktop
};

}   // namespace

int main(int argc, char** argv)
{
    return OB_RunGame(Demo, argc, argv);
}
