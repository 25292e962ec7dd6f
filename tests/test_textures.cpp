#include "video/OB_Textures.h"
#include "vfs/OB_vfs.h"
#include "TestSupport.h"

#include <SDL.h>
#include <SDL_image.h>

#include <chrono>

namespace {

constexpr uint32_t ImageColour = 0x20C040;

// A 4 x 2 image of one opaque colour.
void WriteImage(const std::string& Name, bool Png)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 4, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(surface, nullptr, 0xFF000000 | ImageColour);
    ASSERT_EQ(Png ? IMG_SavePNG(surface, Name.c_str()) : SDL_SaveBMP(surface, Name.c_str()), 0);
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
    static bool Load(const std::string& name, const std::string& bytes)
    {
        WriteWholeFile(name, bytes);
        void* data = nullptr;
        const bool loaded = TextureManager().LoadResource(name, data);
        TextureManager().ReleaseResource(data);
        return loaded;
    }
};

std::string Bytes(std::initializer_list<int> values) { return std::string(values.begin(), values.end()); }

} // namespace

TEST_F(Textures, TheFiveFormatsLoadByTheirBytesOthersAreRefusedAndTexturesSurviveAModeChange)
{
    WriteImage("p.png", true);
    WriteImage("p.bmp", false);
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_EQ(IMG_SaveJPG(picture, "p.jpg", 90), 0);
    SDL_FreeSurface(picture);
    for (const char* name : {"p.png", "p.bmp", "p.jpg"})
        EXPECT_TRUE(Load(std::string(name) + ".bin", ReadWholeFile(name))) << name;   // known by its bytes
    // An uncompressed TGA of 2 x 1 pixels, known by its name only.
    const std::string tga = Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 32, 8}) + std::string(8, '\x7F');
    EXPECT_TRUE(Load("t.tga", tga));
    EXPECT_FALSE(Load("t.dat", tga));
    // A GIF of one pixel.
    EXPECT_TRUE(Load("g.gif", std::string("GIF89a") + Bytes({1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C,
                                                             0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B})));
    // A portable pixmap is a picture SDL_image reads, but not a texture format.
    EXPECT_FALSE(Load("p.ppm", "P6\n1 1\n255\n\xFF\x00\x00"));

    // Through the registry, then drawn after the video system re-opened.
    TResource* entry = TextureManager().Acquire("p.png");
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
    WriteImage("good.png", true);
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
    // A file that cannot be opened: the file system's error, with the name.
    for (const char* name : {"missing.png", "folder.png"})
        EXPECT_NE(ErrorText<OB_EFileSystemError>([&] { TextureManager().LoadResource(name, data); }).find(name),
                  std::string::npos);
    EXPECT_EQ(OpenDescriptors(), before);
    // With no device there is nothing to make a texture on.
    OB_Video_Close();
    EXPECT_FALSE(TextureManager().LoadResource("good.png", data));
}

TEST_F(Textures, PicturesDeclaringHugeSidesAreRefusedBeforeDecoding)
{
    const auto start = std::chrono::steady_clock::now();
    // PNG whose header declares 20000 x 20000.
    EXPECT_FALSE(Load("a.png", Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                      0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 6, 0, 0, 0})));
    // GIF with a small screen but a first picture of 60000 x 60000 after an extension.
    EXPECT_FALSE(Load("b.gif", std::string("GIF89a") + Bytes({1, 0, 1, 0, 0, 0, 0, 0x21, 0xF9, 4, 1, 0, 0, 0, 0,
                                                              0x2C, 0, 0, 0, 0, 0x60, 0xEA, 0x60, 0xEA, 0, 2, 2,
                                                              0x44, 1, 0, 0x3B})));
    // BMP whose info header declares -30000 rows (top-down) of 30000.
    EXPECT_FALSE(Load("c.bmp", std::string("BM") + std::string(12, '\0') +
                                   Bytes({40, 0, 0, 0, 0x30, 0x75, 0, 0, 0xD0, 0x8A, 0xFF, 0xFF, 1, 0, 24, 0}) +
                                   std::string(24, '\0')));
    // JPEG whose frame header declares 40000 x 40000.
    EXPECT_FALSE(Load("d.jpg", Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC0, 0, 11, 8, 0x9C, 0x40, 0x9C,
                                      0x40, 1, 1, 0x11, 0, 0xFF, 0xD9})));
    // TGA, known by its name, of 20000 x 20000.
    EXPECT_FALSE(Load("e.tga", Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x4E, 0x20, 0x4E, 32, 8})));
    // Nothing of it took the decoders' time or memory.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
