#include "render/material.h"

#include <algorithm>
#include <bit>

#include "core/config_record.h"
#include "core/lua_readers.h"
#include "platform/text.h"
#include "render/device.h"
#include "render/shader.h"
#include "render/vertex_buffers.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

using namespace platform;

std::atomic<int> MaterialCount{0};

namespace {

ColorValue ToColorValue(uint32_t c) {
    return {float((c >> 16) & 255) / 255.0f, float((c >> 8) & 255) / 255.0f, float(c & 255) / 255.0f,
            float(c >> 24) / 255.0f};
}

std::string TableOf(const std::string& materialName) {
    return "materials[" + LuaQuote(materialName) + "]";
}

} // namespace

D3DFORMAT MaterialFormatFromText(const std::string& text) {
    const std::string t = UpperCaseCp1251(text);
    if (t == "X8R8G8B8") return D3DFMT_X8R8G8B8;
    if (t == "A8R8G8B8") return D3DFMT_A8R8G8B8;
    if (t == "R8G8B8") return D3DFMT_R8G8B8;
    if (t == "R5G6B5") return D3DFMT_R5G6B5;
    return D3DFMT_UNKNOWN;
}

// ---- TexturePropertiesClass ---------------------------------------------------------------
TexturePropertiesClass::TexturePropertiesClass(uint16_t stage) : stage_(stage) {
    if (TextureManager) texture_ = TextureManager->GetDefaultTexture();
}

void TexturePropertiesClass::SetTexture(const TextureRef& texture) {
    if (texture)
        texture_ = texture;
    else
        texture_ = TextureManager ? TextureManager->GetDefaultTexture() : TextureRef();
}

void TexturePropertiesClass::SetFilters(uint32_t minFilter, uint32_t magFilter, uint32_t mipFilter) {
    minFilter_ = minFilter;
    magFilter_ = magFilter;
    mipFilter_ = mipFilter;
}

void TexturePropertiesClass::AddStageState(D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    stageStates_.push_back({stage_, type, value});
}

void TexturePropertiesClass::AddRestoreStageState(D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    restoreStageStates_.push_back({stage_, type, value});
}

void TexturePropertiesClass::AddRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    renderStates_.push_back({state, value});
}

// The mip bias (not cached), the min, mag and mip filters (cached), the render
// states (never cached) and the stage states (cached), then the texture.
[[gnu::always_inline]] inline void TexturePropertiesClass::ApplyTo(IDirect3DDevice9& device) {
    DeviceStateCache& cache = DeviceCache;
    cache.SetSamplerState(device, -1, stage_, D3DSAMP_MIPMAPLODBIAS, std::bit_cast<uint32_t>(mipBias_));
    cache.SetSamplerState(device, DeviceStateCache::kMinFilter, stage_, D3DSAMP_MINFILTER, minFilter_);
    cache.SetSamplerState(device, DeviceStateCache::kMagFilter, stage_, D3DSAMP_MAGFILTER, magFilter_);
    cache.SetSamplerState(device, DeviceStateCache::kMipFilter, stage_, D3DSAMP_MIPFILTER, mipFilter_);
    for (const MaterialRenderState& r : renderStates_) device.SetRenderState(r.state, r.value);
    for (const StageStateRecord& r : stageStates_) cache.SetStageState(device, r.stage, r.type, r.value);
    // Asked for after the states: a texture waiting for a reload loads here.
    cache.SetTexture(device, stage_, texture_ ? texture_->GetTexture() : nullptr);
}

void TexturePropertiesClass::Apply() {
    if (IDirect3DDevice9* device = Device.Get()) {
        ApplyTo(*device);
        return;
    }
    // Without a device nothing is set, but a pending reload still runs.
    if (texture_) texture_->GetTexture();
}

TexturePropertiesClass* TexturePropertiesClass::Copy() const {
    auto* copy = TEngineObject::New<TexturePropertiesClass>(stage_);
    copy->texture_ = texture_;
    copy->mipBias_ = mipBias_;
    copy->mipFilter_ = mipFilter_;
    copy->minFilter_ = minFilter_;
    copy->magFilter_ = magFilter_;
    copy->stageStates_ = stageStates_;
    copy->restoreStageStates_ = restoreStageStates_;
    copy->renderStates_ = renderStates_;
    return copy;
}

// ---- MaterialClass ------------------------------------------------------------------------
MaterialClass* MaterialClass::Create() {
    auto* m = new MaterialClass();
    ++MaterialCount;
    for (uint16_t i = 0; i < 3; ++i) m->AppendStage(i);
    return m;
}

void MaterialClass::Free() {
    ClearStages();
    if (pixelShader_) {
        ShaderClass* s = std::exchange(pixelShader_, nullptr);
        ReleaseShader(s);
    }
    --MaterialCount;
    TEngineObject::Free();
}

void MaterialClass::ClearStages() {
    std::vector<TexturePropertiesClass*> stages;
    stages.swap(stages_);
    for (TexturePropertiesClass* s : stages) s->Free();
}

TexturePropertiesClass* MaterialClass::AppendStage(uint16_t stage) {
    auto* s = TEngineObject::New<TexturePropertiesClass>(stage);
    stages_.push_back(s);
    return s;
}

TexturePropertiesClass* MaterialClass::GetTextureProp(uint32_t stage) {
    if (stage >= stages_.size()) {
        ErrorReport("MaterialClass.GetTextureProp: Texture.Count<=_stage", "mhl");
        return nullptr;
    }
    return stages_[stage];
}

IKWTexture* MaterialClass::GetTexture(uint32_t stage) {
    TexturePropertiesClass* s = GetTextureProp(stage);
    return s ? s->GetTexture() : nullptr;
}

void MaterialClass::SetTexture(uint32_t stage, const TextureRef& texture) {
    if (TexturePropertiesClass* s = GetTextureProp(stage)) s->SetTexture(texture);
}

void MaterialClass::Apply() {
    IDirect3DDevice9* device = Device.Get();
    if (!device) {
        for (TexturePropertiesClass* s : stages_) s->Apply();
        return;
    }
    device->SetMaterial(&material_);
    for (TexturePropertiesClass* s : stages_) s->ApplyTo(*device);
    device->SetRenderState(D3DRS_CULLMODE, twoSided_ ? D3DCULL_NONE : D3DCULL_CW);
    DeviceCache.SetPixelShader(*device, pixelShader_ ? pixelShader_->GetPixelShader() : nullptr);
}

void MaterialClass::SetColors(uint32_t diffuse, uint32_t specular, uint32_t ambient, uint32_t, float power) {
    material_.Diffuse = ToColorValue(diffuse);
    material_.Specular = ToColorValue(specular);
    material_.Ambient = ToColorValue(ambient);
    material_.Power = power;
}

void MaterialClass::SetPixelShader(PixelShaderClass* shader) {
    if (pixelShader_ == shader) return;
    if (pixelShader_) {
        ShaderClass* s = std::exchange(pixelShader_, nullptr);
        ReleaseShader(s);
    }
    pixelShader_ = shader;
}

void MaterialClass::SetTechnique(int technique) {
    if (technique == technique_) return;
    technique_ = technique;
    ClearStages();
    for (uint16_t i = 0; i < 3; ++i) AppendStage(i);
    AddStatesForTexturingTechnique(technique >= 255 ? 10 : technique);
}

namespace texturing {
namespace {

constexpr int TEX = int(D3DTA_TEXTURE), DIF = int(D3DTA_DIFFUSE), CUR = int(D3DTA_CURRENT);
constexpr StageOp Unset{};
constexpr StageOp Off{D3DTOP_DISABLE};
constexpr StageOp Sel1(int arg1, int arg2 = -1) {
    return {D3DTOP_SELECTARG1, arg1, arg2};
}
constexpr StageOp Mod(int arg1, int arg2) {
    return {D3DTOP_MODULATE, arg1, arg2};
}
constexpr StageOp Mod2x(int arg1, int arg2) {
    return {D3DTOP_MODULATE2X, arg1, arg2};
}
constexpr StageOp Add(int arg1, int arg2) {
    return {D3DTOP_ADD, arg1, arg2};
}
// MODULATE, MODULATE2X, MODULATE4X for the row's first, second, third technique.
constexpr StageOp ModEach(int arg1, int arg2) {
    return {kModulateByTechnique, arg1, arg2};
}

// A row whose trailing columns are left out sets nothing there.
constexpr Row R(std::array<int, 3> techniques, Blend blend = Blend::Untouched, StageOp colour0 = Unset,
                StageOp alpha0 = Unset, StageOp colour1 = Unset, StageOp alpha1 = Unset, int empty = -1,
                CoordIndex coord0 = {}, CoordIndex coord1 = {}, const char* report = nullptr) {
    return {techniques, blend, colour0, alpha0, colour1, alpha1, empty, coord0, coord1, report};
}

using B = Blend;

// clang-format off
constexpr Row kRows[] = {
    // The columns: techniques, blend, stage 0 colour and alpha, stage 1 colour and alpha, the stage
    // made empty, the coordinate sets of stages 0 and 1, a report.
    R({10},            B::Off,   Sel1(DIF),         Off,             Off,               Off,   0),
    R({20, 133},       B::Off,   Sel1(TEX),         Off,             Off,               Off,   1),
    R({30, 31, 32},    B::Off,   ModEach(TEX, DIF), Off,             Off,               Off,   1),
    R({40, 41, 42},    B::Off,   ModEach(TEX, DIF), Off,             Add(TEX, CUR),     Off,   2, {},     {0}),
    R({50},            B::Add,   Sel1(TEX),         Off,             Off,               Off,   1),
    R({51},            B::Add,   Sel1(DIF),         Off,             Off,               Off,   0),
    R({60, 61, 62},    B::Add,   ModEach(TEX, DIF), Off,             Off,               Off,   1),
    R({70},            B::Alpha, Sel1(TEX),         Sel1(TEX),       Unset,             Off,   1),
    R({80, 81, 82},    B::Alpha, ModEach(TEX, DIF), Mod(TEX, DIF),   Off,               Off,   1),
    R({90},            B::Alpha, Off,               Off,             Off,               Off,   0),
    R({100, 101, 102}, B::Alpha, ModEach(TEX, DIF), Sel1(TEX),       Off,               Off,   1),
    R({110, 111, 112}, B::Alpha, ModEach(TEX, DIF), Mod2x(TEX, DIF), Off,               Off,   1),
    R({113}),
    R({114, 115, 116}, B::Off,   Sel1(TEX, DIF),    Off,             ModEach(TEX, CUR), Off,   2, {1, 0}, {0, 1}),
    R({130},           B::Off,   Unset,             Unset,           Unset,             Unset, 1),
    R({131},           B::Off,   Unset,             Unset,           Unset,             Unset, 2),
    // Would empty stage 3, which no material has: reported, and drawn as 131.
    R({132},           B::Off,   Unset,             Unset,           Unset,             Unset, 2, {},     {},
      "asks for texture stage 3, which a material does not have; drawn as technique 131"),
};
// clang-format on

} // namespace

std::span<const Row> Techniques() {
    return kRows;
}

const Row* FindTechnique(int technique, uint32_t* place) {
    if (technique == kNoTechnique) return nullptr;
    for (const Row& row : kRows) {
        const auto it = std::find(row.techniques.begin(), row.techniques.end(), technique);
        if (it == row.techniques.end()) continue;
        if (place) *place = uint32_t(it - row.techniques.begin());
        return &row;
    }
    return nullptr;
}

} // namespace texturing

void MaterialClass::AddStatesForTexturingTechnique(int t) {
    using namespace texturing;
    if (stages_.empty()) {
        ErrorReport("MaterialClass.AddStatesForTexturingTehcnique: Texture.Count=0", "mhl");
        return;
    }
    uint32_t place = 0;
    const Row* row = FindTechnique(t, &place);
    if (!row) return;

    auto op = [&](uint32_t stage, bool colour, const StageOp& o) {
        if (!o.op) return;
        TexturePropertiesClass* s = GetTextureProp(stage);
        if (!s) return;
        s->AddStageState(colour ? D3DTSS_COLOROP : D3DTSS_ALPHAOP,
                         o.op == kModulateByTechnique ? D3DTOP_MODULATE + place : o.op);
        if (o.arg1 >= 0) s->AddStageState(colour ? D3DTSS_COLORARG1 : D3DTSS_ALPHAARG1, uint32_t(o.arg1));
        if (o.arg2 >= 0) s->AddStageState(colour ? D3DTSS_COLORARG2 : D3DTSS_ALPHAARG2, uint32_t(o.arg2));
    };
    auto coord = [&](uint32_t stage, const CoordIndex& c) {
        if (c.index < 0) return;
        TexturePropertiesClass* s = GetTextureProp(stage);
        if (!s) return;
        s->AddStageState(D3DTSS_TEXCOORDINDEX, uint32_t(c.index));
        if (c.restore >= 0) s->AddRestoreStageState(D3DTSS_TEXCOORDINDEX, uint32_t(c.restore));
    };

    switch (row->blend) {
    case Blend::Untouched:
        break;
    case Blend::Off:
        stages_[0]->AddRenderState(D3DRS_ALPHABLENDENABLE, 0);
        break;
    case Blend::Add:
    case Blend::Alpha: {
        const bool add = row->blend == Blend::Add;
        stages_[0]->AddRenderState(D3DRS_ALPHABLENDENABLE, 1);
        stages_[0]->AddRenderState(D3DRS_SRCBLEND, add ? D3DBLEND_ONE : D3DBLEND_SRCALPHA);
        stages_[0]->AddRenderState(D3DRS_DESTBLEND, add ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
        break;
    }
    }
    op(0, true, row->colour0);
    coord(0, row->coord0);
    op(0, false, row->alpha0);
    coord(1, row->coord1);
    op(1, true, row->colour1);
    op(1, false, row->alpha1);
    if (row->empty >= 0) {
        if (TexturePropertiesClass* s = GetTextureProp(uint32_t(row->empty))) s->SetTexture(nullptr);
    }
    // A content fault: the error log names the material and the file that asked for it, and the
    // game goes on with the row's stages.
    if (row->report)
        ErrorReport(NamingFile("MaterialClass.AddStatesForTexturingTechnique: technique " +
                                   std::to_string(t) + " of material \"" + name_ + "\" " + row->report,
                               file_),
                    "m");
}

MaterialClass* MaterialClass::Copy() const {
    MaterialClass* m = Create();
    m->ClearStages();
    m->name_ = name_;
    m->file_ = file_;
    m->twoSided_ = twoSided_;
    m->material_ = material_;
    m->technique_ = technique_;
    for (const TexturePropertiesClass* s : stages_) m->stages_.push_back(s->Copy());
    m->pixelShader_ = pixelShader_;
    if (pixelShader_ && !pixelShader_->Loaded())
        m->pixelShader_ = static_cast<PixelShaderClass*>(pixelShader_->Copy());
    m->primCount_ = primCount_;
    return m;
}

// ---- reading from Lua ------------------------------------------------------------------------
namespace {

// The values of one SetMaterialFromLua call: each key is read from the
// material's table entry and, when that is empty, from the alternate's.
struct LuaMaterialReader {
    std::string name, alternate;
    std::string x, a; // the two table entries as Lua expressions
    MaterialLuaMemo* memo = nullptr;

    std::string Read(const std::string& table, const std::string& key) const {
        const std::string expression = table + "." + key;
        if (!memo) return GetLuaString(expression, true);
        return memo->Read(expression, [&] { return GetLuaString(expression, true); });
    }
    std::string ReadDef(const std::string& test, const std::string& expression,
                        const std::string& def) const {
        if (!memo) return GetLuaStringDef(test, expression, def);
        // Told apart from plain reads, which never start with a newline.
        return memo->Read("\n" + test + "\n" + expression + "\n" + def,
                          [&] { return GetLuaStringDef(test, expression, def); });
    }
    // The text and the name of the entry that gave it (the alternate when both are empty).
    std::string ReadXA(const std::string& key, const std::string& alt, std::string& source) const {
        std::string t = Read(x, key);
        source = name;
        if (t.empty()) {
            t = Read(TableOf(alt), key);
            source = alt;
        }
        return t;
    }
    std::string Context(const char* reader, const std::string& source, const std::string& key,
                        const std::string& alt) const {
        return std::string("MaterialClass.") + reader + ": script_GetVar(material[\"" + source + "\"]." +
               key + "), _PropertyName: " + key + ", _MaterialName: " + name +
               ", _AlternateMaterialName: " + alt;
    }
    int32_t Int(const std::string& key, const std::string& alt) const {
        std::string source;
        const std::string t = ReadXA(key, alt, source);
        return kws2i(t, Context("ReadDWORDFromLUA", source, key, alt));
    }
    uint32_t Color(const std::string& key, const std::string& alt) const {
        std::string source;
        const std::string t = ReadXA(key, alt, source);
        uint32_t v = uint32_t(kws2i("$" + t, Context("ReadColorFromLUA", source, key, alt)));
        if (v < 0xFFFFFFu) v |= 0xFF000000u;
        return v;
    }
    float Float(const std::string& key, const std::string& alt) const {
        std::string source;
        const std::string t = ReadXA(key, alt, source);
        return kws2f(t, Context("ReadFloatFromLUA", source, key, alt));
    }
};

} // namespace

std::string MaterialLuaMemo::Read(const std::string& expression, const std::function<std::string()>& read) {
    if (replaying_) {
        if (auto it = texts_.find(expression); it != texts_.end()) return it->second;
    }
    // While the first material reads, every read goes to Lua, repeated ones too:
    // what Lua is left holding is then the same for each material.
    std::string text = read();
    texts_.insert_or_assign(expression, text);
    return text;
}

bool MaterialClass::SetMaterialFromLua(const std::string& name, const std::string& alternate,
                                       MaterialLuaMemo* memo, const std::string& file) {
    // The memo answers once one whole material has been read through it.
    struct CloseMemo {
        MaterialLuaMemo* memo;
        ~CloseMemo() {
            if (memo) memo->Close();
        }
    } closeMemo{memo};
    name_ = name;
    file_ = file;
    LuaMaterialReader r{name, alternate, TableOf(name), TableOf(alternate), memo};
    if (alternate.empty()) {
        ErrorReport(
            "MaterialClass.SetMaterialFromLua: _alternateMaterialName=\"\" - you must pass valid name",
            "mhl");
        return false;
    }
    if (r.Read(r.a, "id").empty()) {
        ErrorReport("MaterialClass.SetMaterialFromLua: "
                    "IsLuaStringNotEmpty(_alternateMaterialName,_alternateMaterialName): "
                    "<>" +
                        alternate,
                    "mhl");
        return false;
    }
    bool usedAlternate = false;
    if (r.Read(r.x, "id").empty()) {
        FastLogAddError("MaterialClass.SetMaterialFromLua: MATERIAL NOT FOUND: " + name + ", use " +
                        alternate);
        usedAlternate = true;
    }

    SetTechnique(r.Int("texture_technique", alternate));

    if (const std::string shader = r.Read(r.x, "shader"); !shader.empty()) {
        ShaderClass* s = nullptr;
        if (PixelShadersManager) PixelShadersManager->GetShader(shader, s);
        SetPixelShader(dynamic_cast<PixelShaderClass*>(s));
    }

    const uint32_t diffuse = r.Color("diffuse_color", alternate);
    const uint32_t specular = r.Color("specular_color", alternate);
    const uint32_t ambient = r.Color("ambient_color", alternate);
    const uint32_t emissive = r.Color("emissive_color", alternate);
    SetColors(diffuse, specular, ambient, emissive, r.Float("power", alternate));

    // Stage maps: materials[name].maps[1..n], one stage each.
    const std::string countText = r.ReadDef(r.x, "length(" + r.x + ".maps)", "0");
    const int32_t count = kws2i(countText, "MaterialClass.SetMaterialFromLua: " + name + ", length(maps)");
    if (count > 0) {
        ClearStages();
        for (int32_t i = 1; i <= count; ++i) {
            const uint32_t stage = uint32_t(i - 1);
            // The record's stage is the device stage its texture goes to.
            AppendStage(uint16_t(stage));
            const std::string prefix = "maps[" + std::to_string(i) + "]";
            const std::string mapName = r.Read(r.x, prefix + ".name");
            if (mapName.empty()) break;
            const D3DFORMAT format = MaterialFormatFromText(r.Read(r.x, prefix + ".format"));
            const bool mipmaps = r.Read(r.x, prefix + ".mipmaps") == "1";
            if (TextureManager) SetTexture(stage, TextureManager->GetTexture(mapName, format, mipmaps));
            TexturePropertiesClass* s = GetTextureProp(stage);
            const float bias = r.Float(prefix + ".mipbias", alternate);
            const uint32_t minF = uint32_t(r.Int(prefix + ".minfilter", alternate));
            const uint32_t magF = uint32_t(r.Int(prefix + ".magfilter", alternate));
            const uint32_t mipF = uint32_t(r.Int(prefix + ".mipfilter", alternate));
            if (s) {
                s->SetMipBias(bias);
                s->SetFilters(minF, magF, mipF);
            }
        }
    }

    // Named maps.
    static const char* const kMapKeys[4] = {"diffuse_map", "luminace_map", "light_map", "opacity_map"};
    std::string mapName[4], mapTable[4];
    for (int k = 0; k < 4; ++k) {
        mapTable[k] = r.x;
        mapName[k] = r.Read(r.x, std::string(kMapKeys[k]) + ".name");
        if (mapName[k].empty()) {
            mapTable[k] = r.a;
            mapName[k] = r.Read(r.a, std::string(kMapKeys[k]) + ".name");
        }
    }
    const int special = int(!mapName[1].empty()) + int(!mapName[2].empty()) + int(!mapName[3].empty());
    if (special > 1) ErrorReport("MaterialClass.SetMaterialFromLua: " + name + " maps error", "mhl");

    auto loadMap = [&](uint32_t stage, int k) {
        if (mapName[k].empty()) return;
        const std::string key = kMapKeys[k];
        int usage = 1;
        if (const std::string t = r.Read(r.x, "maxdivider"); !t.empty())
            usage = std::min(kws2i(t, r.Context("ReadDWORDFromLUA", name, "maxdivider", alternate)),
                             SetupRecord.textureDivider);
        const D3DFORMAT format = MaterialFormatFromText(r.Read(mapTable[k], key + ".format"));
        const bool mipmaps = r.Read(mapTable[k], key + ".mipmaps") == "1";
        TextureRef tex =
            TextureManager ? TextureManager->LoadTexture(mapName[k], usage, format, mipmaps) : TextureRef();
        TexturePropertiesClass* s = GetTextureProp(stage);
        if (!s) return;
        s->SetTexture(tex);
        const float bias = r.Float(key + ".mipbias", "checker");
        const uint32_t mipF = uint32_t(r.Int(key + ".mipfilter", "checker"));
        const uint32_t magF = uint32_t(r.Int(key + ".magfilter", "checker"));
        const uint32_t minF = uint32_t(r.Int(key + ".minfilter", "checker"));
        s->SetMipBias(bias);
        s->SetFilters(minF, magF, mipF);
    };
    if (!mapName[1].empty()) { // luminance
        loadMap(0, 0);
        loadMap(1, 1);
    } else if (!mapName[2].empty()) { // light map
        loadMap(0, 2);
        loadMap(1, 0);
    } else if (!mapName[3].empty()) { // opacity
        loadMap(0, 3);
        loadMap(1, 3);
    } else {
        loadMap(0, 0);
    }
    return usedAlternate;
}

// ---- ROMaterialClass ------------------------------------------------------------------------
ROMaterialClass::ROMaterialClass() : material_(MaterialClass::Create()) {}

void ROMaterialClass::SetIB(IIndexBuffer* ib) {
    if (!ib) {
        ErrorReport("ROMaterialClass.SetIB: fib = nil", "mhl");
        return;
    }
    if (ib_ && ib_ != ib) ib_->Release();
    ib_ = ib;
}

Result ROMaterialClass::LockIB(uint32_t count, void** data) {
    if (!ib_) return D3DERR_INVALIDCALL;
    return ib_->Lock(data, 0, count, 0);
}

void ROMaterialClass::UnlockIB() {
    if (ib_) ib_->Unlock();
}

ROMaterialClass* ROMaterialClass::Copy() const {
    auto* copy = TEngineObject::New<ROMaterialClass>();
    copy->material_->Free();
    copy->material_ = material_->Copy();
    if (ib_) copy->ib_ = ib_->Copy();
    return copy;
}

void ROMaterialClass::Free() {
    if (ib_) std::exchange(ib_, nullptr)->Release();
    if (material_ && !material_->Shared()) material_->Free();
    material_ = nullptr;
    TEngineObject::Free();
}

// ---- MaterialManClass -----------------------------------------------------------------------
MaterialManClass::~MaterialManClass() {
    for (MaterialClass* m : materials_) m->Free();
}

} // namespace vesk
