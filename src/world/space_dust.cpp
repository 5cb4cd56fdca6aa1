#include "world/space_dust.h"

#include "core/lua_readers.h"
#include "core/var_list.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/managers.h"
#include "render/render_object.h"
#include "render/shader.h"
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vesk {

namespace {

const bool kRegistered = RegisterRenderUnitClass<DustClass>("DustClass");

// Z test on, lighting off, no depth writes, clipping on: the vertex colours
// are the dust's own, and a speck never hides what lies behind it.
constexpr uint64_t kDustApplyStates = 0x10029;
// D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY: the lines are written every frame.
constexpr uint32_t kDustUsage = 520;
// Vertex colours added to what is drawn, no texture.
constexpr int kAddDiffuseTechnique = 51;

// A streak is measured on the 1024 x 768 screen the interface uses.
constexpr float kHalfScreenWidth = 512.0f, kHalfScreenHeight = 384.0f;

int32_t RandomBelow(int32_t n) {
    return std::min(n - 1, static_cast<int32_t>(UniformRandom() * static_cast<float>(n)));
}

} // namespace

void DustClass::Init(TBaseRenderUnit* parent) {
    (void)kRegistered;
    TBaseRenderUnit::Init(parent);
    SetFlag(0x810000);
    SetName("dust");
    baseColour_ = colour_ = 0xFF302020;
    dustLen_ = 15.0f;
    decay_ = 4000.0f;
    lengthDecay_ = 1500.0f;
    streak_ = 0;
    watched_ = nullptr;
    cameraSeen_ = false;
    BuildParticles(5000, 250.0f, 25.0f);
    if (BRUTickMan) BRUTickMan->AddTickedObj(this, *TickHandle());
}

void DustClass::BuildParticles(int32_t count, float outerRadius, float innerRadius) {
    count_ = std::max<int32_t>(count, kCells);
    perCell_ = count_ / kCells;
    outer_ = outerRadius;
    inner_ = innerRadius;
    fade_ = (outer_ - inner_) * 0.5f;
    span_ = outer_ * 2.0f;
    const int32_t span = std::max<int32_t>(1, static_cast<int32_t>(span_));
    for (Cell& cell : cells_) {
        cell.randomValue = static_cast<float>(RandomBelow(perCell_ * 60));
        cell.offsets.resize(static_cast<size_t>(perCell_));
        for (Vec3& o : cell.offsets)
            o = {static_cast<float>(RandomBelow(span)), static_cast<float>(RandomBelow(span)),
                 static_cast<float>(RandomBelow(span))};
        std::fill(std::begin(cell.marker), std::end(cell.marker), kUnsetMarker);
    }
    SortIntoBlocks();
    specks_.clear();
    specks_.reserve(static_cast<size_t>(count_));
    if (ro_) {
        ro_->Free();
        ro_ = nullptr;
    }
    ro_ = TEngineObject::New<TRenderObject>();
    ro_->SetName("dust");
    ro_->Create(platform::D3DPOOL_SYSTEMMEM, kDustApplyStates, 0, RO_LINES, static_cast<uint64_t>(count_),
                kDustUsage);
    ro_->GetRenderStates()->AddState(platform::D3DRS_DIFFUSEMATERIALSOURCE, platform::D3DMCS_COLOR1, "");
    if (ROMaterialClass* m = ro_->GetMaterial(0)) {
        m->SetTechnique(kAddDiffuseTechnique);
        m->SetPrimCount(0);
    }
}

void DustClass::Free() {
    if (TRenderObject* ro = std::exchange(ro_, nullptr)) ro->Free();
    if (TEngineObject* w = std::exchange(watched_, nullptr)) w->RemoveSubscriber(this);
    TBaseRenderUnit::Free();
}

bool DustClass::DiscardBRU() {
    if (TEngineObject* w = std::exchange(watched_, nullptr)) w->RemoveSubscriber(this);
    return TBaseRenderUnit::DiscardBRU();
}

void DustClass::Watch(TEngineObject* object) {
    if (watched_ == object) return;
    if (watched_) watched_->RemoveSubscriber(this);
    watched_ = object;
    if (watched_) watched_->AddSubscriber(this);
}

void DustClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && watched_ && sender->GetInstance() == watched_) {
        watched_ = nullptr;
        Kill();
    }
    TBaseRenderUnit::Message(sender, msg, param);
}

void DustClass::SetMode(int mode) {
    SetVisible(mode != 0);
}

void DustClass::DustLoadFromLua(const std::string& skyMeshName) {
    const std::string entry = "mesh[" + LuaQuote(skyMeshName) + "]";
    const std::string prefix = entry + ".DustParticles";
    if (GetLuaStringDef(entry, "length(" + prefix + ")", "0") == "0") {
        ErrorReport("DustClass.DustLoadFromLua: " + prefix + ", DustParticles must be declared", "mhl");
        return;
    }
    auto key = [&](const char* name) { return GetLuaString(prefix + "." + name, true); };
    auto context = [&](const char* name) { return "DustClass.DustLoadFromLua: " + GetName() + ", " + name; };
    if (const std::string t = key("DustLen"); !t.empty()) dustLen_ = kws2f(t, context("DustLen"));
    if (const std::string t = key("BaseColor"); !t.empty())
        baseColour_ = colour_ = static_cast<uint32_t>(kws2i("$" + t, context("BaseColor")));
    if (const std::string t = key("DecayConstant"); !t.empty()) decay_ = kws2f(t, context("DecayConstant"));
    if (const std::string t = key("LenghDecayConstant"); !t.empty())
        lengthDecay_ = kws2f(t, context("LenghDecayConstant"));
}

// ---- the frame -------------------------------------------------------------------------------

void DustClass::UpdateCamera(IViewCamera& camera) {
    const Vec3 eye = camera.GetPosition();
    const Matrix viewProj = MatrixProduct(camera.GetViewMatrix(), camera.GetProjMatrix());
    if (!cameraSeen_) {
        // The first sight of the camera is no motion.
        curPos_ = eye;
        curViewProj_ = viewProj;
        cameraSeen_ = true;
    }
    prevPos_ = curPos_;
    prevViewProj_ = curViewProj_;
    curPos_ = eye;
    curViewProj_ = viewProj;
    direction_ = camera.GetDirection();
    for (int a = 0; a < 3; ++a) {
        const float p = a == 0 ? eye.x : a == 1 ? eye.y : eye.z;
        cameraCell_[a] = static_cast<int32_t>(std::lround(p / span_));
    }
}

void DustClass::Tick(float dtMs) {
    TBaseRenderUnit::Tick(dtMs);
    IViewCamera* camera = Engine ? Engine->Viewports().GetViewportCamera(GetViewportID()) : nullptr;
    if (!camera) return;
    UpdateCamera(*camera);
    // A long frame would leave one long streak: the camera is taken twice, so it has none.
    if (dtMs >= 100.0f) UpdateCamera(*camera);
    if (dtMs > 0.0f) streak_ = Vec3Length(Vec3Sub(curPos_, prevPos_)) / dtMs * dustLen_;
    // Without a device (a headless run) the lines would never be drawn: none are built.
    if (Device && !GameUpdatesFrozen()) BuildVertices();
}

void DustClass::PlaceCells() {
    // The eight cells make a block of two by two by two cells whose middle is
    // the corner nearest the camera, so the shell around the eye always lies
    // inside it.
    for (int k = 0; k < kCells; ++k) {
        Cell& cell = cells_[static_cast<size_t>(k)];
        for (int a = 0; a < 3; ++a) cell.marker[a] = cameraCell_[a] + ((k >> a) & 1) - 1;
    }
}

void DustClass::SortIntoBlocks() {
    const float perUnit = span_ > 0.0f ? static_cast<float>(kSlabs) / span_ : 0.0f;
    auto slab = [perUnit](float v) { return std::clamp(static_cast<int>(v * perUnit), 0, kSlabs - 1); };
    for (size_t k = 0; k < cells_.size(); ++k) {
        const std::vector<Vec3>& offsets = cells_[k].offsets;
        CellBlocks& blocks = blocks_[k];
        blocks = CellBlocks{};
        blocks.words = (offsets.size() + 63) / 64;
        blocks.members.assign(blocks.words * kBlocks, 0);
        bool seen[3][kSlabs] = {};
        for (size_t i = 0; i < offsets.size(); ++i) {
            const float at[3] = {offsets[i].x, offsets[i].y, offsets[i].z};
            int b = 0;
            for (int a = 2; a >= 0; --a) {
                const int s = slab(at[a]);
                float& low = blocks.slabMin[a][s];
                float& high = blocks.slabMax[a][s];
                low = seen[a][s] ? std::min(low, at[a]) : at[a];
                high = seen[a][s] ? std::max(high, at[a]) : at[a];
                seen[a][s] = true;
                b = b * kSlabs + s;
            }
            blocks.filled |= uint64_t{1} << b;
            blocks.members[static_cast<size_t>(b) * blocks.words + i / 64] |= uint64_t{1} << (i % 64);
        }
    }
}

Vec3 DustClass::CellCorner(int cell) const {
    const Cell& c = cells_[static_cast<size_t>(cell)];
    return {static_cast<float>(c.marker[0]) * span_, static_cast<float>(c.marker[1]) * span_,
            static_cast<float>(c.marker[2]) * span_};
}

Vec3 DustClass::ParticlePosition(int cell, int index) const {
    const Vec3 corner = CellCorner(cell);
    const Vec3& o = cells_[static_cast<size_t>(cell)].offsets[static_cast<size_t>(index)];
    return {corner.x + o.x, corner.y + o.y, corner.z + o.z};
}

uint64_t DustClass::BlocksInShell(int cell, const Vec3& corner) const {
    // A particle's place and its distance from the eye are worked out as the
    // slabs' sides are here, and rounding keeps the order of what it rounds:
    // no particle of a block is nearer than the block's nearest point or
    // farther than its farthest corner.
    const CellBlocks& blocks = blocks_[static_cast<size_t>(cell)];
    const float eye[3] = {curPos_.x, curPos_.y, curPos_.z};
    const float base[3] = {corner.x, corner.y, corner.z};
    float nearest[3][kSlabs], farthest[3][kSlabs]; // squared, along each axis
    for (int a = 0; a < 3; ++a)
        for (int s = 0; s < kSlabs; ++s) {
            const float low = (base[a] + blocks.slabMin[a][s]) - eye[a];
            const float high = (base[a] + blocks.slabMax[a][s]) - eye[a];
            const float n = low > 0.0f ? low : (high < 0.0f ? -high : 0.0f);
            const float f = std::max(std::fabs(low), std::fabs(high));
            nearest[a][s] = n * n;
            farthest[a][s] = f * f;
        }
    uint64_t in = 0;
    for (int b = 0; b < kBlocks; ++b) {
        const int x = b % kSlabs, y = (b / kSlabs) % kSlabs, z = b / (kSlabs * kSlabs);
        const float nearDistance = std::sqrt(nearest[0][x] + nearest[1][y] + nearest[2][z]);
        const float farDistance = std::sqrt(farthest[0][x] + farthest[1][y] + farthest[2][z]);
        // Written so that a distance that is not a number keeps the block.
        if (!(nearDistance > outer_ || farDistance < inner_)) in |= uint64_t{1} << b;
    }
    return in & blocks.filled;
}

void DustClass::ParticlesOf(int cell, uint64_t blocks, std::vector<uint64_t>& out) const {
    const CellBlocks& cb = blocks_[static_cast<size_t>(cell)];
    out.assign(cb.words, 0);
    for (; blocks != 0; blocks &= blocks - 1) {
        const uint64_t* members = &cb.members[static_cast<size_t>(std::countr_zero(blocks)) * cb.words];
        for (size_t w = 0; w < cb.words; ++w) out[w] |= members[w];
    }
}

float DustClass::Fade(float d, float s) const {
    const float x = d - inner_;
    float f = 0.0f;
    if (fade_ > 0.0f) f = x <= fade_ ? x / fade_ : (2.0f * fade_ - x) / fade_;
    f *= ColorAlphaToFloat(baseColour_);
    const float k = lengthDecay_ > 0.0f ? std::max(0.0f, 1.0f - s / lengthDecay_) : 0.0f;
    return std::clamp(f * k * k, 0.0f, 1.0f);
}

void DustClass::BuildVertices() {
    PlaceCells();
    specks_.clear();
    // Motion along which the specks are stretched: the camera's own, else its view.
    Vec3 motion = Vec3Sub(curPos_, prevPos_);
    const float moved = Vec3Length(motion);
    motion = moved > 0.0f ? Vec3Scale(motion, 1.0f / moved) : Vec3Normalize(direction_);
    stretch_ = Vec3Scale(motion, streak_);
    for (int k = 0; k < kCells; ++k) {
        const Vec3 corner = CellCorner(k);
        const uint64_t inShell = BlocksInShell(k, corner);
        if (inShell == 0) continue;
        const std::vector<Vec3>& offsets = cells_[static_cast<size_t>(k)].offsets;
        // The particles of those blocks, in their order.
        ParticlesOf(k, inShell, candidates_);
        for (size_t w = 0; w < candidates_.size(); ++w)
            for (uint64_t bits = candidates_[w]; bits != 0; bits &= bits - 1) {
                const Vec3& o = offsets[w * 64 + static_cast<size_t>(std::countr_zero(bits))];
                const Vec3 p{corner.x + o.x, corner.y + o.y, corner.z + o.z};
                const float d = Vec3Length(Vec3Sub(p, curPos_));
                if (d < inner_ || d > outer_) continue;
                const Vec3 now = Vec3TransformCoord(p, curViewProj_);
                const Vec3 before = Vec3TransformCoord(p, prevViewProj_);
                const float dx = (now.x - before.x) * kHalfScreenWidth,
                            dy = (now.y - before.y) * kHalfScreenHeight;
                const float s = 2.0f * std::sqrt(dx * dx + dy * dy);
                specks_.push_back({p, ScaleColorRGB(baseColour_, Fade(d, s))});
            }
    }
    WriteVertexBuffer();
}

void DustClass::WriteLine(VertexPosColorTex2* out, const Speck& speck) const {
    FillVertexPosColorTex2(out[0], Vec3Add(speck.at, stretch_), speck.colour, 0, 0, 0, 0);
    FillVertexPosColorTex2(out[1], Vec3Sub(speck.at, stretch_), speck.colour, 0, 0, 0, 0);
}

std::vector<VertexPosColorTex2> DustClass::Vertices() const {
    std::vector<VertexPosColorTex2> out(2 * specks_.size());
    for (size_t i = 0; i < specks_.size(); ++i) WriteLine(&out[2 * i], specks_[i]);
    return out;
}

void DustClass::WriteVertexBuffer() {
    if (!ro_) return;
    ROMaterialClass* m = ro_->GetMaterial(0);
    uint32_t written = 0;
    if (!specks_.empty() && ro_->GetVB()) {
        void* data = nullptr;
        const auto n = static_cast<uint32_t>(2 * specks_.size());
        if (platform::Succeeded(ro_->LockVB(&data, 0, n, 0)) && data) {
            auto* lines = static_cast<VertexPosColorTex2*>(data);
            for (const Speck& speck : specks_) {
                WriteLine(lines, speck);
                lines += 2;
            }
            ro_->UnlockVB();
            written = n;
        }
    }
    if (m) m->SetPrimCount(written / 2);
}

void DustClass::DoRender() {
    if (!Device || !Engine) return;
    Device->SetTransform(platform::D3DTS_WORLD, &Engine->GetGlobalTransform());
    BeginRender();
    if (HasFlag(BRU_VISIBLE) && ro_) ro_->Render();
}

} // namespace vesk
