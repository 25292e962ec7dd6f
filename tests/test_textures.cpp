#include "TestSupport.h"
#include "orbel2/vfs/OB_vfs.h"
#include "orbel2/video/OB_Textures.h"

#include <SDL.h>
#include <SDL_image.h>

using namespace orbel2;

namespace {

constexpr uint32_t ImageColour = 0x20C040;

// A 4 x 2 PNG of one opaque colour.
void WritePng(const std::string& Name)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 4, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(surface, nullptr, 0xFF000000 | ImageColour);
    ASSERT_EQ(IMG_SavePNG(surface, Name.c_str()), 0);
    SDL_FreeSurface(surface);
}

size_t OpenDescriptors()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

class Textures : public THeadlessEngineTest {
protected:
    void TearDown() override
    {
        TextureManager().Clear();
        THeadlessEngineTest::TearDown();
    }
};

}   // namespace

TEST_F(Textures, PngLoadsByItsBytesAndSurvivesAModeChange)
{
    WritePng("p.bin");
    TResource* entry = TextureManager().Acquire("p.bin");
    ASSERT_NE(entry, nullptr);
    OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);
    OB_Video_Clear(0xFF000000);
    OB_Video_BeginScene();
    DrawQuad(0xFFFFFFFFu, 300, 200, 200, 200, static_cast<SDL_Texture*>(entry->Data));
    OB_Video_EndScene();
    EXPECT_EQ(PixelAt(400, 300), ImageColour);
}

TEST_F(Textures, FailuresLeaveNothingOpenOrHeld)
{
    WriteWholeFile("broken.png", "\x89PNG\r\n\x1a\n but then nothing that decodes");
    WriteWholeFile("empty.png", "");
    WritePng("good.png");
    std::filesystem::create_directory("folder.png");
    void* data = nullptr;
    ASSERT_TRUE(TextureManager().LoadResource("good.png", data));
    const size_t before = OpenDescriptors();
    // Bytes that are no image: false, and the texture held before is let go.
    for (const char* name : {"broken.png", "empty.png"}) {
        EXPECT_FALSE(TextureManager().LoadResource(name, data)) << name;
        EXPECT_EQ(data, nullptr);
    }
    EXPECT_EQ(TextureManager().Acquire("broken.png"), nullptr);
    // Pictures whose headers declare too many pixels or none are refused
    // before any decoder sees them: a PNG of 20000 x 20000, a GIF 0 high.
    WriteWholeFile("huge.png",
                   std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x4e\x20\0\0\x4e\x20\x08\x06\0\0\0", 29));
    WriteWholeFile("flat.gif", std::string("GIF89a\1\0\1\0\0\0\0,\0\0\0\0\1\0\0\0\0\2\2D\1\0;", 29));
    for (const char* name : {"huge.png", "flat.gif"})
        EXPECT_FALSE(TextureManager().LoadResource(name, data)) << name;
    // A file that cannot be opened: the file system's error, with the name.
    for (const char* name : {"missing.png", "folder.png"})
        EXPECT_NE(ErrorText<OB_EFileSystemError>([&] { TextureManager().LoadResource(name, data); }).find(name),
                  std::string::npos);
    EXPECT_EQ(OpenDescriptors(), before);
    // With no device there is nothing to make a texture on.
    OB_Video_Close();
    EXPECT_FALSE(TextureManager().LoadResource("good.png", data));
}
