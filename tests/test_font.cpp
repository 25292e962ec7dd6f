#include "kernel/OB_Kernel.h"
#include "kernel/OB_Messages.h"
#include "video/OB_Font.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"
#include "TestSupport.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t Black = 0xFF000000;

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

TFaceFile CourierUnreadable(const std::string& Face)
{
    return Face == "Courier" ? TFaceFile{"not-a-font.ttf", 0} : OB_Font_ResolveFace(Face);
}

// The bounding box of the pixels that differ from the cleared background.
struct TInk {
    int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;
    bool Any() const { return Right >= 0; }
};

class Font : public TTempDirTest {
protected:
    void SetUp() override
    {
        TTempDirTest::SetUp();
        OB_Kernel_Init();
        OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
        OB_Video_SetVirtualSize(800, 600, 0);
    }
    void TearDown() override
    {
        OB_Video_Close();
        OB_Kernel_Finalize();
        OB_Font_SetFaceResolver(nullptr);
        TTempDirTest::TearDown();
    }

    void Clear()
    {
        OB_Video_Clear(Black);
    }

    TInk Ink()
    {
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(OB_VideoInfo.Device->ReadPixels(0, 0, 640, 480, pixels));
        TInk ink;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                if (pixels[static_cast<size_t>(y * 640 + x)] == Black)
                    continue;
                ink.Left = std::min(ink.Left, x);
                ink.Right = std::max(ink.Right, x);
                ink.Top = std::min(ink.Top, y);
                ink.Bottom = std::max(ink.Bottom, y);
            }
        return ink;
    }

    TInk Drawn(const std::string& Text, int32_t X, int32_t Y, uint8_t FontIndex, TTextAlign Align)
    {
        Clear();
        OB_Font_DrawText(Text, X, Y, 0xFFFFFFFF, FontIndex, Align);
        return Ink();
    }
};

} // namespace

TEST(FontFaces, TheThreeFacesResolveAndCourierIsFixedPitch)
{
    OB_Font_HandleMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0, nullptr);
    for (uint8_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(OB_Font_Exists(i)) << int(i);
        EXPECT_FALSE(OB_Font_FamilyName(i).empty());
        // The height is the cell, ascent plus descent, not the em size.
        EXPECT_LE(OB_Font_CellHeight(i), 16);
        EXPECT_GE(OB_Font_CellHeight(i), 14);
    }
    EXPECT_EQ(OB_Font_TextWidth("iiii", 1), OB_Font_TextWidth("WWWW", 1));
    EXPECT_LT(OB_Font_TextWidth("iiii", 0), OB_Font_TextWidth("WWWW", 0));
    EXPECT_FALSE(OB_Font_Exists(3));
    EXPECT_EQ(OB_Font_TextWidth("abc", 3), 0);
}

TEST(FontFaces, AFaceThatCannotBeMadeIsAnnouncedOnceAndTheOthersExist)
{
    DummyTexts.clear();
    OB_AddListener(RecordDummyObjects, MSGGROUP_KERNEL, nullptr);
    // Before any device the lost and reset messages find no fonts.
    OB_Font_HandleMessage(MSG_VIDEODEVICELOST, nullptr, 0, nullptr);
    OB_Font_HandleMessage(MSG_VIDEODEVICERESET, nullptr, 0, nullptr);

    for (TFaceResolver resolver : {CourierMissing, CourierUnreadable}) {
        WriteWholeFile("not-a-font.ttf", "these bytes are no font");
        OB_Font_SetFaceResolver(resolver);
        DummyTexts.clear();
        OB_Font_HandleMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0, nullptr);
        ASSERT_EQ(DummyTexts.size(), 1u);
        EXPECT_EQ(DummyTexts[0], "Unable to create font \"Courier\"");
        EXPECT_TRUE(OB_Font_Exists(0));
        EXPECT_FALSE(OB_Font_Exists(1));
        EXPECT_TRUE(OB_Font_Exists(2));
    }

    // A later creation with every face available brings Courier back.
    OB_Font_SetFaceResolver(nullptr);
    DummyTexts.clear();
    OB_Font_HandleMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0, nullptr);
    EXPECT_TRUE(DummyTexts.empty());
    EXPECT_TRUE(OB_Font_Exists(1));
}

TEST(FontFaces, FormatCarriesTheAlignmentBits)
{
    EXPECT_EQ(OB_Font_Format(OB_Align(taLeft) | OB_Align(taTop)), 0x120u);
    EXPECT_EQ(OB_Font_Format(OB_Align(taRight)), 0x122u);
    EXPECT_EQ(OB_Font_Format(OB_Align(taCenter) | OB_Align(taVCenter)), 0x125u);
    EXPECT_EQ(OB_Font_Format(OB_Align(taBottom)), 0x128u);
}

TEST_F(Font, AlignmentPlacesTheTextAroundItsAnchor)
{
    const std::string text = "Watch = 123";
    const int32_t width = OB_Font_TextWidth(text, 0);
    ASSERT_GT(width, 40);

    const TInk left = Drawn(text, 300, 100, 0, OB_Align(taLeft) | OB_Align(taTop));
    ASSERT_TRUE(left.Any());
    EXPECT_GE(left.Left, 300);
    EXPECT_LE(left.Left, 302);
    EXPECT_GE(left.Top, 100);
    EXPECT_LT(left.Bottom, 100 + 16);

    const TInk right = Drawn(text, 300, 100, 0, OB_Align(taRight));
    ASSERT_TRUE(right.Any());
    EXPECT_LE(right.Right, 299);
    EXPECT_GE(right.Right, 297);
    EXPECT_EQ(right.Top, left.Top);

    const TInk centre = Drawn(text, 300, 100, 0, OB_Align(taCenter) | OB_Align(taVCenter));
    ASSERT_TRUE(centre.Any());
    EXPECT_NEAR((centre.Left + centre.Right) / 2.0, 300.0, 2.0);
    EXPECT_LT(centre.Top, 100);
    EXPECT_GT(centre.Bottom, 100);

    const TInk bottom = Drawn(text, 300, 100, 0, OB_Align(taBottom));
    ASSERT_TRUE(bottom.Any());
    EXPECT_LE(bottom.Bottom, 99);
    EXPECT_GE(bottom.Top, 100 - 16);

    // Text partly off the screen is drawn where it lies; wholly off, not at all.
    EXPECT_TRUE(Drawn(text, -width / 2, 10, 0, OB_Align(taLeft)).Any());
    EXPECT_FALSE(Drawn(text, 5, -40, 0, OB_Align(taLeft)).Any());
    EXPECT_FALSE(Drawn(text, 700, 10, 0, OB_Align(taLeft)).Any());
}

TEST_F(Font, GlyphsAreRasterisedOnceAndAgainOnlyAfterTheDeviceWasLost)
{
    ASSERT_TRUE(Drawn("first line", 10, 10, 0, OB_Align(taLeft)).Any());
    const int64_t afterFirst = OB_Font_GlyphsRendered();
    EXPECT_GT(afterFirst, 0);
    // Any text in a font that has its cache: no rasterising.
    ASSERT_TRUE(Drawn("An entirely different line! 0123456789", 10, 10, 0, OB_Align(taLeft)).Any());
    EXPECT_EQ(OB_Font_GlyphsRendered(), afterFirst);

    // Nor does another colour, which blends with its alpha: half-transparent
    // red over black is at most half red.
    Clear();
    OB_Font_DrawText("first line", 10, 10, 0x80FF0000, 0, OB_Align(taLeft));
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(OB_VideoInfo.Device->ReadPixels(0, 0, 640, 40, pixels));
    const uint32_t brightest = *std::max_element(pixels.begin(), pixels.end());
    EXPECT_NEAR(static_cast<int>((brightest >> 16) & 0xFF), 0x80, 2);
    EXPECT_EQ(brightest & 0xFFFF, 0u);
    EXPECT_EQ(OB_Font_GlyphsRendered(), afterFirst);

    // Lost: nothing is drawn; reset: the textures are made again on next
    // use, from glyphs kept in memory.
    OB_SendMessage(MSG_VIDEODEVICELOST, nullptr, 0);
    EXPECT_FALSE(Drawn("first line", 10, 10, 0, OB_Align(taLeft)).Any());
    OB_SendMessage(MSG_VIDEODEVICERESET, nullptr, 0);
    EXPECT_TRUE(Drawn("first line", 10, 10, 0, OB_Align(taLeft)).Any());
    EXPECT_EQ(OB_Font_GlyphsRendered(), afterFirst);

    // Re-opening the video system keeps the fonts usable.
    OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);
    EXPECT_TRUE(Drawn("after the mode change", 10, 10, 2, OB_Align(taLeft)).Any());
}

TEST_F(Font, AMissingFontOrAnEmptyTextDrawsNothing)
{
    OB_Font_SetFaceResolver(CourierMissing);
    OB_SendMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0);
    ASSERT_FALSE(OB_Font_Exists(1));
    EXPECT_FALSE(Drawn("no font", 10, 10, 1, OB_Align(taLeft)).Any());
    EXPECT_FALSE(Drawn("no font", 10, 10, 3, OB_Align(taLeft)).Any());
    EXPECT_FALSE(Drawn("no font", 10, 10, 255, OB_Align(taLeft)).Any());
    EXPECT_FALSE(Drawn("", 10, 10, 0, OB_Align(taLeft)).Any());
    // Bytes outside ASCII and control bytes neither crash nor break the line.
    EXPECT_TRUE(Drawn(std::string("\t\x01\xE9\xFF tail"), 10, 10, 0, OB_Align(taLeft)).Any());
}
