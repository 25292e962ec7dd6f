#include "TestSupport.h"
#include "orbel2/video/OB_Primitive.h"

#include <SDL.h>

using namespace orbel2;

namespace {

// The largest difference between two colours in any one channel.
int ChannelStep(uint32_t a, uint32_t b)
{
    int step = 0;
    for (int shift = 0; shift < 24; shift += 8)
        step = std::max(step, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return step;
}

}   // namespace

TEST(Quad, CornersTurnAboutThePivotAndColoursArePacked)
{
    TQuad quad;
    OB_Quad_Init(quad, 0.25f);
    // A quarter turn about the centre is clockwise on screen (y grows down).
    OB_Quad_SetCorners(quad, 100, 50, 40, 20, 3.14159265f / 2, 0.5f, 0.5f);
    const float corners[4][2] = {{110, 30}, {110, 70}, {90, 30}, {90, 70}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(quad.Vertices[i].X, corners[i][0], 1e-4f) << "vertex " << i;
        EXPECT_NEAR(quad.Vertices[i].Y, corners[i][1], 1e-4f) << "vertex " << i;
    }

    // Channels are clamped to 0..1 and truncated.
    OB_Quad_SetColorValue(quad, 2.0f, -1.0f, 0.5f, 1.5f);
    EXPECT_EQ(quad.Vertices[0].Diffuse, 0xFFFF007Fu);
}

namespace {

// A scene begun on a black 800 x 600 back buffer, one pixel per unit.
class Drawing : public THeadlessEngineTest {
protected:
    Drawing() : THeadlessEngineTest(800, 600) {}
    void SetUp() override
    {
        THeadlessEngineTest::SetUp();
        OB_Video_Clear(0xFF000000u);
        OB_Video_BeginScene();
    }
    void TearDown() override
    {
        OB_Video_EndScene();
        THeadlessEngineTest::TearDown();
    }
};

}   // namespace

TEST_F(Drawing, BlendingFollowsTheRenderState)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    // Half-transparent white over red: replaced with blending off, mixed on.
    DrawQuad(0xFFFF0000u, 0, 0, 800, 600);
    DrawQuad(0x80FFFFFFu, 0, 0, 100, 100);
    EXPECT_EQ(PixelAt(50, 50), 0xFFFFFFu);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawQuad(0x80FFFFFFu, 200, 0, 100, 100);
    EXPECT_LE(ChannelStep(PixelAt(250, 50), 0xFF8080u), 2);
}

TEST_F(Drawing, LineLandsOnItsPixelsInItsColour)
{
    // Virtual (0, 300) to (800, 300) is the middle row of the 800 x 600 screen.
    OB_Line_Draw(TVector2D{0, 300}, TVector2D{800, 300}, 0xFF00FF00u);
    EXPECT_EQ(PixelAt(400, 300), 0x00FF00u);
    EXPECT_EQ(PixelAt(400, 280), 0u);
}

// Upright, untextured quads graded from top to bottom take a shortcut on the
// software renderer; it must give the pixels the triangles give, wherever the
// quad lies. Rows get the colour the triangle fill interpolates, exactly. The
// blend is the renderer's own for black (the console's band: exact), while
// SDL's blitters round coloured blends their own ways (by CPU), one step off
// at most.
TEST_F(Drawing, AlignedQuadsMatchTheTrianglePath)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    struct TCase {
        float Left, Top, Right, Bottom;
        uint32_t TopColour, BottomColour;
        bool Blend;
        int MaxStep;
    };
    const TCase cases[] = {
        {0, 0, 800, 300, 0x44000000u, 0xDD000000u, true, 0},   // the console's background
        {13, 30, 50, 7, 0x80FF0000u, 0x2000FF80u, true, 1},   // small, odd, upside down
        {-20.4f, -50, 900.9f, 100.5f, 0x00102030u, 0xFFF0E0D0u, true, 1},   // off the screen, between pixels
        {100, 100, 300, 400, 0x44FF8000u, 0xDD0080FFu, false, 0},   // no blending: colours replace
        {-3.5f, 200.5f, 260.2f, 411, 0x10000000u, 0xF0000000u, true, 0},   // black, between pixels
        // One colour, no blending: filled in parts that suit SDL's fill.
        {2.5f, 10, 455.3f, 60, 0xFF20A040u, 0xFF20A040u, false, 0},
        {13, 100, 25, 300, 0xFF8040C0u, 0xFF8040C0u, false, 0},
        {-7, 500, 803, 590, 0xFF123456u, 0xFF123456u, false, 0},
    };
    uint32_t scene = 0xFF40A0E0u;
    for (const TCase& c : cases) {
        scene = scene * 2654435761u | 0xFF000000u;
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.Blend ? 1 : 0);
        TQuad quad;
        OB_Quad_Init(quad, 0);
        SDL_Vertex points[4];
        for (int i = 0; i < 4; ++i) {
            TQuadVertex& v = quad.Vertices[i];
            v.X = i % 2 ? c.Right : c.Left;
            v.Y = i < 2 ? c.Top : c.Bottom;
            v.Diffuse = i < 2 ? c.TopColour : c.BottomColour;
            ASSERT_TRUE(device->TransformToPixel(v.X, v.Y, 0, points[i].position.x, points[i].position.y));
            points[i].color =
                SDL_Color{Uint8(v.Diffuse >> 16), Uint8(v.Diffuse >> 8), Uint8(v.Diffuse), Uint8(v.Diffuse >> 24)};
            points[i].tex_coord = SDL_FPoint{0, 0};
        }
        OB_Video_Clear(scene);
        OB_Quad_Draw(quad, nullptr);
        const std::vector<uint32_t> fast = ReadScreen();
        OB_Video_Clear(scene);
        const int indices[6] = {0, 1, 2, 1, 3, 2};
        ASSERT_EQ(SDL_RenderGeometry(device->Renderer(), nullptr, points, 4, indices, 6), 0);
        const std::vector<uint32_t> reference = ReadScreen();

        for (size_t i = 0; i < fast.size(); ++i)
            ASSERT_LE(ChannelStep(fast[i], reference[i]), c.MaxStep)
                << "quad at " << c.Left << "," << c.Top << ", pixel " << i;
    }
}
