// The texture registry: textures made from image files read through the
// engine's file system.
#pragma once

#include "kernel/OB_Kernel.h"

#include <memory>

class OB_TextureManager : public TResourceManager {
public:
    ~OB_TextureManager() override;
    bool LoadResource(const std::string& name, void*& Data) override;
    void ReleaseResource(void*& Data) override;
};

// The engine's one texture registry; exists for the whole life of the program.
OB_TextureManager& TextureManager();
