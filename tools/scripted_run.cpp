// Prints the hashes of the demo's scripted run (demo/ScriptedRun.h), so
// that builds the test suite does not run in (other compilers, other
// processors under an emulator) can be compared with the constant of the
// determinism test. Built from the physics sources alone by
// tools/cross-build-check.sh; takes no arguments.
//   scripted-run   ->   "<chained hash> <final world hash> <steps with contact>"
#include "demo/ScriptedRun.h"

#include <cinttypes>
#include <cstdio>

using namespace orbel2;
using namespace orbel2::demo;

int main()
{
    TDemoScene scene;
    BuildDemoBodies(scene);
    const TScriptedRunResult run = RunScriptedDemo(scene, ScriptedRunSteps);
    std::printf("0x%016" PRIX64 " 0x%016" PRIX64 " %d\n", run.ChainedHash, run.FinalHash, run.StepsWithContact);
    return 0;
}
