#include "orbel2/kernel/OB_Resources.h"

#include "orbel2/kernel/OB_Assert.h"
#include "orbel2/kernel/OB_Errors.h"

namespace orbel2 {

TResource* TResourceManager::GetResource(int32_t Index) const
{
    OB_ASSERT(Index >= 0 && Index < Count());
    return Items.at(static_cast<size_t>(Index)).get();
}

int32_t TResourceManager::Add(std::unique_ptr<TResource> Item)
{
    Items.push_back(std::move(Item));
    return Count() - 1;
}

void TResourceManager::Delete(int32_t Index)
{
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    const auto position = Items.begin() + Index;
    ReleaseResource((*position)->Data);
    Items.erase(position);
}

void TResourceManager::Clear()
{
    while (!Items.empty()) {
        ReleaseResource(Items.back()->Data);
        Items.pop_back();
    }
}

TResource* TResourceManager::Find(const std::string& Name) const
{
    for (const auto& item : Items)
        if (item->Name == Name)
            return item.get();
    return nullptr;
}

TResource* TResourceManager::Acquire(const std::string& Name)
{
    if (TResource* found = Find(Name)) {
        ++found->Count;
        return found;
    }
    void* data = nullptr;
    if (!LoadResource(Name, data))
        return nullptr;
    auto item = std::make_unique<TResource>();
    item->Name = Name;
    item->Data = data;
    item->Count = 1;
    return Items.at(static_cast<size_t>(Add(std::move(item)))).get();
}

}   // namespace orbel2
