// The resource registry: named resources with abstract load and release
// hooks. Each entry is owned by the registry; deleting an entry, clearing
// the registry or destroying it first hands each entry's Data to
// ReleaseResource and then frees the entry; clearing goes from the last
// entry to the first. A derived class must call Clear() in its own
// destructor, since the base destructor can no longer reach the derived
// ReleaseResource.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orbel2 {

// One named resource held by a registry.
struct TResource {
    std::string Name;
    void* Data = nullptr;   // the resource itself (for textures, the texture)
    int32_t Count = 0;   // how many times it was asked for
};

class TResourceManager {
public:
    TResourceManager() = default;
    TResourceManager(const TResourceManager&) = delete;
    TResourceManager& operator=(const TResourceManager&) = delete;
    virtual ~TResourceManager() = default;

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    // The entry at Index, 0 <= Index < Count().
    TResource* GetResource(int32_t Index) const;
    int32_t Add(std::unique_ptr<TResource> Item);
    // Releases and frees the entry at Index; an index outside 0..Count() - 1
    // raises EListError and releases nothing.
    void Delete(int32_t Index);
    void Clear();
    // The entry of that name, or nullptr.
    TResource* Find(const std::string& Name) const;
    // The entry of that name with its Count raised by one; loads and adds it
    // through LoadResource when it is not there yet. nullptr when the load
    // reports failure; errors the loader raises pass through.
    TResource* Acquire(const std::string& Name);

    virtual bool LoadResource(const std::string& Name, void*& Data) = 0;
    virtual void ReleaseResource(void*& Data) = 0;

private:
    std::vector<std::unique_ptr<TResource>> Items;
};

}   // namespace orbel2
