#include "video/OB_Textures.h"

#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"
#include "vfs/OB_vfs.h"

#include <SDL.h>
#include <SDL_image.h>

#include <vector>

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

// The largest side of a texture the engine makes, as for a back buffer. A
// few bytes of image can declare a picture of tens of thousands of pixels a
// side; making a texture of it would take gigabytes.
constexpr int MaxTextureSide = 16384;

struct TSurfaceFreer {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};

// A texture from a whole image file in memory, or nullptr.
SDL_Texture* TextureFromImage(const std::vector<uint8_t>& image)
{
    if (OB_VideoInfo.Device == nullptr || image.empty())
        return nullptr;
    SDL_RWops* stream = SDL_RWFromConstMem(image.data(), static_cast<int>(image.size()));
    if (stream == nullptr)
        return nullptr;
    std::unique_ptr<SDL_Surface, TSurfaceFreer> surface(IMG_Load_RW(stream, 1));
    if (!surface || surface->w > MaxTextureSide || surface->h > MaxTextureSide)
        return nullptr;
    return OB_VideoInfo.Device->CreateTextureFromSurface(surface.get());
}

} // namespace

OB_TextureManager::~OB_TextureManager() { Clear(); }

bool OB_TextureManager::LoadResource(const std::string& name, void*& Data)
{
    if (!FileSystem)
        throw OB_EFileSystemError("VFS Error. No file system to open \"" + name + "\"");
    TOpenFile file(*FileSystem, name);
    // The block holds the low 32 bits of the size, as much as one read takes.
    const int64_t size = FileSystem->Size(file.Get());
    std::vector<uint8_t> block(static_cast<uint32_t>(size));
    const uint32_t got = FileSystem->Read(file.Get(), block.data(), static_cast<int64_t>(block.size()));
    block.resize(got);   // a short read leaves no stale bytes for the decoder
    ReleaseResource(Data);
    Data = TextureFromImage(block);
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
