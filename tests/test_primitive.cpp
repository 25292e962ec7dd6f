#include "console/OB_Logfile.h"
#include "video/OB_Primitive.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"
#include "TestSupport.h"

#include <SDL.h>

#include <cmath>
#include <vector>

namespace {

void ExpectCorners(const TQuad& quad, const float (&xy)[4][2], float tolerance)
{
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(quad.Vertices[i].X, xy[i][0], tolerance) << "vertex " << i;
        EXPECT_NEAR(quad.Vertices[i].Y, xy[i][1], tolerance) << "vertex " << i;
    }
}

TEST(Quad, CornersTurnAboutThePivotAndLeaveTheRestAlone)
{
    TQuad quad;
    OB_Quad_Init(quad, 0.25f);
    OB_Quad_SetColor(quad, 0x80102030u);

    OB_Quad_SetCorners(quad, 100, 50, 40, 20, 0, 0.5f, 0.5f);
    ExpectCorners(quad, {{80, 40}, {120, 40}, {80, 60}, {120, 60}}, 0);

    // A quarter turn is clockwise on screen, y growing downward.
    OB_Quad_SetCorners(quad, 100, 50, 40, 20, 3.14159265f / 2, 0.5f, 0.5f);
    ExpectCorners(quad, {{110, 30}, {110, 70}, {90, 30}, {90, 70}}, 1e-4f);

    OB_Quad_SetCorners(quad, 0, 0, 1, 0.5f, 0, 0, 0);
    ExpectCorners(quad, {{0, 0}, {1, 0}, {0, 0.5f}, {1, 0.5f}}, 0);

    for (const TQuadVertex& v : quad.Vertices) {
        EXPECT_EQ(v.Z, 0.0f);
        EXPECT_EQ(v.Diffuse, 0x80102030u);
    }
    EXPECT_EQ(quad.Vertices[3].U, 0.75f);
    EXPECT_EQ(quad.Vertices[3].V, 0.75f);
}

TEST(Quad, InitAndColoursFillEveryVertex)
{
    TQuad quad;
    quad.Vertices[2].X = 7;
    OB_Quad_Init(quad, 0);
    const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(quad.Vertices[i].U, uv[i][0]);
        EXPECT_EQ(quad.Vertices[i].V, uv[i][1]);
        EXPECT_EQ(quad.Vertices[i].Z, 0.0f);
        EXPECT_EQ(quad.Vertices[i].Diffuse, 0xFFFFFFFFu);
    }
    EXPECT_EQ(quad.Vertices[2].X, 7.0f);   // positions are not the initialiser's

    OB_Quad_SetColorValue(quad, 1, 0, 0, 1);
    for (const TQuadVertex& v : quad.Vertices)
        EXPECT_EQ(v.Diffuse, 0xFFFF0000u);
    OB_Quad_SetColorValue(quad, 2.0f, -1.0f, 0.5f, 1.5f);
    EXPECT_EQ(quad.Vertices[0].Diffuse, 0xFFFF007Fu);
    OB_Quad_SetColorValue(quad, NAN, 0, 0, 0);
    EXPECT_EQ(quad.Vertices[1].Diffuse, 0u);
}

TEST(Quad, DrawingWithoutADeviceDoesNothing)
{
    TQuad quad;
    OB_Quad_Init(quad, 0);
    OB_Quad_Draw(quad, nullptr);
    OB_Line_Draw(MakeVector2D(0, 0), MakeVector2D(1, 1), 0xFFFFFFFFu);
}

class Drawing : public TTempDirTest {
protected:
    void SetUp() override
    {
        TTempDirTest::SetUp();
        LogInit();
        OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);
        OB_Video_SetVirtualSize(800, 600, 0);
        OB_Video_Clear(0xFF000000u);
        OB_Video_BeginScene();
    }
    void TearDown() override
    {
        OB_Video_EndScene();
        OB_Video_Close();
        LogShutdown();
        TTempDirTest::TearDown();
    }
    static uint32_t PixelAt(int x, int y)
    {
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(OB_VideoInfo.Device->ReadPixels(x, y, 1, 1, pixels));
        return pixels.empty() ? 0 : pixels[0] & 0x00FFFFFFu;
    }
};

TEST_F(Drawing, LineLandsOnItsPixelsInItsColour)
{
    OB_Line_Draw(MakeVector2D(100, 300.5f), MakeVector2D(700, 300.5f), 0xFF00FF00u);
    OB_Line_Draw(MakeVector2D(400.5f, 100), MakeVector2D(400.5f, 200), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(150, 300), 0x00FF00u);
    EXPECT_EQ(PixelAt(650, 300), 0x00FF00u);
    EXPECT_EQ(PixelAt(150, 302), 0u);
    EXPECT_EQ(PixelAt(50, 300), 0u);
    EXPECT_EQ(PixelAt(400, 150), 0x0000FFu);
    EXPECT_EQ(PixelAt(400, 250), 0u);
}

TEST_F(Drawing, BlendingFollowsTheRenderStateForColourAndTexture)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    TQuad quad;
    OB_Quad_Init(quad, 0);

    // Half-transparent white over red: replaced with blending off, mixed on.
    OB_Quad_SetColor(quad, 0xFFFF0000u);
    OB_Quad_SetCorners(quad, 0, 0, 800, 600, 0, 0, 0);
    OB_Quad_Draw(quad, nullptr);
    OB_Quad_SetColor(quad, 0x80FFFFFFu);
    OB_Quad_SetCorners(quad, 0, 0, 100, 100, 0, 0, 0);
    OB_Quad_Draw(quad, nullptr);
    EXPECT_EQ(PixelAt(50, 50), 0xFFFFFFu);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), D3D_OK);
    OB_Quad_SetCorners(quad, 200, 0, 100, 100, 0, 0, 0);
    OB_Quad_Draw(quad, nullptr);
    const uint32_t mixed = PixelAt(250, 50);
    EXPECT_NEAR(static_cast<int>(mixed >> 16), 255, 2);
    EXPECT_NEAR(static_cast<int>((mixed >> 8) & 0xFF), 128, 2);
    EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 128, 2);

    // A white texture takes the vertex colour: green at half alpha over red.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(surface, nullptr);
    SDL_FillRect(surface, nullptr, 0xFFFFFFFFu);
    SDL_Texture* texture = device->CreateTextureFromSurface(surface);
    SDL_FreeSurface(surface);
    ASSERT_NE(texture, nullptr);
    OB_Quad_SetColor(quad, 0x8000FF00u);
    OB_Quad_SetCorners(quad, 400, 0, 100, 100, 0, 0, 0);
    OB_Quad_Draw(quad, texture);
    const uint32_t tinted = PixelAt(450, 50);
    EXPECT_NEAR(static_cast<int>(tinted >> 16), 127, 2);
    EXPECT_NEAR(static_cast<int>((tinted >> 8) & 0xFF), 128, 2);
    EXPECT_EQ(tinted & 0xFF, 0u);

    // Textures outliving their device are already freed with it.
    OB_Video_Close();
    OB_Gfx_DestroyTexture(texture);
    OB_Gfx_DestroyTexture(nullptr);
}

TEST_F(Drawing, LongStripsKeepEveryTriangleAndOverlongOnesAreRefused)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    // A band from x 100 to 500, rows 100 to 200, as a strip of four triangles.
    TQuadVertex band[6];
    for (int i = 0; i < 6; ++i)
        band[i] = TQuadVertex{100.0f + 80.0f * static_cast<float>(i / 2 * 2), (i % 2) == 0 ? 100.0f : 200.0f, 0,
                              0xFFFFFF00u, 0, 0};
    band[4].X = band[5].X = 500;
    device->SetTexture(0, nullptr);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 4, band), D3D_OK);
    for (int x = 110; x < 500; x += 40) {
        EXPECT_EQ(PixelAt(x, 120), 0xFFFF00u) << x;
        EXPECT_EQ(PixelAt(x, 180), 0xFFFF00u) << x;
    }

    std::vector<TQuadVertex> many(TGfxDevice::MaxStripPrimitives + 3, band[0]);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, TGfxDevice::MaxStripPrimitives + 1, many.data()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 1, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(12345, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShader(0x102), D3DERR_INVALIDCALL);
}

// Upright, untextured quads graded from top to bottom take a shortcut on the
// software renderer; it must give the pixels the triangles give, within one
// step per channel, wherever the quad lies and whatever the blending.
TEST_F(Drawing, AlignedQuadsMatchTheTrianglePath)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    SDL_Renderer* renderer = device->Renderer();
    struct TCase {
        float Left, Top, Right, Bottom;
        uint32_t TopColour, BottomColour;
        bool Blend;
    };
    const TCase cases[] = {
        {0, 0, 800, 300, 0x44000000u, 0xDD000000u, true},        // the console's background
        {13, 7, 50, 30, 0x80FF0000u, 0x2000FF80u, true},         // small, odd sizes
        {13, 30, 50, 7, 0x80FF0000u, 0x2000FF80u, true},         // upside down
        {-20, -50, 900, 100, 0xFF102030u, 0x10F0E0D0u, true},    // partly off the screen
        {10.6f, 20.4f, 200.9f, 120.5f, 0x00000000u, 0xFFFFFFFFu, true},   // between pixels
        {100, 100, 300, 400, 0x44FF8000u, 0xDD0080FFu, false},    // no blending: colours replace
        {100, 100, 300, 400, 0x80123456u, 0x80123456u, true},    // one colour
        {100, 100, 100, 400, 0xFFFFFFFFu, 0xFF000000u, true},    // no width: nothing
        {0, 0, 800, 300, 0x44000000u, 0xDD000000u, true},        // again, over another scene
    };
    uint32_t scene = 0xFF40A0E0u;
    for (const TCase& c : cases) {
        scene = scene * 2654435761u | 0xFF000000u;
        SCOPED_TRACE(testing::Message() << c.Left << "," << c.Top << " " << c.Right << "," << c.Bottom);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.Blend ? 1 : 0);
        TQuad quad;
        OB_Quad_Init(quad, 0);
        const float corners[4][2] = {{c.Left, c.Top}, {c.Right, c.Top}, {c.Left, c.Bottom}, {c.Right, c.Bottom}};
        for (int i = 0; i < 4; ++i) {
            quad.Vertices[i].X = corners[i][0];
            quad.Vertices[i].Y = corners[i][1];
            quad.Vertices[i].Diffuse = i < 2 ? c.TopColour : c.BottomColour;
        }

        OB_Video_Clear(scene);
        OB_Quad_Draw(quad, nullptr);
        std::vector<uint32_t> fast;
        ASSERT_TRUE(device->ReadPixels(0, 0, 800, 600, fast));

        OB_Video_Clear(scene);
        SDL_Vertex points[4];
        for (int i = 0; i < 4; ++i) {
            const TQuadVertex& v = quad.Vertices[i];
            ASSERT_TRUE(device->TransformToPixel(v.X, v.Y, 0, points[i].position.x, points[i].position.y));
            points[i].color = SDL_Color{static_cast<Uint8>(v.Diffuse >> 16), static_cast<Uint8>(v.Diffuse >> 8),
                                        static_cast<Uint8>(v.Diffuse), static_cast<Uint8>(v.Diffuse >> 24)};
            points[i].tex_coord = SDL_FPoint{0, 0};
        }
        const int indices[6] = {0, 1, 2, 1, 3, 2};
        ASSERT_EQ(SDL_RenderGeometry(renderer, nullptr, points, 4, indices, 6), 0);
        std::vector<uint32_t> reference;
        ASSERT_TRUE(device->ReadPixels(0, 0, 800, 600, reference));

        int worst = 0;
        size_t worstAt = 0;
        for (size_t i = 0; i < fast.size(); ++i)
            for (int shift = 0; shift < 24; shift += 8) {
                const int step = std::abs(static_cast<int>((fast[i] >> shift) & 0xFF) -
                                          static_cast<int>((reference[i] >> shift) & 0xFF));
                if (step > worst) {
                    worst = step;
                    worstAt = i;
                }
            }
        EXPECT_LE(worst, 1) << "at " << worstAt % 800 << "," << worstAt / 800 << ": " << std::hex << fast[worstAt]
                            << " against " << reference[worstAt];
    }
}

} // namespace
