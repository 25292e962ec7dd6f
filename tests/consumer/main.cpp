// A game with folders and names of its own that are also the engine's: its
// physics/Vector2D.h and kernel/OB_Errors.h are found first on its include
// path, and it defines AddCommand, LogWriteLine and TBody globally. The
// engine's headers and names must not meet any of them.
#include "kernel/OB_Errors.h"
#include "physics/Vector2D.h"

#include <orbel2/console/OB_Console.h>
#include <orbel2/console/OB_Logfile.h>
#include <orbel2/kernel/OB_Errors.h>
#include <orbel2/physics/WorldHash.h>
#include <orbel2/physics/physicssystem.h>

#include <cstdio>
#include <string>
#include <vector>

#if !defined(GAME_OWN_VECTOR2D) || !defined(GAME_OWN_ERRORS)
#error "the game's own headers were not the ones its include path found"
#endif

struct TBody {
    TVector2D Position;
};

std::vector<std::string> Commands;
std::vector<std::string> LogLines;

void AddCommand(const std::string& Name)
{
    Commands.push_back(Name);
}

void LogWriteLine(const std::string& Text)
{
    LogLines.push_back(Text);
}

int main()
{
    TBody hero{{1.5, 2.5}};
    AddCommand("jump");
    LogWriteLine("the game's own line");

    // The engine's body and world beside the game's: a box falls.
    orbel2::TBody box;
    box.SetBox(20.0f, 20.0f);
    box.State.Position = orbel2::TVector2D{100.0f, 100.0f};
    box.State.Velocity = orbel2::TVector2D{0.0f, 50.0f};
    orbel2::TPhysics2D world;
    world.Bodies.push_back(&box);
    for (int step = 0; step < 50; ++step)
        world.Step(orbel2::TIntegrationMode::imMidpoint, 0.02f);
    const uint64_t hash = orbel2::HashWorld(world.Bodies);

    const TGameError error = TGameError::None;
    std::printf("hero %.1f %.1f, commands %zu, log lines %zu, box y %.1f, hash 0x%016llX\n", hero.Position.X,
                hero.Position.Y, Commands.size(), LogLines.size(), static_cast<double>(box.State.Position.y),
                static_cast<unsigned long long>(hash));
    return error == TGameError::None && box.State.Position.y > 140.0f ? 0 : 1;
}
