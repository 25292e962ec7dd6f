#include "TestSupport.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/video/OB_Font.h"

using namespace orbel2;

namespace {

std::vector<std::string> DummyTexts;

void RecordDummyObjects(int32_t Msg, void* Param, int32_t, void*)
{
    if (Msg == MSG_DUMMYOBJECT)
        DummyTexts.push_back(*static_cast<const std::string*>(Param));
}

TFaceFile CourierMissing(const std::string& Face)
{
    return Face == "Courier" ? TFaceFile{} : OB_Font_ResolveFace(Face);
}

class Font : public THeadlessEngineTest {
protected:
    void TearDown() override
    {
        THeadlessEngineTest::TearDown();
        OB_Font_SetFaceResolver(nullptr);
    }

    // Whether text drawn alone on black leaves ink.
    bool Inks(const std::string& Text, int32_t X, uint8_t FontIndex = 0)
    {
        OB_Video_Clear(0xFF000000);
        OB_Font_DrawText(Text, X, 10, 0xFFFFFFFF, FontIndex, OB_Align(taLeft));
        return std::ranges::any_of(ReadScreen(), [](uint32_t p) { return p != 0; });
    }
};

}   // namespace

class FontFaces : public TTempDirTest {};

TEST_F(FontFaces, ResolveAndOneThatCannotBeMadeIsAnnouncedOnce)
{
    OB_AddListener(RecordDummyObjects, MSGGROUP_KERNEL, nullptr);
    OB_Font_HandleMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0, nullptr);
    EXPECT_TRUE(OB_Font_Exists(0) && OB_Font_Exists(1) && OB_Font_Exists(2) && !OB_Font_Exists(3));

    OB_Font_SetFaceResolver(CourierMissing);
    OB_Font_HandleMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0, nullptr);
    EXPECT_EQ(DummyTexts, std::vector<std::string>{"Unable to create font \"Courier\""});
    EXPECT_TRUE(OB_Font_Exists(0) && !OB_Font_Exists(1) && OB_Font_Exists(2));
    OB_Font_SetFaceResolver(nullptr);
}

TEST_F(Font, NothingIsDrawnForAMissingFontAnEmptyTextOrTextWhollyOffScreen)
{
    OB_Font_SetFaceResolver(CourierMissing);
    OB_SendMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0);
    for (uint8_t index : {1, 3, 255})
        EXPECT_FALSE(Inks("no font", 10, index)) << int(index);
    EXPECT_FALSE(Inks("", 10));
    // Text partly off the screen is drawn where it lies; wholly off, not at all.
    EXPECT_TRUE(Inks("partly off", -30));
    EXPECT_FALSE(Inks("wholly off", 700));
    // Anchors at the ends of 32 bits, whichever way the text is aligned.
    for (const int32_t far : {INT32_MIN, INT32_MAX}) {
        OB_Video_Clear(0xFF000000);
        for (const TTextAlignFlag flag : {taLeft, taRight, taCenter, taTop, taBottom, taVCenter}) {
            OB_Font_DrawText("far off", far, 10, 0xFFFFFFFF, 0, OB_Align(flag));
            OB_Font_DrawText("far off", 10, far, 0xFFFFFFFF, 0, OB_Align(flag));
        }
        EXPECT_TRUE(std::ranges::all_of(ReadScreen(), [](uint32_t p) { return p == 0; })) << far;
    }
}

// A size whose sheet of glyphs would take gigabytes, or whose negation
// does not fit, makes no font.
TEST_F(Font, SizesBeyondTheLargestCellAreRefused)
{
    TFontPtr font;
    for (const int32_t height : {INT32_MIN, INT32_MAX, 257, -257}) {
        EXPECT_LT(OB_Font_Create(height, 0, 0, false, 0, 0, 0, 0, "Arial", font), 0) << height;
        EXPECT_EQ(font, nullptr) << height;
    }
    for (const int32_t height : {256, -256, 16}) {
        EXPECT_EQ(OB_Font_Create(height, 0, 0, false, 0, 0, 0, 0, "Arial", font), 0) << height;
        EXPECT_NE(font, nullptr) << height;
    }
}

TEST_F(Font, TextOverABandInMemoryLooksAsTheRendererWouldDrawIt)
{
    // A scene, a graded translucent band over it as the console draws one,
    // then text in two colours over the band.
    auto drawFrame = [&](bool flushBandFirst) {
        TGfxDevice& device = *OB_VideoInfo.Device;
        OB_Video_Clear(0xFF000000);
        device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        OB_Video_SetView(1, 1, 1);
        DrawQuad(0xFF3080C0, 0.1f, 0.1f, 0.5f, 0.3f);
        TQuad quad;
        OB_Quad_Init(quad, 0);
        OB_Quad_SetColor(quad, 0x44000000);
        quad.Vertices[2].Diffuse = quad.Vertices[3].Diffuse = 0xDD000000;
        OB_Quad_SetCorners(quad, 0, 0, 1, 0.5f, 0, 0, 0);
        OB_Quad_Draw(quad, nullptr);
        if (flushBandFirst)
            device.FlushPending();
        OB_Font_DrawText("Orbel2 gjpqy {[|]} 0123456789 @#%&", 5, 60, 0xFFDDDDDD, 0,
                         OB_Align(taLeft) | OB_Align(taTop));
        OB_Font_DrawText("translucent watch = 42", 608, 100, 0x80AFAFFF, 1, OB_Align(taRight));
        OB_Video_SetView(0, 0, 0);
        std::vector<uint32_t> pixels = ReadScreen();
        pixels.resize(640 * 240);   // the band's half
        return pixels;
    };
    const std::vector<uint32_t> inMemory = drawFrame(false);
    const std::vector<uint32_t> byRenderer = drawFrame(true);
    EXPECT_EQ(std::mismatch(inMemory.begin(), inMemory.end(), byRenderer.begin()).first - inMemory.begin(), 640 * 240)
        << "the first difference";
    // The text did land: the band alone has no light pixels there.
    EXPECT_TRUE(std::any_of(inMemory.begin() + 60 * 640, inMemory.begin() + 76 * 640,
                            [](uint32_t p) { return (p & 0xFF) > 0x80; }));
}
