#include "render/texture.h"

#include <algorithm>

#include "core/lua_readers.h"
#include "core/paths.h"
#include "platform/files.h"
#include "platform/image_codecs.h"
#include "platform/text.h"
#include "render/device.h"
#include "render/video_renderer.h"
#include "shared/errors.h"

namespace vesk {

using namespace platform;

TextureManagerClass* TextureManager = nullptr;

namespace {

bool EndsWith(const std::string& s, const char* tail) {
    const size_t n = std::char_traits<char>::length(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The checker pattern: 8x8 squares of magenta and dark grey, 64x64 texels.
std::vector<uint8_t> CheckerPixels(uint32_t side) {
    std::vector<uint8_t> px(size_t(side) * side * 4);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x) {
            uint8_t* p = &px[(size_t(y) * side + x) * 4];
            const bool odd = ((x / 8) + (y / 8)) & 1;
            p[0] = odd ? 0x40 : 0xFF;
            p[1] = odd ? 0x40 : 0x00;
            p[2] = odd ? 0x40 : 0xFF;
            p[3] = 0xFF;
        }
    return px;
}

} // namespace

// ---- TextureNodeClass -------------------------------------------------------------------
uint32_t TextureNodeClass::ReleaseRef() {
    const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) Free();
    return left;
}

void TextureNodeClass::Free() {
    texture_ = nullptr;
    if (video_) std::exchange(video_, nullptr)->Free();
    if (manager_) std::exchange(manager_, nullptr)->RemoveNode(this);
    TEngineObject::Free();
}

IDirect3DTexture9* TextureNodeClass::GetTexture() {
    if (reloadPending_) Reload();
    return texture_.Get();
}

void TextureNodeClass::SetTexture(IDirect3DTexture9* texture) {
    texture_ = Ref<IDirect3DTexture9>::Share(texture);
    if (!texture) return;
    Ref<IDirect3DSurface9> surface;
    if (Failed(texture->GetSurfaceLevel(0, surface.Put())) || !surface) {
        ErrorReport("TextureNodeClass.SetTexture: _tex.GetSurfaceLevel(0,surf)", "mhl");
        return;
    }
    surface->GetDesc(&desc_);
}

void TextureNodeClass::UseMemoryChecker() {
    texture_ = nullptr;
    if (!Device) return;
    const uint32_t side = 64;
    const std::vector<uint8_t> px = CheckerPixels(side);
    Ref<IDirect3DTexture9> tex;
    if (Failed(CreateTextureFromBgra(Device.Get(), px.data(), side, side, mipLevels_, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, tex.Put())))
        return;
    texture_ = tex;
    texture_->GetLevelDesc(0, &desc_);
}

void TextureNodeClass::CreateFromFile(const std::string& fileName, D3DFORMAT format, bool mipmaps,
                                      const std::string& name) {
    fileName_ = fileName;
    name_ = name;
    mipmaps_ = mipmaps;
    std::string path = fileName;

    // A bare name gets the first extension whose file exists. Only the part
    // after the data folder counts, so a dot in the data folder's own name
    // does not stop the search.
    const std::string tail = path.substr(std::min(path.size(), DataPath.size()));
    if (tail.find('.') == std::string::npos) {
        static const char* const kExtensions[] = {".DDS", ".JPG", ".BMP", ".AVI"};
        for (const char* ext : kExtensions)
            if (FileExists(path + ext)) {
                path += ext;
                if (ext == kExtensions[0]) format = D3DFMT_UNKNOWN; // the file's own format
                break;
            }
    }
    if (!FileExists(path)) {
        FastLogAddError("TEXTURE NOT FOUND: " + path);
        path = DataPath + kCheckerTexture;
    }
    mipLevels_ = mipmaps ? 0 : 1;
    fullName_ = path;
    reloadPending_ = false;
    const std::string upper = UpperCaseCp1251(path);

    if (!Device) return; // nothing to load into (headless run)
    if (EndsWith(upper, ".AVI")) {
        // A video texture: its player loops it from now on and keeps the
        // texture at the current frame while the updater manager ticks it.
        if (video_) std::exchange(video_, nullptr)->Free();
        video_ = VideoRendererClass::Create(Device.Get());
        video_->Load(path);
        video_->SetLoop(true);
        video_->Play();
        SetTexture(video_->GetTexture());
        mipLevels_ = 1;
        return;
    }
    if (!FileExists(path)) {
        UseMemoryChecker();
        return;
    }

    uint32_t width = 0, height = 0;
    if (usage_ >= 1) {
        D3DXIMAGE_INFO info;
        const Result r = D3DXGetImageInfoFromFileA(path.c_str(), &info);
        if (Failed(r)) {
            ReportDXError("D3DXGetImageInfoFromFile(" + path + "): ", r, "mhl");
            UseMemoryChecker();
            return;
        }
        width = info.Width;
        height = info.Height;
    }
    if ((format == D3DFMT_R8G8B8 || format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5) &&
        UpperCaseCp1251(fullName_).find("/FX/") == std::string::npos)
        format = D3DFMT_DXT1;

    Ref<IDirect3DTexture9> tex;
    const Result r = D3DXCreateTextureFromFileExA(Device.Get(), path.c_str(), width, height, mipLevels_, 0,
                                                  format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  nullptr, nullptr, tex.Put());
    if (Failed(r)) {
        ReportDXError("Failed TextureNodeClass.CreateFromFile: d3dxCreateTextureFromFile(" + path + "): ", r,
                      "mhl");
        UseMemoryChecker();
        return;
    }
    texture_ = tex;
    texture_->GetLevelDesc(0, &desc_);
}

void TextureNodeClass::Reload() {
    reloadPending_ = false;
    if (fullName_.empty() || EndsWith(UpperCaseCp1251(fullName_), ".AVI")) return;
    texture_ = nullptr;
    CreateFromFile(fileName_, desc_.Format, mipmaps_, name_);
}

void TextureNodeClass::MarkForReload() {
    if (texture_ && !fileName_.empty()) reloadPending_ = true;
}

// ---- TextureManagerClass ----------------------------------------------------------------
TextureManagerClass::TextureManagerClass() {
    AddTexture("", nullptr);
}

TextureNodeClass* TextureManagerClass::Append(int usage) {
    auto* node = TEngineObject::New<TextureNodeClass>(this);
    node->SetUsage(usage);
    node->AddRef(); // the list's reference
    nodes_.push_back(node);
    return node;
}

std::string TextureManagerClass::KeyOf(const std::string& name) {
    std::string key = UpperCaseCp1251(BackslashesToSlashes(name));
    const size_t at = key.find("TEXTURES/");
    if (at != std::string::npos) key = key.substr(at + 9);
    return UpperCaseCp1251(DataPath + "TEXTURES/" + key);
}

TextureRef TextureManagerClass::GetTexture(const std::string& name, D3DFORMAT format, bool mipmaps) {
    return LoadTexture(name, 1, format, mipmaps);
}

TextureRef TextureManagerClass::LoadTexture(const std::string& name, int usage, D3DFORMAT format,
                                            bool mipmaps) {
    const std::string key = KeyOf(name);
    for (TextureNodeClass* node : nodes_)
        if (node->GetFileName() == key) return TextureRef(node);
    TextureNodeClass* node = Append(usage);
    TextureRef ref(node);
    node->CreateFromFile(key, format, mipmaps, name);
    return ref;
}

TextureRef TextureManagerClass::AddTexture(const std::string& name, IDirect3DTexture9* texture) {
    TextureNodeClass* node = Append(0);
    node->SetName(name);
    node->SetTexture(texture);
    return TextureRef(node);
}

TextureRef TextureManagerClass::GetDefaultTexture() {
    return nodes_.empty() ? TextureRef() : TextureRef(nodes_[0]);
}

bool TextureManagerClass::RE_FindTextureByFileName(const std::string& name, TextureRef& out) {
    out = nullptr;
    for (TextureNodeClass* node : nodes_) {
        if (!node) {
            ErrorReport("TextureManagerClass.RE_FindTextureByFileName: tnode = nil", "mhl");
            return false;
        }
        if (SameTextCp1251(node->GetName(), name)) {
            out = TextureRef(node);
            return true;
        }
    }
    FastLogAdd("--------------------------begin texes[]--------------------------");
    FastLogAdd("try to find \"" + name + "\" in: ");
    for (TextureNodeClass* node : nodes_) FastLogAdd(node->GetName());
    FastLogAdd("--------------------------end texes[]--------------------------");
    return false;
}

void TextureManagerClass::RE_ReloadTexture(const std::string& name) {
    TextureRef node;
    if (!RE_FindTextureByFileName(name, node)) {
        ErrorReport("TextureManagerClass.RE_ReloadTexture: tex not found: " + name, "mhl");
        return;
    }
    node->Reload();
}

void TextureManagerClass::InvalidateAll() {
    ClearCachedTextures();
    for (size_t i = 1; i < nodes_.size(); ++i) nodes_[i]->MarkForReload();
}

void TextureManagerClass::RemoveNode(TextureNodeClass* node) {
    std::erase(nodes_, node);
}

void TextureManagerClass::Free() {
    // Nodes still held elsewhere outlive the manager without touching its lists.
    std::vector<TextureNodeClass*> nodes;
    nodes.swap(nodes_);
    for (TextureNodeClass* node : nodes) node->Detach();
    for (TextureNodeClass* node : nodes) node->ReleaseRef();
    TEngineObject::Free();
}

void RE_CreateTextureManager() {
    if (!TextureManager) TextureManager = TEngineObject::New<TextureManagerClass>();
}

void RE_FreeTextureManager() {
    if (TextureManager) std::exchange(TextureManager, nullptr)->Free();
}

} // namespace vesk
