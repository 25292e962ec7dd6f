// Any bytes as a saved state of the demo's world (orbel2/physics/PhysicsSnapshot.h).
// A state that is refused must say why and leave the world as it was, to the
// byte; one that is loaded must save back to the very same bytes, and the
// world must step on from it, whatever numbers it holds.
#include "demo/DemoScene.h"
#include "orbel2/physics/PhysicsSnapshot.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

TDemoScene* Scene = nullptr;
std::vector<uint8_t> Start;
std::vector<uint8_t> Again;
std::string Why;

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static TDemoScene scene;
    Scene = &scene;
    BuildDemoBodies(scene);
    for (int step = 0; step < 20; ++step) {
        ApplyDemoInput(scene.Player, INPUT_UP);
        scene.Physics.Step(TIntegrationMode::imMidpoint, DemoStepTime);
    }
    SavePhysicsState(scene.Physics, Start);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TPhysics2D& world = Scene->Physics;
    if (!LoadPhysicsState(world, Start, Why))
        std::abort();
    const std::span<const uint8_t> bytes(data, size);
    const bool loaded = LoadPhysicsState(world, bytes, Why);
    SavePhysicsState(world, Again);
    if (!loaded) {
        if (Why.empty() || Again != Start)
            std::abort();
        return 0;
    }
    if (!std::equal(Again.begin(), Again.end(), bytes.begin(), bytes.end()))
        std::abort();
    for (int step = 0; step < 2; ++step)
        world.Step(TIntegrationMode::imMidpoint, DemoStepTime);
    return 0;
}
