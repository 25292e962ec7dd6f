#include "kernel/OB_Messages.h"
#include "video/Dx8gfx.h"
#include "video/platform/OB_KeyMap.h"
#include "TestSupport.h"

#include <SDL.h>

#include <cstring>

namespace {

using Ids = std::vector<int32_t>;
Ids Received;

void RecordMessage(int32_t Msg, void*, int32_t, void*) { Received.push_back(Msg); }

// The engine started with no device yet; every kernel message is recorded.
class Video : public THeadlessEngineTest {
protected:
    Video() : THeadlessEngineTest(0, 0) {}
    void SetUp() override
    {
        THeadlessEngineTest::SetUp();
        OB_AddListener(RecordMessage, MSGGROUP_KERNEL, nullptr);
        Received.clear();
    }
    void Open(int width, int height)
    {
        Received.clear();
        OB_Video_Open(nullptr, width, height, 32, false, true, 0);
    }
    static bool Logged(const std::string& line) { return ReadWholeFile("orbel2.log").find(line) != std::string::npos; }

    // Red quad over virtual (100, 100)-(200, 150) on black.
    static void DrawTestQuad()
    {
        OB_Video_Clear(0xFF000000u);
        OB_Video_BeginScene();
        DrawQuad(0xFFFF0000u, 100, 100, 100, 50);
        OB_Video_EndScene();
    }
};

constexpr int32_t Lost = MSG_VIDEODEVICELOST, Created = MSG_VIDEODEVICEINITIALIZED, Reset = MSG_VIDEODEVICERESET;

} // namespace

TEST_F(Video, FirstOpenCreatesLaterOpensResetAndAFailedCreateSendsNoReset)
{
    OB_Gfx_InjectFault(TGfxFaultPoint::Create, D3DERR_NOTAVAILABLE);
    EXPECT_THROW(Open(640, 480), OB_EVideoError);
    EXPECT_EQ(Received, Ids{Lost});
    EXPECT_EQ(OB_VideoInfo.Device, nullptr);
    EXPECT_TRUE(Logged("Error opening video device: DXError: This device does not support the queried technique."));

    Open(640, 480);
    EXPECT_EQ(Received, (Ids{Lost, Created, Reset}));
    EXPECT_TRUE(Logged("(Re)Opening video device: 640x480x32\r\n"));
    TGfxDevice* first = OB_VideoInfo.Device;
    Open(800, 600);
    EXPECT_EQ(Received, (Ids{Lost, Reset}));
    EXPECT_EQ(OB_VideoInfo.Device, first);   // reset, not created anew
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 800u);

    // After a close the creation was announced once already.
    OB_Video_Close();
    OB_Video_Close();
    Open(640, 480);
    EXPECT_EQ(Received, (Ids{Lost, Reset}));
}

TEST_F(Video, RefusedModesLeaveThePreviousModeDrawing)
{
    Open(640, 480);
    OB_Video_SetVirtualSize(800, 600, 0);
    const int32_t bad[][3] = {{-5, 10, 32}, {100000, 100000, 32}, {800, 600, 8}};
    for (const auto& mode : bad) {
        Received.clear();
        EXPECT_EQ(ErrorText<OB_EVideoError>(
                      [&] { OB_Video_Open(nullptr, mode[0], mode[1], mode[2], mode[2] == 8, true, 0); }),
                  "OB_Video_Open: Error creating device parameters");
        EXPECT_EQ(Received, Ids{Lost});
        EXPECT_EQ(OB_VideoInfo.BackBuffer, nullptr);
    }
    EXPECT_TRUE(Logged("(Re)Opening video device: -5x10x32\r\n"));
    EXPECT_TRUE(Logged("Error opening video device: Error creating device parameters\r\n"));

    DrawTestQuad();
    EXPECT_EQ(PixelAt(120, 100), 0xFF0000u);
    EXPECT_EQ(PixelAt(10, 10), 0u);
}

TEST_F(Video, CameraFillsTheBackBufferWithTheVirtualSpace)
{
    OB_Video_SetVirtualSize(800, 600, 0);

    // Virtual (100, 100)-(200, 150) is pixels (80, 80)-(160, 120) at 640x480,
    // the same pixels as units at 800x600.
    for (const int scale : {4, 5}) {
        Open(160 * scale, 120 * scale);
        DrawTestQuad();
        const int left = 20 * scale, right = 40 * scale, top = 20 * scale, bottom = 30 * scale;
        EXPECT_EQ(PixelAt(left + 1, top + 1), 0xFF0000u) << scale;
        EXPECT_EQ(PixelAt(right - 2, bottom - 2), 0xFF0000u) << scale;
        EXPECT_EQ(PixelAt(left - 2, top + 5), 0u) << scale;
        EXPECT_EQ(PixelAt(left + 5, bottom + 2), 0u) << scale;
    }

    Open(640, 480);
    OB_Video_SetView(1, 1, 0);
    EXPECT_EQ(OB_Video_ToPixelX(0.95f), 608);
    EXPECT_EQ(OB_Video_ToPixelY(0.05f), 24);
    // Halves go to the even neighbour: 640 * 1 / 1280 = 0.5 -> 0, 1.5 -> 2.
    OB_Video_SetView(1280, 600, 0);
    EXPECT_EQ(OB_Video_ToPixelX(1), 0);
    EXPECT_EQ(OB_Video_ToPixelX(3), 2);
}

TEST_F(Video, FailedPresentIsAnnouncedAndTheTimerRunsOnlyWhenAsked)
{
    Open(640, 480);
    for (bool updateTimer : {false, true}) {
        Received.clear();
        OB_VideoInfo.FrameTime = -1;
        OB_Gfx_InjectFault(TGfxFaultPoint::Present, D3DERR_DEVICELOST);
        OB_Video_Present(updateTimer);
        EXPECT_EQ(Received, Ids{MSGID_FATALERROR});
        EXPECT_EQ(OB_VideoInfo.FrameTime != -1, updateTimer);
    }
}

TEST_F(Video, MessagesCarryVirtualKeysOneCharacterPerAsciiByteAndCloseQuits)
{
    Open(640, 480);
    TMsg msg;
    bool quit = true;
    while (OB_Video_PumpMessage(msg, quit)) {
    }
    EXPECT_FALSE(quit);

    SDL_Event events[5] = {};
    events[0].key = {SDL_KEYDOWN, 0, 0, 0, 0, 0, 0, {SDL_SCANCODE_A, SDLK_a, 0, 0}};
    events[1].key = {SDL_KEYDOWN, 0, 0, 0, 1, 0, 0, {SDL_SCANCODE_HOME, SDLK_HOME, 0, 0}};   // held: repeated
    events[2].type = SDL_TEXTINPUT;
    std::strcpy(events[2].text.text, "h\xC3\xA9!");   // 'h', e acute, '!'
    events[3].window = {SDL_WINDOWEVENT, 0, SDL_GetWindowID(OB_VideoInfo.Window), SDL_WINDOWEVENT_CLOSE, 0, 0, 0, 0, 0};
    events[4].type = SDL_QUIT;   // SDL follows the last window's close with this
    for (SDL_Event& event : events)
        SDL_PushEvent(&event);

    std::vector<std::pair<uint32_t, uint32_t>> got;
    while (OB_Video_PumpMessage(msg, quit)) {
        got.emplace_back(msg.message, msg.wParam);
        EXPECT_EQ(quit, msg.message == WM_QUIT);
    }
    const std::vector<std::pair<uint32_t, uint32_t>> expected{
        {WM_KEYDOWN, 'A'}, {WM_KEYDOWN, VK_HOME}, {WM_CHAR, 'h'}, {WM_CHAR, '!'}, {WM_DESTROY, 0}, {WM_QUIT, 0}};
    EXPECT_EQ(got, expected);
}
