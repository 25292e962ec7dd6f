#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/video/Dx8gfx.h"
#include "orbel2/video/OB_Font.h"
#include "orbel2/video/platform/OB_GfxWindow.h"

#include <SDL.h>

#include <array>
#include <cmath>
#include <cstring>
#include <sstream>

using namespace orbel2;

namespace {

using Ids = std::vector<int32_t>;
Ids Received;

void RecordMessage(int32_t Msg, void*, int32_t, void*)
{
    Received.push_back(Msg);
}

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
    // The texts of the log's last lines, time stamps taken off.
    static std::vector<std::string> LastLogged(size_t count)
    {
        std::vector<std::string> texts;
        std::istringstream log(ReadWholeFile("orbel2.log"));
        for (std::string line; std::getline(log, line);)
            texts.push_back(line.substr(line.find("] ") + 2, line.size() - line.find("] ") - 3));
        return std::vector<std::string>(texts.end() - static_cast<std::ptrdiff_t>(std::min(count, texts.size())),
                                        texts.end());
    }

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

}   // namespace

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

// Everything that drew before a refused mode change draws after it: quads,
// and the text of the fonts that the loss of the device would let go.
TEST_F(Video, RefusedModesLeaveThePreviousModeDrawing)
{
    Open(640, 480);
    OB_Video_SetVirtualSize(800, 600, 0);
    const auto drawsEverything = [] {
        DrawTestQuad();
        OB_Video_BeginScene();
        OB_Font_DrawText("Refused", 300, 300, 0xFFFFFFFFu, 0, OB_Align(taLeft) | OB_Align(taTop));
        OB_Video_EndScene();
        const std::vector<uint32_t> pixels = ReadScreen();
        const bool text = std::any_of(pixels.begin() + 300 * 640, pixels.begin() + 316 * 640,
                                      [](uint32_t pixel) { return pixel == 0xFFFFFFu; });
        return text && PixelAt(120, 100) == 0xFF0000u && PixelAt(10, 10) == 0u;
    };
    ASSERT_TRUE(drawsEverything());

    // Sizes and depths no device can have are refused before the device is
    // let go of: nothing is announced lost.
    // Nor can it have a back buffer of more than 256 MiB.
    const int32_t bad[][3] = {{0, 0, 32},           {-5, 10, 32},         {100000, 100000, 32}, {800, 600, 8},
                              {16384, 16384, 32},   {16384, 4097, 32},    {8193, 8192, 32},     {16384, 16384, 16}};
    for (const auto& mode : bad) {
        Received.clear();
        EXPECT_EQ(ErrorText<OB_EVideoError>(
                      [&] { OB_Video_Open(nullptr, mode[0], mode[1], mode[2], mode[2] == 8, true, 0); }),
                  "OB_Video_Open: Error creating device parameters");
        EXPECT_EQ(Received, Ids{});
        EXPECT_TRUE(drawsEverything()) << mode[0];
    }
    EXPECT_TRUE(Logged("(Re)Opening video device: -5x10x32\r\n"));
    EXPECT_TRUE(Logged("Error opening video device: Error creating device parameters\r\n"));

    // A reset that fails after the loss was announced, with the old mode
    // given back: the reset is announced after the error.
    Received.clear();
    OB_Gfx_InjectFault(TGfxFaultPoint::Reset, D3DERR_DEVICELOST);
    EXPECT_THROW(Open(800, 600), OB_EVideoError);
    EXPECT_EQ(Received, (Ids{Lost, Reset}));
    EXPECT_EQ(
        LastLogged(4),
        (std::vector<std::string>{"(Re)Opening video device: 800x600x32", "Kernel message: MSG_VIDEODEVICELOST",
                                  "Error opening video device: DXError: The device is lost and cannot be restored at "
                                  "the current time, so rendering is not possible.",
                                  "Kernel message: MSG_VIDEODEVICERESET"}));
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 640u);
    EXPECT_TRUE(drawsEverything());

    // A device that cannot even have its old mode back is gone: no reset.
    Received.clear();
    OB_Gfx_InjectFault(TGfxFaultPoint::Reset, D3DERR_DEVICELOST, 2);
    EXPECT_THROW(Open(800, 600), OB_EVideoError);
    EXPECT_EQ(Received, Ids{Lost});
    EXPECT_EQ(OB_VideoInfo.BackBuffer, nullptr);
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
    const std::vector<std::pair<uint32_t, uint32_t>> expected{{WM_KEYDOWN, 'A'}, {WM_KEYDOWN, VK_HOME}, {WM_CHAR, 'h'},
                                                              {WM_CHAR, '!'},    {WM_DESTROY, 0},       {WM_QUIT, 0}};
    EXPECT_EQ(got, expected);
}

// A view with no extent has no camera: nothing drawn in virtual space shows,
// where neutral transforms would draw in clip space.
TEST_F(Video, ViewsWithoutExtentDrawNothing)
{
    Open(640, 480);
    const float sizes[][2] = {{0, 0}, {-800, 600}, {800, 0}, {INFINITY, 600}, {NAN, NAN}};
    for (const auto& size : sizes) {
        OB_Video_SetVirtualSize(size[0], size[1], 0);
        OB_Video_Clear(0xFF000000u);
        OB_Video_BeginScene();
        DrawQuad(0xFFFF0000u, 0, 0, 800, 600);
        DrawQuad(0xFFFF0000u, -1, -1, 1, 1);
        OB_Line_Draw(TVector2D{-1, 0}, TVector2D{1, 0}, 0xFFFFFFFFu);
        OB_Video_EndScene();
        const std::vector<uint32_t> pixels = ReadScreen();
        EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint32_t pixel) { return pixel == 0; })) << size[0];
    }
}

// Full screen is a desktop-sized window showing the back buffer asked for;
// the engine keeps seeing that back buffer, and the display's mode stays.
TEST_F(Video, FullScreenKeepsTheBackBufferAskedForAndTheDisplaysMode)
{
    SDL_DisplayMode desktop{};
    Open(640, 480);
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    OB_Video_SetVirtualSize(800, 600, 0);
    OB_Video_Open(nullptr, 800, 600, 32, true, true, 0);
    EXPECT_TRUE(OB_VideoInfo.FullScreen);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width * 10000 + OB_VideoInfo.BackBufferDesc.Height, 8000600u);
    int w = 0, h = 0;
    SDL_GetWindowSize(OB_VideoInfo.Window, &w, &h);
    EXPECT_EQ(w * 10000 + h, desktop.w * 10000 + desktop.h);
    SDL_DisplayMode current{};
    ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &current), 0);
    EXPECT_EQ(current.w * 10000 + current.h, desktop.w * 10000 + desktop.h);
    // Virtual space fills the back buffer one unit per pixel at 800 x 600.
    DrawTestQuad();
    EXPECT_EQ(PixelAt(101, 101), 0xFF0000u);
    EXPECT_EQ(PixelAt(198, 148), 0xFF0000u);
    EXPECT_EQ(PixelAt(98, 101), 0u);
    OB_Video_SetView(1, 1, 0);
    EXPECT_EQ(OB_Video_ToPixelX(0.95f), 760);
    OB_Video_Present(false);

    OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);
    SDL_GetWindowSize(OB_VideoInfo.Window, &w, &h);
    EXPECT_EQ(w * 10000 + h, 8000600);
}

TEST(FitRect, ScalesUniformlyAndCentres)
{
    const std::pair<std::array<int, 4>, std::array<int, 4>> cases[] = {
        {{800, 600, 1280, 1024}, {0, 32, 1280, 960}},  {{800, 600, 1920, 1080}, {240, 0, 1440, 1080}},
        {{800, 600, 1024, 768}, {0, 0, 1024, 768}},    {{640, 480, 640, 480}, {0, 0, 640, 480}},
        {{100, 300, 1000, 1000}, {333, 0, 333, 1000}}, {{0, 600, 1000, 1000}, {0, 0, 0, 0}}};
    for (const auto& [in, out] : cases) {
        const SDL_Rect r = OB_Gfx_FitRect(in[0], in[1], in[2], in[3]);
        EXPECT_EQ((std::array<int, 4>{r.x, r.y, r.w, r.h}), out) << in[0] << "x" << in[1] << " on " << in[2];
    }
}

// At most 256 MiB at 4 bytes a pixel, and no larger than the renderer's
// largest texture on either side, whichever is smaller.
TEST(BackBufferFits, HoldsTheBytesAndTheRenderersLargestTexture)
{
    struct TCase {
        int64_t Width, Height, MaxWidth, MaxHeight;
        bool Fits;
    };
    const TCase cases[] = {
        {640, 480, 0, 0, true},          {8192, 8192, 0, 0, true},         {16384, 4096, 0, 0, true},
        {16384, 4097, 0, 0, false},      {8193, 8192, 0, 0, false},        {16385, 1, 0, 0, false},
        {0, 480, 0, 0, false},           {640, -1, 0, 0, false},           {4096, 4096, 4096, 4096, true},
        {4097, 100, 4096, 4096, false},  {100, 4097, 4096, 4096, false},   {8192, 8192, 16384, 16384, true},
        {8192, 8193, 16384, 16384, false}, {int64_t{1} << 40, 1, 0, 0, false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(OB_Gfx_BackBufferFits(c.Width, c.Height, c.MaxWidth, c.MaxHeight), c.Fits)
            << c.Width << " x " << c.Height << " within " << c.MaxWidth << " x " << c.MaxHeight;
}

// Task bars show the window's title: the one the game gave before the
// window opened, and one given later at once.
TEST_F(Video, TheWindowHasTheTitleTheGameGives)
{
    OB_Video_SetWindowTitle("Orbel2", "orbel2");
    Open(640, 480);
    EXPECT_STREQ(SDL_GetWindowTitle(OB_VideoInfo.Window), "Orbel2");
    OB_Video_SetWindowTitle("Pendulum", "pendulum");
    EXPECT_STREQ(SDL_GetWindowTitle(OB_VideoInfo.Window), "Pendulum");
}
