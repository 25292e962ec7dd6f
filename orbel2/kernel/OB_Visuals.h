// The visual lists: owning lists of visual objects, created at kernel
// start-up and freed at shut-down. Nothing in the demo adds to them yet.
#pragma once

#include <memory>
#include <vector>

namespace orbel2 {

class TVisual {
public:
    virtual ~TVisual() = default;
};

// A list that owns its items: removing an item, clearing the list or
// destroying it frees the items concerned.
class TVisualList {
public:
    void Add(std::unique_ptr<TVisual> item) { Items.push_back(std::move(item)); }
    void Delete(size_t index) { Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(index)); }
    void Clear() { Items.clear(); }
    size_t Count() const { return Items.size(); }
    TVisual* Get(size_t index) const { return Items.at(index).get(); }

private:
    std::vector<std::unique_ptr<TVisual>> Items;
};

class TVisualSystem : public TVisualList {};

extern std::unique_ptr<TVisualSystem> VisualSystem;
extern std::unique_ptr<TVisualList> VisualList;

void CreateVisuals();
void FreeVisuals();

}   // namespace orbel2
