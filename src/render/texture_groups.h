#pragma once
// Batches are drawn per texture: the items of one texture are put side by
// side before they draw. The textures come in order of address and each
// texture's items keep the order they were listed in, so a frame draws the
// same batches in the same order whichever way the items were gathered.
#include "render/texture.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace vesk {

template <class Item> class TextureGrouping {
public:
    // Orders `items` by texture (textureOf(item) gives it). A frame's items use
    // a handful of textures: they are counted into their groups. Many textures
    // fall back to a stable sort.
    template <class TextureOf> void Group(std::vector<Item>& items, TextureOf textureOf) {
        constexpr size_t kFewTextures = 16;
        textures_.clear();
        // Neighbours mostly share a texture: the last one found is tried first.
        IKWTexture* last = nullptr;
        bool many = false;
        for (const Item& item : items) {
            IKWTexture* t = textureOf(item);
            if ((t == last && !textures_.empty()) ||
                std::find(textures_.begin(), textures_.end(), t) != textures_.end()) {
                last = t;
                continue;
            }
            if (textures_.size() == kFewTextures) {
                many = true;
                break;
            }
            textures_.push_back(last = t);
        }
        const auto byAddress = [](const IKWTexture* a, const IKWTexture* b) {
            return std::less<const IKWTexture*>()(a, b);
        };
        if (many) {
            std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
                return byAddress(textureOf(a), textureOf(b));
            });
            return;
        }
        if (textures_.size() < 2) return;
        std::sort(textures_.begin(), textures_.end(), byAddress);
        groupOf_.resize(items.size());
        size_t starts[kFewTextures] = {};
        last = nullptr;
        size_t group = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            IKWTexture* t = textureOf(items[i]);
            if (i == 0 || t != last) {
                group = size_t(std::find(textures_.begin(), textures_.end(), t) - textures_.begin());
                last = t;
            }
            groupOf_[i] = static_cast<uint8_t>(group);
            ++starts[group];
        }
        size_t sum = 0;
        for (size_t& n : starts) sum += std::exchange(n, sum);
        grouped_.resize(items.size());
        for (size_t i = 0; i < items.size(); ++i) grouped_[starts[groupOf_[i]]++] = std::move(items[i]);
        items.swap(grouped_);
    }

private:
    std::vector<IKWTexture*> textures_;
    std::vector<uint8_t> groupOf_;
    std::vector<Item> grouped_;
};

} // namespace vesk
