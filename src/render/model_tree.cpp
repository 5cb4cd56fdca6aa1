#include "render/model_tree.h"

namespace vesk {

namespace {
ModelTreeProvider& Provider() {
    static ModelTreeProvider provider;
    return provider;
}
std::function<void()>& CacheRelease() {
    static std::function<void()> release;
    return release;
}
} // namespace

void SetModelCacheRelease(std::function<void()> release) {
    CacheRelease() = std::move(release);
}

void ReleaseModelCache() {
    if (CacheRelease()) CacheRelease()();
}

void SetModelTreeProvider(ModelTreeProvider provider) {
    Provider() = std::move(provider);
}

IModelTree* GetModelTree(const std::string& fileName) {
    const ModelTreeProvider& p = Provider();
    return p ? p(fileName) : nullptr;
}

} // namespace vesk
