// The game's own vector, in doubles: a header of the same path as one of the
// engine's, which the engine's headers must never pick up in its place.
#pragma once

#define GAME_OWN_VECTOR2D 1

struct TVector2D {
    double X, Y;
};
