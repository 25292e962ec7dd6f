// The texture registry: textures made from image files read through the
// engine's file system, decoded from the bytes (PNG, JPEG, BMP and GIF by
// their signatures, TGA by its name) once they pass OB_ImageChecks.
// A texture belongs to the device that was open when it was loaded. Opening
// the video system again keeps the renderer, so textures survive a change of
// mode or of full screen; they are freed with their entry, or with the
// device if that goes first.
#pragma once

#include "orbel2/kernel/OB_Resources.h"
#include "orbel2/video/OB_ImageChecks.h"   // the limits a picture must keep

#include <memory>

namespace orbel2 {

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

// The engine's one texture registry; exists for the whole life of the
// program, and the kernel's finalisation empties it.
OB_TextureManager& TextureManager();

}   // namespace orbel2
