// The engine's two primitives in the virtual 2D space of the camera: the
// quad (a rotated, coloured, optionally textured rectangle: the sprite) and
// the single line. A quad is the caller's value: initialise it once, then
// set its colour and corners and draw it as often as needed. Drawing is
// valid only between OB_Video_BeginScene and OB_Video_EndScene.
#pragma once

#include "orbel2/kernel/OB_GfxRecords.h"   // TQuadVertex, the device's 24-byte vertex
#include "orbel2/physics/D3DValues.h"
#include "orbel2/physics/Vector2D.h"

#include <cstdint>

struct SDL_Texture;

namespace orbel2 {

// Triangle-strip order: top left, top right, bottom left, bottom right.
struct TQuad {
    TQuadVertex Vertices[4];
};

// Z 0, opaque white, texture coordinates from (0, 0) to (1 - Margin, 1 - Margin);
// positions are left alone.
void OB_Quad_Init(TQuad& Quad, float Margin);
void OB_Quad_SetColor(TQuad& Quad, D3DCOLOR Colour);
// Components from 0 to 1; out of range values are clamped.
void OB_Quad_SetColorValue(TQuad& Quad, float R, float G, float B, float A);
// Places the point (PivotX, PivotY) of the rectangle (fractions of its width
// and height from its top-left corner) at (X, Y) and turns the rectangle
// about it by Angle radians (clockwise on screen, y growing downward).
void OB_Quad_SetCorners(TQuad& Quad, float X, float Y, float Width, float Height, float Angle, float PivotX,
                        float PivotY);
// Texture nullptr draws the quad in its vertex colours only.
void OB_Quad_Draw(const TQuad& Quad, SDL_Texture* Texture);
void OB_Line_Draw(const TVector2D& A, const TVector2D& B, D3DCOLOR Colour);

}   // namespace orbel2
