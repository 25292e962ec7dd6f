// A fixed, repeatable run of the demo's world: 20,000 steps driven by a
// script of input words, as the session drives it (one word per step,
// applied before a midpoint step of 0.02). The determinism test, the
// cross-build check (tools/scripted_run.cpp) and the replay benchmark all
// run it from here, so every build is measured on the very same run.
//
// Rule: the script's words come from a fixed xorshift sequence, change
// every 8 steps and lean on thrust, so that the player roams into the
// boxes; nothing in it depends on the machine.
#pragma once

#include "demo/DemoScene.h"

#include <cstdint>
#include <functional>

namespace orbel2::demo {

constexpr int ScriptedRunSteps = 20000;

// The script's input words, step 0 first.
class TInputScript {
public:
    uint32_t Next();

private:
    uint32_t Random = 0x0B0E12u;
    uint32_t Step = 0;
    uint32_t Held = 0;
};

struct TScriptedRunResult {
    uint64_t ChainedHash = 0;   // HashWorld fed its own value after every step
    uint64_t FinalHash = 0;   // HashWorld of the world after the last step
    int StepsWithContact = 0;
};

// Sees the scene after a step's input is applied, before the world steps.
using TBeforeStep = std::function<void(int Step, const TDemoScene& Scene)>;

// Runs Steps steps of the script on Scene, built with BuildDemoBodies and
// not yet stepped.
TScriptedRunResult RunScriptedDemo(TDemoScene& Scene, int Steps, const TBeforeStep& BeforeStep = nullptr);

}   // namespace orbel2::demo
