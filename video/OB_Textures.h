// The texture registry: textures made from image files read through the
// engine's file system, decoded from the bytes (PNG, JPEG, BMP, TGA, GIF and
// whatever else SDL_image reads), never from the name.
// A texture belongs to the device that was open when it was loaded. Opening
// the video system again keeps the renderer, so textures survive a change of
// mode or of full screen; they are freed with their entry, or with the
// device if that goes first.
#pragma once

#include "kernel/OB_Resources.h"

#include <memory>

class OB_TextureManager : public TResourceManager {
public:
    ~OB_TextureManager() override;
    // Data := the SDL_Texture made from the file Name. False, with Data
    // nullptr, when the bytes are no image or no device is open; the file
    // system's OB_EFileSystemError passes through when the file cannot be
    // opened.
    bool LoadResource(const std::string& Name, void*& Data) override;
    // Frees the texture in Data and sets Data to nullptr.
    void ReleaseResource(void*& Data) override;
};

// The engine's one texture registry; exists for the whole life of the program.
OB_TextureManager& TextureManager();

// The largest picture made into a texture: no side beyond MaxSide and no
// more than MaxPixels in all (the defaults, 16384 a side and 64 million
// pixels, are a 256 MiB texture). Larger pictures are refused by their
// headers, before they are decoded.
constexpr uint32_t OB_DefaultMaxTextureSide = 16384;
constexpr uint64_t OB_DefaultMaxTexturePixels = uint64_t(8192) * 8192;
void OB_SetTextureLimits(uint32_t MaxSide, uint64_t MaxPixels);
