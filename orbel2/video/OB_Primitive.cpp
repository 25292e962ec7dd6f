#include "orbel2/video/OB_Primitive.h"

#include "orbel2/video/OB_Video.h"
#include "orbel2/video/platform/OB_GfxDevice.h"

#include <cmath>

namespace orbel2 {

void OB_Quad_Init(TQuad& Quad, float Margin)
{
    const float far = 1.0f - Margin;
    const float u[4] = {0.0f, far, 0.0f, far};
    const float v[4] = {0.0f, 0.0f, far, far};
    for (int i = 0; i < 4; ++i) {
        TQuadVertex& vertex = Quad.Vertices[i];
        vertex.Z = 0.0f;
        vertex.Diffuse = 0xFFFFFFFFu;
        vertex.U = u[i];
        vertex.V = v[i];
    }
}

void OB_Quad_SetColor(TQuad& Quad, D3DCOLOR Colour)
{
    for (TQuadVertex& vertex : Quad.Vertices)
        vertex.Diffuse = Colour;
}

void OB_Quad_SetColorValue(TQuad& Quad, float R, float G, float B, float A)
{
    OB_Quad_SetColor(Quad, ColourValueToARGB(MakeColourValue(R, G, B, A)));
}

void OB_Quad_SetCorners(TQuad& Quad, float X, float Y, float Width, float Height, float Angle, float PivotX,
                        float PivotY)
{
    const float c = static_cast<float>(std::cos(static_cast<double>(Angle)));
    const float s = static_cast<float>(std::sin(static_cast<double>(Angle)));
    const float left = -PivotX * Width;
    const float right = (1.0f - PivotX) * Width;
    const float top = -PivotY * Height;
    const float bottom = (1.0f - PivotY) * Height;
    const float a[4] = {left, right, left, right};
    const float b[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; ++i) {
        const float rx = c * a[i] - s * b[i];
        const float ry = s * a[i] + c * b[i];
        Quad.Vertices[i].X = X + rx;
        Quad.Vertices[i].Y = Y + ry;
    }
}

void OB_Quad_Draw(const TQuad& Quad, SDL_Texture* Texture)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    if (device == nullptr)
        return;
    device->SetTexture(0, Texture);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, Quad.Vertices);
}

void OB_Line_Draw(const TVector2D& A, const TVector2D& B, D3DCOLOR Colour)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    if (device == nullptr)
        return;
    const TQuadVertex ends[2] = {{A.x, A.y, 0.0f, Colour, 0.0f, 0.0f}, {B.x, B.y, 0.0f, Colour, 0.0f, 0.0f}};
    device->SetTexture(0, nullptr);
    device->DrawPrimitiveUP(D3DPT_LINESTRIP, 1, ends);
}

}   // namespace orbel2
