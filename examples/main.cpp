// pendulum: a second program on the Orbel2 engine. Everything the demo's
// command line does, it does too: --help, --version, --replay FILE
// [--hash-every N] [--max-idle-steps N] and --frames N (with
// SDL_VIDEODRIVER=dummy it runs with no display at all).
#include "PendulumSession.h"

#include "orbel2/session/GameProgram.h"

using namespace orbel2;

// guide: main
namespace {

const TGameProgram Pendulum{
    "pendulum",
    "1.0",
    "A pendulum on the Orbel2 engine: a bob on a spring, pushed by the arrow keys.",
    "\n"
    "Keys:\n"
    "  Left / Right    push the bob\n"
    "  Backspace       step the world back while held (with the console hidden)\n"
    "  Home            show or hide the console (\"kick 300\" pushes the bob)\n"
    "  F11             switch between an 800 x 600 window and full screen\n"
    "  Escape          quit\n",
    GameSessionClass<TPendulumSession>,
};

}   // namespace

int main(int argc, char** argv)
{
    return OB_RunGame(Pendulum, argc, argv);
}
// guide: end
