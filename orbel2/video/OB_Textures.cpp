#include "orbel2/video/OB_Textures.h"

#include "orbel2/kernel/OB_Files.h"
#include "orbel2/vfs/OB_vfs.h"
#include "orbel2/video/OB_ImageChecks.h"
#include "orbel2/video/OB_PlatformErrors.h"
#include "orbel2/video/OB_Video.h"
#include "orbel2/video/platform/OB_GfxDevice.h"

#include <SDL.h>
#include <SDL_image.h>

#include <memory>
#include <vector>

namespace orbel2 {

namespace {

// Closes a file-system handle however the load ends.
class TOpenFile {
public:
    TOpenFile(TFileSystem& fileSystem, const std::string& name) : Files(fileSystem), Handle(fileSystem.Open(name)) {}
    ~TOpenFile() { Files.Close(Handle); }
    TOpenFile(const TOpenFile&) = delete;
    TOpenFile& operator=(const TOpenFile&) = delete;
    TFileHandle Get() const { return Handle; }

private:
    TFileSystem& Files;
    TFileHandle Handle;
};

// No image file of an acceptable size comes near this.
constexpr int64_t MaxImageFileSize = int64_t(1) << 30;

struct TSurfaceFreer {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};

// A texture from a whole image file in memory, or nullptr.
SDL_Texture* TextureFromImage(const std::vector<uint8_t>& image, const std::string& name)
{
    if (OB_VideoInfo.Device == nullptr || image.empty())
        return nullptr;
    const char* type = OB_ImageType(image, name);
    if (type == nullptr)
        return nullptr;
    SDL_RWops* stream = SDL_RWFromConstMem(image.data(), static_cast<int>(image.size()));
    if (stream == nullptr)
        return nullptr;
    std::unique_ptr<SDL_Surface, TSurfaceFreer> surface;
    {
        const TDecodeGuard guard;
        surface.reset(IMG_LoadTyped_RW(stream, 1, type));
    }
    if (!surface || !OB_PictureSizeFits(static_cast<uint32_t>(surface->w), static_cast<uint32_t>(surface->h)))
        return nullptr;
    SDL_Texture* texture = OB_VideoInfo.Device->CreateTextureFromSurface(surface.get());
    if (texture == nullptr)
        OB_LogPlatformError();
    return texture;
}

}   // namespace

OB_TextureManager::~OB_TextureManager()
{
    Clear();
}

bool OB_TextureManager::LoadResource(const std::string& Name, void*& Data)
{
    if (!FileSystem)
        throw OB_EFileSystemError("VFS Error. No file system to open " + OB_QuotedName(Name));
    TOpenFile file(*FileSystem, Name);
    const int64_t size = FileSystem->Size(file.Get());
    ReleaseResource(Data);
    if (size <= 0 || size > MaxImageFileSize)
        return false;
    std::vector<uint8_t> block(static_cast<size_t>(size));
    const uint32_t got = FileSystem->Read(file.Get(), block.data(), static_cast<int64_t>(block.size()));
    block.resize(got);   // a short read leaves no stale bytes for the decoder
    Data = TextureFromImage(block, Name);
    return Data != nullptr;
}

void OB_TextureManager::ReleaseResource(void*& Data)
{
    OB_Gfx_DestroyTexture(static_cast<SDL_Texture*>(Data));
    Data = nullptr;
}

OB_TextureManager& TextureManager()
{
    static OB_TextureManager manager;
    return manager;
}

}   // namespace orbel2
