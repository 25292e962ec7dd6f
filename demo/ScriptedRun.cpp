#include "demo/ScriptedRun.h"

#include "orbel2/physics/WorldHash.h"

#include <algorithm>

namespace orbel2::demo {

namespace {

constexpr uint32_t StepsPerWord = 8;

}   // namespace

// xorshift32; every 8th step draws a new word: the arrow bits from the low
// nibble, and thrust forward two times in three.
uint32_t TInputScript::Next()
{
    if (Step++ % StepsPerWord == 0) {
        Random ^= Random << 13;
        Random ^= Random >> 17;
        Random ^= Random << 5;
        Held = (Random & 0xFu) | ((Random >> 8) % 3 == 0 ? 0u : INPUT_UP);
    }
    return Held;
}

TScriptedRunResult RunScriptedDemo(TDemoScene& Scene, int Steps, const TBeforeStep& BeforeStep)
{
    TInputScript script;
    TScriptedRunResult result;
    result.ChainedHash = WorldHashStart;
    for (int step = 0; step < Steps; ++step) {
        ApplyDemoInput(Scene.Player, script.Next());
        if (BeforeStep)
            BeforeStep(step, Scene);
        Scene.Physics.Step(TIntegrationMode::imMidpoint, DemoStepTime);
        result.ChainedHash = HashWorld(Scene.Physics.Bodies, result.ChainedHash);
        result.StepsWithContact +=
            std::ranges::any_of(Scene.Physics.Bodies, [](const TBody* body) { return body->Collided; });
    }
    result.FinalHash = HashWorld(Scene.Physics.Bodies);
    return result;
}

}   // namespace orbel2::demo
