// Placeholder until the texture manager lands.
#include "video/OB_Textures.h"

OB_TextureManager::~OB_TextureManager() { Clear(); }
bool OB_TextureManager::LoadResource(const std::string&, void*& Data) { Data = nullptr; return false; }
void OB_TextureManager::ReleaseResource(void*& Data) { Data = nullptr; }

OB_TextureManager& TextureManager()
{
    static OB_TextureManager manager;
    return manager;
}
