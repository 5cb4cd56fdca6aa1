#include "render/model_tree.h"

namespace vesk {

namespace {
ModelTreeProvider& Provider() {
    static ModelTreeProvider provider;
    return provider;
}
} // namespace

void SetModelTreeProvider(ModelTreeProvider provider) {
    Provider() = std::move(provider);
}

IModelTree* GetModelTree(const std::string& fileName) {
    const ModelTreeProvider& p = Provider();
    return p ? p(fileName) : nullptr;
}

} // namespace vesk
