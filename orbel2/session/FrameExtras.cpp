#include "orbel2/session/FrameExtras.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleNumbers.h"

#include <algorithm>
#include <cmath>

namespace orbel2 {

TFrameExtras::~TFrameExtras()
{
    RemoveCommand("graph", this);
    RemoveVariable("maxfps", &FMaxFPS);
    RemoveVariable("interpolate", &FInterpolate);
    RemoveVariable("graph", &FGraph);
}

void TFrameExtras::Register()
{
    AddVariable("maxfps", &FMaxFPS);
    AddVariable("interpolate", &FInterpolate);
    AddVariable("graph", &FGraph);
    AddCommand("graph", "{1/0} - Show or hide the graph of frames and steps", GraphCommand, this);
}

bool TFrameExtras::GraphCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (ArgCount != 1)
        return false;
    static_cast<TFrameExtras*>(Data)->FGraph = ConsoleReadInteger(Args[0]) != 0 ? 1 : 0;
    return true;
}

void TFrameExtras::FrameStepped(double FrameTime, uint32_t Steps, bool Capped, double LeftoverBefore,
                                double LeftoverAfter, bool Rewound)
{
    const bool shown = GraphShown();
    if (shown && !FGraphWasShown)
        FFrameGraph.Clear();
    FGraphWasShown = shown;
    if (!shown)
        return;
    const double progress =
        static_cast<double>(Steps) + (LeftoverAfter - LeftoverBefore) / static_cast<double>(SessionStepTime);
    FFrameGraph.AddFrame(TFrameSample{FrameTime, Steps, Capped, Rewound, progress});
}

float TFrameExtras::DrawAlpha(double Leftover) const
{
    if (FInterpolate == 0)
        return 1.0f;
    const double alpha = Leftover / static_cast<double>(SessionStepTime);
    if (!(alpha > 0))
        return 0.0f;
    return static_cast<float>(std::min(alpha, 1.0));
}

void TFrameExtras::DrawOverlay()
{
    if (GraphShown())
        FFrameGraph.Draw();
}

}   // namespace orbel2
