#include "orbel2/kernel/OB_Visuals.h"

namespace orbel2 {

std::unique_ptr<TVisualSystem> VisualSystem;
std::unique_ptr<TVisualList> VisualList;

void CreateVisuals()
{
    VisualSystem = std::make_unique<TVisualSystem>();
    VisualList = std::make_unique<TVisualList>();
}

void FreeVisuals()
{
    VisualList.reset();
    VisualSystem.reset();
}

}   // namespace orbel2
