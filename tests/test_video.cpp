#include "console/OB_Logfile.h"
#include "kernel/OB_Messages.h"
#include "video/Dx8gfx.h"
#include "video/OB_Primitive.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"
#include "video/platform/OB_KeyMap.h"
#include "TestSupport.h"

#include <SDL.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int32_t> Received;

void RecordMessage(int32_t Msg, void*, int32_t, void*)
{
    Received.push_back(Msg);
}

class Video : public TTempDirTest {
protected:
    void SetUp() override
    {
        TTempDirTest::SetUp();
        LogInit();
        OB_AddListener(RecordMessage, MSGGROUP_KERNEL, nullptr);
        Received.clear();
    }
    void TearDown() override
    {
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

    // Red quad over virtual (100, 100)-(200, 150) on black.
    static void DrawTestQuad()
    {
        TQuad quad;
        OB_Quad_Init(quad, 0);
        OB_Quad_SetColor(quad, 0xFFFF0000u);
        OB_Quad_SetCorners(quad, 100, 100, 100, 50, 0, 0, 0);
        OB_Video_Clear(0xFF000000u);
        OB_Video_BeginScene();
        OB_Quad_Draw(quad, nullptr);
        OB_Video_EndScene();
    }

    static std::string Log() { return ReadWholeFile("orbel2.log"); }
};

TEST_F(Video, OpeningAnnouncesTheDeviceAndReopeningResetsIt)
{
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSG_VIDEODEVICELOST, MSG_VIDEODEVICEINITIALIZED, MSG_VIDEODEVICERESET}));
    EXPECT_NE(Log().find("(Re)Opening video device: 640x480x32\r\n"), std::string::npos);
    ASSERT_NE(OB_VideoInfo.Device, nullptr);
    EXPECT_NE(OB_VideoInfo.Window, nullptr);
    EXPECT_NE(OB_VideoInfo.BackBuffer, nullptr);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 640u);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Height, 480u);
    EXPECT_TRUE(OB_VideoInfo.Opened);
    EXPECT_FALSE(OB_VideoInfo.FullScreen);
    EXPECT_TRUE(OB_Video_HasFocus());   // the dummy driver has no keyboard focus at all

    TGfxDevice* first = OB_VideoInfo.Device;
    SDL_Window* window = OB_VideoInfo.Window;
    Received.clear();
    OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSG_VIDEODEVICELOST, MSG_VIDEODEVICERESET}));
    EXPECT_EQ(OB_VideoInfo.Device, first);   // reset, not created anew
    EXPECT_EQ(OB_VideoInfo.Window, window);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 800u);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Height, 600u);

    // Full screen takes the display's mode under the dummy driver; whatever
    // it gives, the record holds the renderer's real size.
    OB_Video_Open(nullptr, 800, 600, 32, true, true, 0);
    EXPECT_TRUE(OB_VideoInfo.FullScreen);
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(OB_VideoInfo.Device->Renderer(), &w, &h);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, static_cast<uint32_t>(w));
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Height, static_cast<uint32_t>(h));

    OB_Video_Close();
    OB_Video_Close();
    EXPECT_EQ(OB_VideoInfo.Device, nullptr);
    EXPECT_EQ(GetD3D8Device(), nullptr);

    // After a close the next open creates a new device and window; the
    // creation was announced once already.
    Received.clear();
    OB_Video_Open(nullptr, 640, 480, 32, false, false, 0);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSG_VIDEODEVICELOST, MSG_VIDEODEVICERESET}));
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 640u);
    EXPECT_NE(OB_VideoInfo.Device, nullptr);
}

TEST_F(Video, RefusedModesLeaveThePreviousModeDrawing)
{
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    OB_Video_SetVirtualSize(800, 600, 0);

    struct TBadMode {
        int32_t Width, Height, Bits;
        bool FullScreen;
    };
    const TBadMode bad[] = {{0, 0, 32, false}, {-5, 10, 32, false}, {100000, 100000, 32, false},
                            {800, 600, 8, true}};
    for (const TBadMode& mode : bad) {
        Received.clear();
        try {
            OB_Video_Open(nullptr, mode.Width, mode.Height, mode.Bits, mode.FullScreen, true, 0);
            ADD_FAILURE() << "opened " << mode.Width << "x" << mode.Height << "x" << mode.Bits;
        } catch (const OB_EVideoError& error) {
            EXPECT_STREQ(error.what(), "OB_Video_Open: Error creating device parameters");
        }
        EXPECT_EQ(Received, (std::vector<int32_t>{MSG_VIDEODEVICELOST}));
        EXPECT_EQ(OB_VideoInfo.BackBuffer, nullptr);
    }
    EXPECT_NE(Log().find("(Re)Opening video device: -5x10x32\r\n"), std::string::npos);
    EXPECT_NE(Log().find("Error opening video device: Error creating device parameters\r\n"), std::string::npos);

    const std::string lost = "DXError: The device is lost and cannot be restored at the current time, so rendering "
                             "is not possible.";
    OB_Gfx_InjectFault(TGfxFaultPoint::Reset, D3DERR_DEVICELOST);
    try {
        OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);
        ADD_FAILURE() << "a failing reset was reported as success";
    } catch (const OB_EVideoError& error) {
        EXPECT_EQ(error.what(), "OB_Video_Open: " + lost);
    }
    EXPECT_NE(Log().find("Error opening video device: " + lost + "\r\n"), std::string::npos);

    // The old mode still draws where it drew before.
    ASSERT_NE(OB_VideoInfo.Device, nullptr);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 640u);
    DrawTestQuad();
    EXPECT_EQ(PixelAt(120, 100), 0xFF0000u);
    EXPECT_EQ(PixelAt(10, 10), 0u);
}

TEST_F(Video, FailedFirstCreateSendsNoResetAndTheNextOpenCreates)
{
    OB_Gfx_InjectFault(TGfxFaultPoint::Create, D3DERR_NOTAVAILABLE);
    EXPECT_THROW(OB_Video_Open(nullptr, 640, 480, 32, false, true, 0), OB_EVideoError);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSG_VIDEODEVICELOST}));
    EXPECT_EQ(OB_VideoInfo.Device, nullptr);
    EXPECT_NE(Log().find("Error opening video device: DXError: This device does not support the queried technique."),
              std::string::npos);

    Received.clear();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSG_VIDEODEVICELOST, MSG_VIDEODEVICEINITIALIZED, MSG_VIDEODEVICERESET}));
}

TEST_F(Video, CameraFillsTheBackBufferWithTheVirtualSpace)
{
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    OB_Video_SetVirtualSize(800, 600, 0);
    EXPECT_FLOAT_EQ(OB_VideoInfo.Aspect, 800.0f / 600.0f);

    // Virtual (100, 100)-(200, 150) is pixels (80, 80)-(160, 120) at 640x480.
    DrawTestQuad();
    EXPECT_EQ(PixelAt(81, 81), 0xFF0000u);
    EXPECT_EQ(PixelAt(158, 118), 0xFF0000u);
    EXPECT_EQ(PixelAt(78, 100), 0u);
    EXPECT_EQ(PixelAt(162, 100), 0u);
    EXPECT_EQ(PixelAt(120, 78), 0u);
    EXPECT_EQ(PixelAt(120, 122), 0u);

    // The same virtual space over 800x600 pixels: one pixel per unit.
    OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);
    DrawTestQuad();
    EXPECT_EQ(PixelAt(101, 101), 0xFF0000u);
    EXPECT_EQ(PixelAt(198, 148), 0xFF0000u);
    EXPECT_EQ(PixelAt(98, 120), 0u);
    EXPECT_EQ(PixelAt(150, 152), 0u);

    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    OB_Video_SetView(1, 1, 0);
    EXPECT_EQ(OB_Video_ToPixelX(0.95f), 608);
    EXPECT_EQ(OB_Video_ToPixelY(0.05f), 24);
    EXPECT_EQ(OB_Video_ToPixelX(0.5f), 320);
    OB_Video_SetView(0, 0, 0);
    EXPECT_EQ(OB_Video_ToPixelX(800), 640);
    EXPECT_EQ(OB_Video_ToPixelY(300), 240);
    // Halves go to the even neighbour: 640 * 1 / 1280 = 0.5 -> 0, 1.5 -> 2.
    OB_Video_SetView(1280, 600, 0);
    EXPECT_EQ(OB_Video_ToPixelX(1), 0);
    EXPECT_EQ(OB_Video_ToPixelX(3), 2);
    OB_Video_SetView(0, 0, 0);
    DrawTestQuad();
    EXPECT_EQ(PixelAt(81, 81), 0xFF0000u);
}

TEST_F(Video, ZeroVirtualSizeDrawsNothingAndConvertsToZero)
{
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);   // no virtual size yet
    EXPECT_EQ(OB_Video_ToPixelX(10), 0);
    EXPECT_EQ(OB_Video_ToPixelY(10), 0);
    DrawTestQuad();   // must neither crash nor draw in NaN coordinates
    OB_Video_Present(false);
    OB_Video_SetVirtualSize(0, 0, 0);
    EXPECT_EQ(OB_Video_ToPixelX(1), 0);
}

TEST_F(Video, FailedPresentIsAnnouncedAndTheTimerRunsOnlyWhenAsked)
{
    TFakePlatformScope fake;
    fake.Platform.Frequency = 1000;
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    Received.clear();

    fake.Platform.Counter = 250;
    OB_Video_Present(false);
    EXPECT_TRUE(Received.empty());
    EXPECT_EQ(OB_VideoInfo.FrameTime, 0.0);

    OB_Gfx_InjectFault(TGfxFaultPoint::Present, D3DERR_DEVICELOST);
    OB_Video_Present(false);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSGID_FATALERROR}));
    EXPECT_EQ(OB_VideoInfo.FrameTime, 0.0);

    Received.clear();
    OB_Gfx_InjectFault(TGfxFaultPoint::Present, D3DERR_DEVICELOST);
    OB_Video_Present(true);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSGID_FATALERROR}));
    EXPECT_GT(OB_VideoInfo.FrameTime, 0.0);

    // With no device nothing can be shown: that is a failure too.
    OB_Video_Close();
    Received.clear();
    OB_Video_Present(false);
    EXPECT_EQ(Received, (std::vector<int32_t>{MSGID_FATALERROR}));
}

TEST_F(Video, InfoLinesAreAlwaysEight)
{
    std::vector<std::string> lines{"kept"};
    OB_Video_GetInfoLines(lines);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "kept");

    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    lines.clear();
    OB_Video_GetInfoLines(lines);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "------------- Video System Info :");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3].rfind("Driver Name: ", 0), 0u);
    EXPECT_EQ(lines[4], "Driver     : dummy");
    SDL_version v;
    SDL_GetVersion(&v);
    EXPECT_EQ(lines[5], "Version    : " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                            std::to_string(v.patch) + ".0");
    EXPECT_EQ(lines[6], "VendorID   : 0");
    EXPECT_EQ(lines[7], "DeviceID   : 0");
}

TEST_F(Video, MessagesCarryVirtualKeysOneCharacterPerAsciiByteAndCloseQuits)
{
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    TMsg msg;
    bool quit = true;
    while (OB_Video_PumpMessage(msg, quit)) {
    }
    EXPECT_FALSE(quit);

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_a;
    SDL_PushEvent(&key);
    key.key.keysym.sym = SDLK_HOME;
    key.key.repeat = 1;   // holding a key repeats it
    SDL_PushEvent(&key);
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::strcpy(text.text.text, "h\xC3\xA9!");   // 'h', e acute, '!'
    SDL_PushEvent(&text);
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(OB_VideoInfo.Window);
    SDL_PushEvent(&close);
    SDL_Event sdlQuit{};
    sdlQuit.type = SDL_QUIT;   // SDL follows the last window's close with this
    SDL_PushEvent(&sdlQuit);

    std::vector<std::pair<uint32_t, uint32_t>> got;
    bool quitSeen = false;
    while (OB_Video_PumpMessage(msg, quit)) {
        got.emplace_back(msg.message, msg.wParam);
        EXPECT_EQ(quit, msg.message == WM_QUIT);
        quitSeen = quitSeen || quit;
    }
    EXPECT_TRUE(quitSeen);
    const std::vector<std::pair<uint32_t, uint32_t>> expected{
        {WM_KEYDOWN, 'A'}, {WM_KEYDOWN, VK_HOME}, {WM_CHAR, 'h'}, {WM_CHAR, '!'}, {WM_DESTROY, 0}, {WM_QUIT, 0}};
    EXPECT_EQ(got, expected);
}

TEST(VideoErrors, ResultCodesHaveTheirTexts)
{
    EXPECT_EQ(D3DErrorString(D3D_OK), "No error occurred.");
    EXPECT_EQ(D3DErrorString(E_INVALIDARG), "An invalid parameter was passed to the returning function");
    EXPECT_EQ(D3DErrorString(D3DERR_TOOMANYOPERATIONS),
              "The application is requesting more texture-filtering operations than the device");
    EXPECT_EQ(D3DErrorString(D3DERR_INVALIDCALL),
              "The method call is invalid. For example, a method's parameter may have an invalid value.");
    EXPECT_EQ(D3DErrorString(MakeResult(0x88760820)), "Unknown Error");
    EXPECT_EQ(ED3D8Error::CreateHR(D3DERR_DEVICENOTRESET).Message, "DXError: The device cannot be reset.");
    EXPECT_EQ(ED3D8Error::CreateHR(12345).Message, "DXError: Unknown Error");
    EXPECT_EQ(GetD3D8Device(), nullptr);   // asking for the device creates nothing
    EXPECT_EQ(FindD3D8(), nullptr);
}

} // namespace
