#include "world/fx_particle.h"

#include "core/lua_readers.h"
#include "render/engine.h"
#include "render/model_tree.h"
#include "render/texture.h"
#include "render/view_camera.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_model_part.h"

#include <cmath>

namespace vesk {

void ParticleSpread::Read(const std::string& id, const std::string& className) {
    auto key = [&id](const char* name) { return GetLuaString("fx[" + LuaQuote(id) + "]." + name, true); };
    auto context = [&](const char* name) { return className + ".CreateFromLua: " + id + ": " + name; };
    auto real = [&](const char* name) { return kws2f(key(name), context(name)); };
    vmax = real("vmax");
    vmin = real("vmin");
    maxSize = real("MaxSize");
    minSize = real("MinSize");
    maxLife = real("MaxLifeTime");
    minLife = real("MinLifeTime");
    colour = static_cast<uint32_t>(kws2i("$" + key("color"), context("color")));
    const std::string second = key("color2");
    colour2 = second.empty() ? colour : static_cast<uint32_t>(kws2i("$" + second, context("color2")));
    friction = real("friction");
}

void ParticleSpread::Apply(FXParticleClass& p) const {
    p.SetVelocity(Vec3Scale(RandomUnitVector(), vmin + UniformRandom() * (vmax - vmin)));
    p.SetColor(colour);
    p.SetEndColor(colour2);
    p.SetLifeTime(minLife + UniformRandom() * (maxLife - minLife));
    p.SetSize(minSize + UniformRandom() * (maxSize - minSize));
    p.SetFriction(friction);
}

void FXParticleClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x80800080ull);
    textureName_.clear();
    frames_.reset();
    frame_ = 0;
    spinMin_ = spinMax_ = 0;
    spinDamping_ = spinDampingInUse_ = 10.0f;
    startSize_ = endSize_ = 1.0f;
    blendMode_ = kBlendBurst;
    controller_.reset();
    position_ = velocity_ = {};
    friction_ = 0;
    lifeTime_ = remaining_ = 9999999.0f;
    sizeFactor_ = size_ = 1.0f;
    startColour_ = colour_ = 0x80FFFFFF;
    endColour_ = 0;
    spinAxis_ = {0, 0, 1};
    spinSpeed_ = spinAngle_ = 0;
    distance_ = 0;
    meshPiece_ = false;
}

bool FXParticleClass::DiscardBRU() {
    controller_.reset();
    frames_.reset();
    return FXBaseClass::DiscardBRU();
}

TBaseRenderUnit* FXParticleClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXParticleClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->textureName_ = textureName_;
    copy->position_ = position_;
    copy->velocity_ = velocity_;
    copy->friction_ = friction_;
    copy->lifeTime_ = lifeTime_;
    copy->remaining_ = remaining_;
    copy->sizeFactor_ = sizeFactor_;
    copy->size_ = size_;
    copy->startColour_ = startColour_;
    copy->colour_ = colour_;
    copy->endColour_ = endColour_;
    copy->spinDampingInUse_ = spinDampingInUse_;
    copy->frames_ = frames_;
    copy->spinMin_ = spinMin_;
    copy->spinMax_ = spinMax_;
    copy->spinDamping_ = spinDamping_;
    copy->startSize_ = startSize_;
    copy->endSize_ = endSize_;
    copy->blendMode_ = blendMode_;
    copy->meshPiece_ = meshPiece_;
    // Each copy spins its own way.
    copy->spinAxis_ = RandomUnitVector();
    copy->spinSpeed_ = spinMin_ + UniformRandom() * (spinMax_ - spinMin_);
    copy->spinAngle_ = UniformRandom() * kTwoPi;
    if (controller_) copy->controller_ = controller_->CopyFor(*copy);
    MatrixSetTranslation(copy->localMatrix_, copy->position_);
    return copy;
}

void FXParticleClass::CreateFromLua(const std::string& id) {
    const std::string texture = FxKey(id, "texture");
    if (!texture.empty()) {
        textureName_ = texture;
        SetTextureByName(texture);
    }
    if (const std::string frames = FxKey(id, "textures"); !frames.empty())
        frames_ = LoadTextureFrames(frames);
    if (const std::string t = FxKey(id, "StartSize"); !t.empty())
        startSize_ = kws2f(t, "FXParticleClass.CreateFromLua: StartSize: " + id);
    if (const std::string t = FxKey(id, "EndSize"); !t.empty())
        endSize_ = kws2f(t, "FXParticleClass.CreateFromLua: EndSize: " + id);
    if (FxKey(id, "ColorController") == "CameraDist")
        controller_ = std::make_unique<FXCameraDistColorController>(
            kws2f(FxKey(id, "CameraDistFactor"), "FXParticleClass.CreateFromLua: CameraDistFactor: " + id));
    if (const std::string mesh = FxKey(id, "mesh"); !mesh.empty()) TakeMeshPiece(mesh);
    FXBaseClass::CreateFromLua(id);
}

void FXParticleClass::TakeMeshPiece(const std::string& meshName) {
    const std::string base = MeshEntryFile(meshName);
    IModelTree* model = base.empty() ? nullptr : GetModelTree(base + ".cm");
    const std::vector<std::string> objects = model ? model->ModelObjectNames() : std::vector<std::string>{};
    if (objects.empty()) {
        FastLogAddError(GetName() + ": no model for the mesh entry \"" + meshName + "\": drawn as a sprite");
        return;
    }
    const auto index =
        static_cast<size_t>(std::lround(UniformRandom() * static_cast<float>(objects.size() - 1)));
    auto* piece = TBaseRenderUnit::Create<FXModelPartClass>(this);
    if (!piece->Load(*model, nullptr, objects[index], 0xC0)) {
        if (piece->DiscardBRU()) piece->Free();
        return;
    }
    // The piece keeps its turn in the model but flies where the particle is.
    Matrix at = piece->GetLocalMatrix();
    MatrixSetTranslation(at, {0, 0, 0});
    piece->SetBaseMatrix(at);
    AddChild(piece);
    SetFlag(BRU_OPAQUE);
    ClearFlag(BRU_BLENDED);
    meshPiece_ = true;
}

void FXParticleClass::SetLifeTime(float seconds) {
    lifeTime_ = remaining_ = seconds;
}

void FXParticleClass::SetSize(float size) {
    sizeFactor_ = size_ = size;
}

void FXParticleClass::SetTexture(IKWTexture* texture) {
    texture_ = TextureRef(texture);
}

void FXParticleClass::SetColor(uint32_t colour) {
    startColour_ = colour_ = colour;
}

void FXParticleClass::SetPosition(const Vec3& p) {
    position_ = p;
    TBaseRenderUnit::SetPosition(p);
}

Vec3 FXParticleClass::GetPosition() const {
    return {worldMatrix_.m[3][0], worldMatrix_.m[3][1], worldMatrix_.m[3][2]};
}

void FXParticleClass::SetDistanceFrom(const Vec3& eye) {
    distance_ = Vec3Length(Vec3Sub(GetPosition(), eye));
}

bool FXParticleClass::IsVisible() const {
    return blendMode_ == kBlendAlpha ? (colour_ >> 24) != 0 : (colour_ & 0x00FFFFFFu) != 0;
}

void FXParticleClass::Tick(float dtMs) {
    if (FXUpdatesStopped() || HasFlag(BRU_NO_PARTICLE_UPDATE)) return;
    const float dt = 0.001f * dtMs;
    remaining_ -= dt;
    if (remaining_ <= 0.0f) {
        Kill();
        colour_ = 0;
        return;
    }
    const float f = lifeTime_ > 0.0f ? remaining_ / lifeTime_ : 0.0f;
    if (controller_)
        controller_->Update(*this);
    else if (startColour_ == endColour_)
        colour_ = WithAlpha(startColour_, static_cast<float>(startColour_ >> 24) * f);
    else
        colour_ = BlendColour(startColour_, endColour_, 1.0f - f);
    if (frames_ && !frames_->empty()) {
        // The frames play once over the life, and the particle comes in from transparent.
        colour_ = WithAlpha(startColour_, (1.0f - f) * 255.0f);
        frame_ = static_cast<int>(std::lround(static_cast<float>(frames_->size() - 1) * (1.0f - f)));
        texture_ = (*frames_)[static_cast<size_t>(frame_)];
    }
    if (spinSpeed_ != 0.0f) {
        spinSpeed_ = (1.0f - spinDampingInUse_ * dt * 0.01f) * spinSpeed_;
        RotatorClass* r = GetRotator();
        r->SetMode(kRotateAxis);
        r->SetAxis(spinAxis_);
        r->SetAxisSpeed(spinSpeed_);
    }
    if (startSize_ != endSize_) size_ = (startSize_ + (endSize_ - startSize_) * (1.0f - f)) * sizeFactor_;
    if (friction_ != 0.0f) velocity_ = Vec3Add(velocity_, Vec3Scale(velocity_, -friction_ * dt * 0.01f));
    position_ = Vec3Add(position_, Vec3Scale(velocity_, dt));
    MatrixSetTranslation(localMatrix_, position_);
}

void FXParticleClass::UpdateMatrices(const Matrix* parent) {
    // A sprite is seen from the camera: only its place matters, not its turn.
    if (childs_ || RotatorLink()) {
        TBaseRenderUnit::UpdateMatrices(parent);
        return;
    }
    MatrixSetTranslation(worldMatrix_, parent ? Vec3TransformPoint(position_, *parent) : position_);
}

void FXParticleClass::FillRenderList(int stage, int pass) {
    // A piece of a model is drawn as a model, in the opaque pass.
    if (meshPiece_) {
        if (!HasFlag(BRU_KILLED)) TBaseRenderUnit::FillRenderList(stage, pass);
        return;
    }
    // The cheap tests first: the tree is listed four times a frame, and a
    // blended sprite is never drawn in the opaque pass (the pass test's first rule).
    if (stage != renderStage_ || HasFlag(BRU_KILLED) || !IsVisible()) return;
    if ((pass == kPassOpaque && HasFlag(BRU_BLENDED)) || SkipInPass(pass)) return;
    ListSprite();
}

void FXParticleClass::FillRenderLists() {
    if (meshPiece_) {
        if (!HasFlag(BRU_KILLED)) TBaseRenderUnit::FillRenderLists();
        return;
    }
    if (HasFlag(BRU_KILLED) || !IsVisible() || !Engine) return;
    for (int l = 0; l < kFrameListings; ++l) {
        const auto [stage, pass] = kFrameListing[l];
        if (stage != renderStage_ || (pass == kPassOpaque && HasFlag(BRU_BLENDED)) || SkipInPass(pass))
            continue;
        Engine->SetListing(l);
        ListSprite();
    }
}

void FXParticleClass::ListSprite() {
    // A lamp places itself while it is listed: its glow follows it here.
    if (parent_ && parent_->HasFlag(BRU_LAMP)) UpdateMatrices(&parent_->GetWorldMatrix());
    // Without an engine nothing is drawn: the view is only placed.
    if (!Engine) {
        if (IViewCamera* cam = GetCamera()) {
            FXFrameCache::CameraView view;
            view.Build(*cam);
            PlaceSprite(view);
        }
        return;
    }
    // The camera and its view are the frame's, the same for every sprite.
    FXFrameCache& frame = FXFrameCache::Of(*Engine);
    const FXFrameCache::CameraView* view = frame.ViewFor(*this);
    if (!view || !PlaceSprite(*view)) return;
    // The shared renderers belong to the engine root; a particle in a scene of
    // its own (an interface viewport's) has none to go to and is not drawn.
    // (The root found before is read without a call: every sprite asks.)
    TBaseRenderUnit* root = cachedRoot_ ? cachedRoot_ : GetRoot();
    if (!root || root != Engine) return;
    if (IRendererOps* r = frame.SpriteRenderer()) r->AddClient(this);
}

bool FXParticleClass::PlaceSprite(const FXFrameCache::CameraView& view) {
    const Vec3 p = GetPosition();
    if (!view.Sees(p)) return false;
    spriteMatrix_ = view.billboard;
    MatrixSetTranslation(spriteMatrix_, p);
    return true;
}

} // namespace vesk
