// An image file, any bytes, made into a texture by the texture manager,
// read through the engine's file system. Either a texture comes back or
// false with nothing held; the file is closed either way.
#include "FuzzSupport.h"

#include "orbel2/video/OB_Textures.h"

#include <fstream>

using namespace orbel2;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::UseDummyVideo();
    fuzz::EnterScratchDir("image");
    OB_Kernel_Init();
    OB_Video_Open(nullptr, 64, 48, 32, false, true, 0);
    // Pictures up to a megapixel: larger ones only cost the decoder's time.
    OB_SetTextureLimits(1024, 1024 * 1024);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        // Named as a TGA, the one format known by its name and not by its
        // bytes: every other format is still recognised by its signature.
        std::ofstream out("input.tga", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    void* texture = nullptr;
    const bool loaded = TextureManager().LoadResource("input.tga", texture);
    if (loaded != (texture != nullptr))
        std::abort();
    TextureManager().ReleaseResource(texture);
    return 0;
}
