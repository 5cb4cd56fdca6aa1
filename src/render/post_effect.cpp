#include "render/post_effect.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "platform/files.h"
#include "platform/gfx/d3dx.h"

namespace vesk {

using namespace platform;

namespace {

// Registers and sampler stages a pixel shader has.
constexpr uint32_t kSamplers = 8;

bool ParseRegister(const std::string& word, char kind, uint32_t& out) {
    if (word.size() < 2 || word[0] != kind) return false;
    uint32_t v = 0;
    for (size_t i = 1; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9' || v > 1000) return false;
        v = v * 10 + uint32_t(word[i] - '0');
    }
    out = v;
    return true;
}

bool IsName(const std::string& s) {
    if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

} // namespace

Result PostEffect::Create(IDirect3DDevice9* device, const std::string& text, std::unique_ptr<PostEffect>& out,
                          std::string* errors) {
    out.reset();
    auto fail = [&](int line, const std::string& why, Result r = D3DXERR_INVALIDDATA) {
        if (errors) *errors = "(" + std::to_string(line) + "): " + why;
        return r;
    };
    if (!device) return fail(0, "no device", D3DERR_INVALIDCALL);
    auto effect = std::unique_ptr<PostEffect>(new PostEffect);
    effect->device_ = Ref<IDirect3DDevice9>::Share(device);
    std::string shared;
    struct Body {
        std::string name;
        std::string text;
        int line;
    };
    std::vector<Body> bodies;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("#parameter", 0) == 0) {
            std::istringstream words(line.substr(10));
            std::string name, type, reg, count;
            words >> name >> type >> reg >> count;
            Param p;
            p.desc.name = name;
            if (!IsName(name) || effect->Find(name)) return fail(lineNo, "bad or repeated parameter name");
            if (type == "texture") {
                p.desc.type = ParamType::Texture;
                if (!ParseRegister(reg, 's', p.desc.reg) || p.desc.reg >= kSamplers || !count.empty())
                    return fail(lineNo, "bad sampler of " + name);
            } else {
                static const char* kTypes[] = {"float", "float2", "float3", "float4"};
                auto it = std::find(std::begin(kTypes), std::end(kTypes), type);
                if (it == std::end(kTypes)) return fail(lineNo, "unknown type " + type);
                p.desc.columns = uint32_t(it - std::begin(kTypes)) + 1;
                if (!count.empty()) {
                    uint32_t n = 0;
                    if (!ParseRegister("c" + count, 'c', n) || n == 0)
                        return fail(lineNo, "bad count of " + name);
                    p.desc.elements = n;
                }
                if (!ParseRegister(reg, 'c', p.desc.reg) ||
                    p.desc.reg + p.desc.elements > kMaxPixelShaderConstF)
                    return fail(lineNo, "bad register of " + name);
                p.values.assign(p.desc.Floats(), 0.0f);
            }
            effect->params_.push_back(std::move(p));
        } else if (line.rfind("#technique", 0) == 0) {
            std::istringstream words(line.substr(10));
            std::string name;
            words >> name;
            if (!IsName(name) || effect->HasTechnique(name) ||
                std::any_of(bodies.begin(), bodies.end(), [&](const Body& b) { return b.name == name; }))
                return fail(lineNo, "bad or repeated technique name");
            bodies.push_back({name, "", lineNo + 1});
        } else if (bodies.empty()) {
            shared += line + "\n";
        } else {
            bodies.back().text += line + "\n";
        }
    }
    if (bodies.empty()) return fail(lineNo, "no technique");
    std::string header = "#pixelshader\n";
    for (const Param& p : effect->params_) {
        if (p.desc.type == ParamType::Texture)
            header += "#define " + p.desc.name + " s" + std::to_string(p.desc.reg) + "\n";
        else
            header += "#const " + p.desc.name + " c" + std::to_string(p.desc.reg) +
                      (p.desc.elements > 1 ? " " + std::to_string(p.desc.elements) : "") + "\n";
    }
    for (const Body& b : bodies) {
        const std::string source = header + shared + b.text;
        Ref<ID3DXBuffer> code, errs;
        Result r = D3DXAssembleShader(source.data(), uint32_t(source.size()), nullptr, nullptr, 0, code.Put(),
                                      errs.Put());
        if (Failed(r) || !code)
            return fail(b.line,
                        "technique " + b.name + ": " +
                            (errs ? static_cast<const char*>(errs->GetBufferPointer()) : ""),
                        Failed(r) ? r : D3DXERR_INVALIDDATA);
        Technique t;
        t.name = b.name;
        r = device->CreatePixelShader(static_cast<const uint32_t*>(code->GetBufferPointer()), t.shader.Put());
        if (Failed(r)) return fail(b.line, "technique " + b.name + ": " + device->GetLastShaderError(), r);
        effect->techniques_.push_back(std::move(t));
    }
    out = std::move(effect);
    return D3D_OK;
}

Result PostEffect::CreateFromFile(IDirect3DDevice9* device, const std::string& fileName,
                                  std::unique_ptr<PostEffect>& out, std::string* errors) {
    out.reset();
    std::string text;
    if (!ReadFile(fileName, text)) {
        if (errors) *errors = fileName + ": file not found";
        return D3DERR_NOTFOUND;
    }
    Result r = Create(device, text, out, errors);
    if (Failed(r) && errors) *errors = fileName + *errors;
    return r;
}

PostEffect::Param* PostEffect::Find(const std::string& name) {
    for (Param& p : params_)
        if (p.desc.name == name) return &p;
    return nullptr;
}

const PostEffect::Param* PostEffect::Find(const std::string& name) const {
    return const_cast<PostEffect*>(this)->Find(name);
}

const PostEffect::ParamDesc* PostEffect::GetParameterDesc(const std::string& name) const {
    const Param* p = Find(name);
    return p ? &p->desc : nullptr;
}

Result PostEffect::SetValue(const std::string& name, const void* data, uint32_t bytes) {
    Param* p = Find(name);
    if (!p || p->desc.type != ParamType::Float || (!data && bytes)) return D3DERR_INVALIDCALL;
    const size_t n = std::min<size_t>(bytes / 4, p->values.size());
    if (n) std::memcpy(p->values.data(), data, n * 4);
    return D3D_OK;
}

Result PostEffect::SetTexture(const std::string& name, IDirect3DBaseTexture9* texture) {
    Param* p = Find(name);
    if (!p || p->desc.type != ParamType::Texture) return D3DERR_INVALIDCALL;
    p->texture = Ref<IDirect3DBaseTexture9>::Share(texture);
    return D3D_OK;
}

std::vector<float> PostEffect::GetFloats(const std::string& name) const {
    const Param* p = Find(name);
    return p ? p->values : std::vector<float>{};
}

bool PostEffect::HasTechnique(const std::string& name) const {
    return std::any_of(techniques_.begin(), techniques_.end(),
                       [&](const Technique& t) { return t.name == name; });
}

IDirect3DPixelShader9* PostEffect::TechniqueShader(const std::string& name) const {
    for (const Technique& t : techniques_)
        if (t.name == name) return t.shader.Get();
    return nullptr;
}

Result PostEffect::SetTechnique(const std::string& name) {
    for (size_t i = 0; i < techniques_.size(); ++i)
        if (techniques_[i].name == name) {
            technique_ = int(i);
            current_ = name;
            return D3D_OK;
        }
    return D3DERR_INVALIDCALL;
}

Result PostEffect::Begin(uint32_t* passes, uint32_t) {
    if (technique_ < 0 || begun_) return D3DERR_INVALIDCALL;
    if (passes) *passes = 1;
    begun_ = true;
    return D3D_OK;
}

Result PostEffect::BeginPass(uint32_t pass) {
    if (!begun_ || inPass_ || pass != 0) return D3DERR_INVALIDCALL;
    inPass_ = true;
    Result r = device_->SetPixelShader(techniques_[size_t(technique_)].shader.Get());
    return Failed(r) ? r : CommitChanges();
}

Result PostEffect::CommitChanges() {
    if (!inPass_) return D3DERR_INVALIDCALL;
    Result r = D3D_OK;
    for (const Param& p : params_) {
        if (Failed(r)) break;
        if (p.desc.type == ParamType::Texture) {
            if (p.texture) r = device_->SetTexture(p.desc.reg, p.texture.Get());
            continue;
        }
        std::vector<float> regs(size_t(p.desc.elements) * 4, 0.0f);
        for (uint32_t e = 0; e < p.desc.elements; ++e)
            for (uint32_t c = 0; c < p.desc.columns; ++c) regs[e * 4 + c] = p.values[e * p.desc.columns + c];
        r = device_->SetPixelShaderConstantF(p.desc.reg, regs.data(), p.desc.elements);
    }
    return r;
}

Result PostEffect::EndPass() {
    if (!inPass_) return D3DERR_INVALIDCALL;
    inPass_ = false;
    return D3D_OK;
}

Result PostEffect::End() {
    if (!begun_ || inPass_) return D3DERR_INVALIDCALL;
    begun_ = false;
    return D3D_OK;
}

} // namespace vesk
