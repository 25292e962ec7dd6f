// Shared helpers of the engine's tests: a fresh working directory per test,
// a fake platform, the engine started on a headless device, pixel reading.
#pragma once

#include "FakePlatform.h"
#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleCommands.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "orbel2/console/OB_ConsoleNumbers.h"
#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/kernel/OB_FrameTimer.h"
#include "orbel2/kernel/OB_Platform.h"
#include "orbel2/kernel/OB_Resources.h"
#include "demo/MainSession.h"
#include "orbel2/session/OB_Kernel.h"
#include "orbel2/video/OB_Primitive.h"
#include "orbel2/video/OB_Video.h"
#include "orbel2/video/platform/OB_GfxDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace orbel2 {

// Runs the test inside a fresh, empty directory and removes it afterwards.
class TTempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Previous = std::filesystem::current_path();
        Dir = std::filesystem::temp_directory_path() / ("orbel2-test-" + std::to_string(::getpid()));
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        std::filesystem::current_path(Dir);
    }
    void TearDown() override
    {
        std::filesystem::current_path(Previous);
        std::error_code ignored;
        std::filesystem::remove_all(Dir, ignored);
    }

    std::filesystem::path Dir;
    std::filesystem::path Previous;
};

// The engine started as the program starts it, on SDL's dummy driver; the
// device is opened at Width x Height over an 800 x 600 virtual space, or not
// at all when Width is 0.
class THeadlessEngineTest : public TTempDirTest {
protected:
    explicit THeadlessEngineTest(int width = 640, int height = 480) : Width(width), Height(height) {}
    void SetUp() override
    {
        TTempDirTest::SetUp();
        OB_Kernel_Init();
        if (Width > 0) {
            OB_Video_Open(nullptr, Width, Height, 32, false, true, 0);
            OB_Video_SetVirtualSize(800, 600, 0);
        }
    }
    void TearDown() override
    {
        OB_Video_Close();
        OB_Kernel_Finalize();
        TTempDirTest::TearDown();
    }

    int Width, Height;
};

// The demo session started on the headless engine, with the fake platform.
class TDemoSessionTest : public THeadlessEngineTest {
protected:
    void SetUp() override
    {
        THeadlessEngineTest::SetUp();
        Session.Start();
    }
    void TearDown() override
    {
        Session.Stop();
        THeadlessEngineTest::TearDown();
    }

    TFakePlatformScope Fake;
    demo::TMainSession Session;
};

// Demo sessions made one after another on the headless engine, with the
// fake platform; each is stopped when the test ends.
class TDemoSessionsTest : public THeadlessEngineTest {
protected:
    void TearDown() override
    {
        for (auto& session : Sessions)
            session->Stop();
        THeadlessEngineTest::TearDown();
    }
    demo::TMainSession& NewSession()
    {
        Sessions.push_back(std::make_unique<demo::TMainSession>());
        Sessions.back()->Start();
        return *Sessions.back();
    }

    TFakePlatformScope Fake;
    std::vector<std::unique_ptr<demo::TMainSession>> Sessions;
};

// The back buffer, alpha dropped.
inline std::vector<uint32_t> ReadScreen()
{
    std::vector<uint32_t> pixels;
    const D3DSURFACE_DESC& size = OB_VideoInfo.BackBufferDesc;
    EXPECT_TRUE(OB_VideoInfo.Device->ReadPixels(0, 0, int(size.Width), int(size.Height), pixels));
    for (uint32_t& pixel : pixels)
        pixel &= 0x00FFFFFFu;
    return pixels;
}

inline uint32_t PixelAt(int x, int y)
{
    std::vector<uint32_t> pixels{0};
    EXPECT_TRUE(OB_VideoInfo.Device->ReadPixels(x, y, 1, 1, pixels));
    return pixels.at(0) & 0x00FFFFFFu;
}

inline void DrawQuad(uint32_t colour, float x, float y, float w, float h, SDL_Texture* texture = nullptr)
{
    TQuad quad;
    OB_Quad_Init(quad, 0);
    OB_Quad_SetColor(quad, colour);
    OB_Quad_SetCorners(quad, x, y, w, h, 0, 0, 0);
    OB_Quad_Draw(quad, texture);
}

// The text of the exception of type E that action raises, or "no error".
template <typename E>
std::string ErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const E& error) {
        return error.what();
    }
    return "no error";
}

// One frame of a session that measured the given frame time: the fake
// clock, which must be installed, moves on by that much before the frame.
inline void RunFrame(TSession& session, double frameTime)
{
    auto* fake = dynamic_cast<TFakePlatform*>(&OB_Platform());
    ASSERT_NE(fake, nullptr) << "RunFrame needs the fake platform";
    fake->Advance(frameTime);
    session.Update();
}

inline std::string LastLine()
{
    return ConsoleLines()->Get(0);
}

inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The bit patterns of every body's motion.
inline std::vector<uint32_t> WorldBits(demo::TMainSession& session)
{
    std::vector<uint32_t> bits;
    for (const TBody* body : session.Scene().Physics.Bodies) {
        const TBodyState& s = body->State;
        for (float v : {s.Position.x, s.Position.y, s.Velocity.x, s.Velocity.y, s.Angle, s.AngularVelocity})
            bits.push_back(std::bit_cast<uint32_t>(v));
    }
    return bits;
}

// Little-endian 32-bit words, as a recording stores them.
template <typename... T>
std::string Words(T... words)
{
    std::string bytes;
    for (const uint32_t word : {std::bit_cast<uint32_t>(words)...})
        bytes.append(reinterpret_cast<const char*>(&word), 4);
    return bytes;
}

}   // namespace orbel2
