#include "kernel/OB_Kernel.h"
#include "video/OB_Textures.h"
#include "video/OB_Video.h"
#include "TestSupport.h"

#include <SDL.h>
#include <SDL_image.h>

#include <chrono>

namespace {

class ImageHeaders : public TTempDirTest {
protected:
    void SetUp() override
    {
        TTempDirTest::SetUp();
        OB_Kernel_Init();
        OB_Video_Open(nullptr, 64, 48, 32, false, true, 0);
    }
    void TearDown() override
    {
        TextureManager().Clear();
        OB_Video_Close();
        OB_Kernel_Finalize();
        TTempDirTest::TearDown();
    }
    bool Load(const std::string& name, const std::string& bytes)
    {
        WriteWholeFile(name, bytes);
        void* data = nullptr;
        const bool loaded = TextureManager().LoadResource(name, data);
        TextureManager().ReleaseResource(data);
        return loaded;
    }
};

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

} // namespace

TEST_F(ImageHeaders, PicturesDeclaringHugeSidesAreRefusedBeforeDecoding)
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

TEST_F(ImageHeaders, TheFiveFormatsLoadAndOthersAreRefused)
{
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> picture(
        SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 32, SDL_PIXELFORMAT_ARGB8888), SDL_FreeSurface);
    ASSERT_TRUE(picture);
    SDL_FillRect(picture.get(), nullptr, 0xFF336699);
    ASSERT_EQ(IMG_SavePNG(picture.get(), "p.png"), 0);
    ASSERT_EQ(SDL_SaveBMP(picture.get(), "p.bmp"), 0);
    ASSERT_EQ(IMG_SaveJPG(picture.get(), "p.jpg", 90), 0);
    for (const char* name : {"p.png", "p.bmp", "p.jpg"}) {
        const std::string bytes = ReadWholeFile(name);
        EXPECT_TRUE(Load(std::string("copy-") + name, bytes)) << name;
    }
    // An uncompressed TGA of 2 x 1 pixels, known by its name only.
    const std::string tga = Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 32, 8}) + std::string(8, '\x7F');
    EXPECT_TRUE(Load("t.tga", tga));
    EXPECT_FALSE(Load("t.dat", tga));
    // A GIF of one pixel.
    EXPECT_TRUE(Load("g.gif", std::string("GIF89a") + Bytes({1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C,
                                                             0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B})));
    // A portable pixmap is a picture SDL_image reads, but not a texture format.
    EXPECT_FALSE(Load("p.ppm", "P6\n1 1\n255\n\xFF\x00\x00"));
}
