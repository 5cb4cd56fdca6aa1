#pragma once
// Textures: one manager loads every texture of the program by file name from
// the data folder's "TEXTURES/" and keeps each file once. Callers hold nodes
// through the counted IKWTexture interface; a missing file is logged and
// replaced by the checker texture.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "render/counted_ref.h"
#include "shared/engine_object.h"

namespace vesk {

class TextureManagerClass;
class VideoRendererClass;

class IKWTexture {
public:
    virtual uint32_t AddRef() = 0;
    // Frees the node when the last reference goes.
    virtual uint32_t ReleaseRef() = 0;
    // The cache key: upper-case full path before an extension was added.
    virtual std::string GetFileName() = 0;
    // The file actually loaded (with extension, or the checker).
    virtual std::string GetFullName() = 0;
    // The name as the caller gave it.
    virtual std::string GetName() = 0;
    // 0 (full chain) or 1.
    virtual uint32_t GetMipLevels() = 0;
    // The top level's description.
    virtual platform::D3DSURFACE_DESC GetImageInfo() = 0;
    // The device texture (no new reference), reloaded first when a reload is pending.
    virtual platform::IDirect3DTexture9* GetTexture() = 0;
    virtual void SetTexture(platform::IDirect3DTexture9* texture) = 0;
    virtual void CreateFromFile(const std::string& fileName, platform::D3DFORMAT format, bool mipmaps,
                                const std::string& name) = 0;
    virtual void Reload() = 0;
    virtual int Reserved() = 0; // always 0
    virtual void MarkForReload() = 0;
    virtual void SetUsage(int usage) = 0;

protected:
    ~IKWTexture() = default;
};

using TextureRef = CountedRef<IKWTexture>;

class TextureNodeClass final : public TEngineObject, public IKWTexture {
public:
    explicit TextureNodeClass(TextureManagerClass* manager) : manager_(manager) {}

    uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t ReleaseRef() override;
    std::string GetFileName() override { return fileName_; }
    std::string GetFullName() override { return fullName_; }
    std::string GetName() override { return name_; }
    uint32_t GetMipLevels() override { return mipLevels_; }
    platform::D3DSURFACE_DESC GetImageInfo() override { return desc_; }
    platform::IDirect3DTexture9* GetTexture() override;
    void SetTexture(platform::IDirect3DTexture9* texture) override;
    void CreateFromFile(const std::string& fileName, platform::D3DFORMAT format, bool mipmaps,
                        const std::string& name) override;
    void Reload() override;
    int Reserved() override { return 0; }
    void MarkForReload() override;
    void SetUsage(int usage) override { usage_ = usage; }

    void Free() override;
    std::string ClassName() const override { return "TextureNodeClass"; }

    bool ReloadPending() const { return reloadPending_; }
    bool Mipmaps() const { return mipmaps_; }
    int Usage() const { return usage_; }
    uint32_t RefCount() const { return refs_.load(std::memory_order_relaxed); }
    void Detach() { manager_ = nullptr; }
    void SetName(const std::string& name) { name_ = name; }
    // The player of an ".avi" texture; nullptr for any other node.
    VideoRendererClass* Video() const { return video_; }

private:
    // Replaces the texture by the checker made in memory (no checker file either, or a bad file).
    void UseMemoryChecker();

    TextureManagerClass* manager_;
    platform::Ref<platform::IDirect3DTexture9> texture_;
    VideoRendererClass* video_ = nullptr;
    std::string name_;
    std::string fileName_;
    std::string fullName_;
    platform::D3DSURFACE_DESC desc_{};
    uint32_t mipLevels_ = 1;
    bool reloadPending_ = false;
    bool mipmaps_ = false;
    int usage_ = 0;
    std::atomic<uint32_t> refs_{0};
};

class TextureManagerClass final : public TEngineObject {
public:
    // Makes entry 0, the empty texture.
    TextureManagerClass();

    // The texture of a name, loaded on a miss (usage value 1).
    TextureRef GetTexture(const std::string& name, platform::D3DFORMAT format, bool mipmaps);
    TextureRef LoadTexture(const std::string& name, int usage, platform::D3DFORMAT format, bool mipmaps);
    // Wraps an existing device texture (render targets, video frames) in a new node.
    TextureRef AddTexture(const std::string& name, platform::IDirect3DTexture9* texture);
    // Entry 0.
    TextureRef GetDefaultTexture();
    // The node whose name equals `name` regardless of case, in list order.
    bool RE_FindTextureByFileName(const std::string& name, TextureRef& out);
    void RE_ReloadTexture(const std::string& name);
    // Forgets the device's cached stage textures and marks every node but entry 0 for reload.
    void InvalidateAll();
    void RemoveNode(TextureNodeClass* node);

    // The cache key of a name (see LoadTexture).
    static std::string KeyOf(const std::string& name);
    const std::vector<TextureNodeClass*>& Nodes() const { return nodes_; }

    void Free() override;
    std::string ClassName() const override { return "TextureManagerClass"; }

private:
    TextureNodeClass* Append(int usage);
    std::vector<TextureNodeClass*> nodes_; // each holds one reference for the list
};

// The program's texture manager; made when the render engine starts.
extern TextureManagerClass* TextureManager;
void RE_CreateTextureManager();
void RE_FreeTextureManager();

// The checker that stands in for missing textures, relative to the data folder.
inline constexpr const char* kCheckerTexture = "Textures/general\\checker.bmp";

} // namespace vesk
