#include "kernel/OB_Kernel.h"
#include "video/OB_Primitive.h"
#include "video/OB_Textures.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"
#include "vfs/OB_vfs.h"
#include "TestSupport.h"

#include <SDL.h>
#include <SDL_image.h>

#include <filesystem>
#include <vector>

namespace {

constexpr uint32_t ImageColour = 0xFF20C040;

// A 4 x 2 image of one opaque colour.
void WriteImage(const std::string& Name, bool Png)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 4, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(surface, nullptr);
    SDL_FillRect(surface, nullptr, ImageColour);
    const int result = Png ? IMG_SavePNG(surface, Name.c_str()) : SDL_SaveBMP(surface, Name.c_str());
    SDL_FreeSurface(surface);
    ASSERT_EQ(result, 0) << SDL_GetError();
}

size_t OpenDescriptors()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}

class Textures : public TTempDirTest {
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
        TextureManager().Clear();
        OB_Video_Close();
        OB_Kernel_Finalize();
        TTempDirTest::TearDown();
    }
};

} // namespace

TEST_F(Textures, ImagesLoadThroughTheFileSystemWhateverTheirName)
{
    WriteImage("picture.png", true);
    WriteImage("picture.bmp", false);
    std::filesystem::copy_file("picture.png", "no-extension");
    for (const char* name : {"picture.png", "picture.bmp", "no-extension"}) {
        void* data = nullptr;
        ASSERT_TRUE(TextureManager().LoadResource(name, data)) << name;
        ASSERT_NE(data, nullptr);
        int width = 0, height = 0;
        EXPECT_EQ(SDL_QueryTexture(static_cast<SDL_Texture*>(data), nullptr, nullptr, &width, &height), 0);
        EXPECT_EQ(width, 4);
        EXPECT_EQ(height, 2);
        TextureManager().ReleaseResource(data);
        EXPECT_EQ(data, nullptr);
    }
    // Through the registry: one entry, counted, freed with the registry.
    EXPECT_NE(TextureManager().Acquire("picture.png"), nullptr);
    EXPECT_EQ(TextureManager().Acquire("picture.png")->Count, 2);
    EXPECT_EQ(TextureManager().Count(), 1);
}

TEST_F(Textures, BadBytesGiveFalseAndLeaveNothingOpen)
{
    WriteWholeFile("broken.png", "\x89PNG\r\n\x1a\n but then nothing that decodes");
    WriteWholeFile("empty.png", "");
    WriteImage("good.png", true);
    void* data = nullptr;
    ASSERT_TRUE(TextureManager().LoadResource("good.png", data));
    const size_t before = OpenDescriptors();
    for (const char* name : {"broken.png", "empty.png"}) {
        // The texture held before is let go, not leaked or kept.
        EXPECT_FALSE(TextureManager().LoadResource(name, data)) << name;
        EXPECT_EQ(data, nullptr);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(TextureManager().Acquire("broken.png"), nullptr);
    EXPECT_EQ(TextureManager().Count(), 0);
}

TEST_F(Textures, FileSystemErrorsPassThrough)
{
    std::filesystem::create_directory("folder.png");
    const size_t before = OpenDescriptors();
    void* data = nullptr;
    for (const char* name : {"missing.png", "folder.png"}) {
        try {
            TextureManager().LoadResource(name, data);
            ADD_FAILURE() << name << " loaded";
        } catch (const OB_EFileSystemError& error) {
            EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
        }
        EXPECT_EQ(data, nullptr);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(Textures, ATextureSurvivesAModeChangeAndDrawsItsColours)
{
    WriteImage("picture.png", true);
    TResource* entry = TextureManager().Acquire("picture.png");
    ASSERT_NE(entry, nullptr);
    OB_Video_Open(nullptr, 800, 600, 32, false, true, 0);

    TQuad quad;
    OB_Quad_Init(quad, 0);
    OB_Quad_SetCorners(quad, 400, 300, 200, 200, 0, 0.5f, 0.5f);
    OB_Video_Clear(0xFF000000);
    OB_Video_BeginScene();
    OB_Quad_Draw(quad, static_cast<SDL_Texture*>(entry->Data));
    OB_Video_EndScene();
    std::vector<uint32_t> pixel;
    ASSERT_TRUE(OB_VideoInfo.Device->ReadPixels(400, 300, 1, 1, pixel));
    EXPECT_EQ(pixel[0], ImageColour);
}

class TexturesWithoutDevice : public TTempDirTest {};

TEST_F(TexturesWithoutDevice, LoadingWithNoDeviceOpenGivesFalse)
{
    OB_Kernel_Init();
    WriteImage("picture.png", true);
    void* data = nullptr;
    EXPECT_FALSE(TextureManager().LoadResource("picture.png", data));
    EXPECT_EQ(data, nullptr);
    OB_Kernel_Finalize();
}
