#include "world/environment.h"

#include "core/lua_readers.h"
#include "physics/cm_tree.h"
#include "physics/cm_tree_manager.h"
#include "platform/text.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/mesh.h"
#include "render/render_object.h"
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/space_dust.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace vesk {

namespace {

const bool kRegistered = RegisterRenderUnitClass<TEnvironmentClass>("TEnvironmentClass") &&
                         RegisterRenderUnitClass<TStarsClass>("TStarsClass") &&
                         RegisterRenderUnitClass<TSunsClass>("TSunsClass") &&
                         RegisterRenderUnitClass<PlanetClass>("PlanetClass") &&
                         RegisterRenderUnitClass<AtmosphereClass>("AtmosphereClass") &&
                         RegisterRenderUnitClass<LensflareClass>("LensflareClass");

// The translate step of the model's objects: their vertices about their own
// pivot, the object's matrix placing them.
constexpr uint64_t kPartBuildOptions = 0xC2;
constexpr float kDegToRad = 3.14159265f / 180.0f;
// The sort value the dust gets among the engine root's children.
constexpr float kDustSortValue = 0.9901f;

// spacemodel["<name>"].<key> as text ("" when absent).
std::string SpaceModelKey(const std::string& name, const char* key) {
    return GetLuaString("spacemodel[" + LuaQuote(name) + "]." + key, true);
}

float NumberOr(const std::string& text, float fallback, const std::string& context) {
    return text.empty() ? fallback : kws2f(text, context);
}

IViewCamera* CameraOf(const TBaseRenderUnit& unit) {
    TViewportEntry* e = unit.GetViewport();
    return e && e->camera ? e->camera.get() : unit.GetCamera();
}

} // namespace

// ---- parts -------------------------------------------------------------------------------------

void EnvironmentPartClass::Init(TBaseRenderUnit* parent) {
    (void)kRegistered;
    TBaseRenderUnit::Init(parent);
    ro_ = nullptr;
    followCamera_ = false;
    renderStage_ = kEnvironmentStage;
}

bool EnvironmentPartClass::BuildPart(CMTreeClass& tree, const std::string& objectName) {
    GeomObjStruct* object = nullptr;
    if (!tree.GetGeomobject(objectName, object)) return false;
    ro_ = tree.CreateRO(objectName, false, kPartBuildOptions);
    if (!ro_) return false;
    SetName(objectName);
    SetBaseMatrix(ro_->GetMatrix());
    std::shared_ptr<IUnitRenderObject> view = UnitViewOf(ro_);
    AddRO(view);
    SetPassFlagsFromMaterials(*view);
    return true;
}

Matrix EnvironmentPartClass::DrawMatrix() const {
    if (!followCamera_) return worldMatrix_;
    // Modelled where it is seen from the eye: only its own placement counts,
    // carried along with the camera.
    Matrix m = localMatrix_;
    if (IViewCamera* camera = CameraOf(*this)) MatrixAddTranslation(m, camera->GetPosition());
    return m;
}

void EnvironmentPartClass::DoRender() {
    if (!Device) return;
    const Matrix m = DrawMatrix();
    Device->SetTransform(platform::D3DTS_WORLD, &m);
    AddLights(GetLightMask());
    BeginRender();
    RenderUnitObjects(*this);
    ClearLocalLights();
}

void TStarsClass::Init(TBaseRenderUnit* parent) {
    EnvironmentPartClass::Init(parent);
    SetName("stars");
    // Nothing is lit on the sky.
    SetLightMask(0);
}

bool TStarsClass::Build(CMTreeClass& tree, const std::string& skyObject) {
    if (!BuildPart(tree, skyObject)) return false;
    SetFollowCamera(true);
    // It never hides what is drawn after it, however far: its render object
    // turns depth writes on for itself, so the record goes with the object's own.
    if (IRenderStatesInterface* states = ro_->GetRenderStates()) {
        states->AddState(platform::D3DRS_ZWRITEENABLE, 0, "sky");
        states->AddRestoreState(platform::D3DRS_ZWRITEENABLE, 1, "sky");
    }
    return true;
}

void TSunsClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    colour_ = 0xFFFFFFFF;
    disc_ = nullptr;
    renderStage_ = kEnvironmentStage;
}

void TSunsClass::Build(CMTreeClass& tree, const std::string& lightName) {
    SetName(lightName);
    colour_ = tree.ModelLightColour(lightName);
    Matrix m;
    MatrixSetTranslation(m, tree.ModelLightPosition(lightName));
    SetBaseMatrix(m);
    const std::string discName = lightName + "_mesh";
    if (!tree.HasModelObject(discName)) return;
    auto* disc = TBaseRenderUnit::Create<EnvironmentPartClass>(this);
    if (!disc->BuildPart(tree, discName)) {
        disc->Free();
        return;
    }
    // The disc is modelled where the sun is: it is drawn from the eye, not from the sun.
    disc->SetBaseMatrix(Matrix{});
    disc->SetFollowCamera(true);
    disc->SetLightMask(0);
    AddChild(disc);
    disc_ = disc;
}

void AtmosphereClass::Init(TBaseRenderUnit* parent) {
    EnvironmentPartClass::Init(parent);
    spin_ = angle_ = 0;
    SetLightMask(kLightsSuns);
}

void AtmosphereClass::Tick(float dtMs) {
    EnvironmentPartClass::Tick(dtMs);
    if (spin_ == 0.0f) return;
    angle_ = std::fmod(angle_ + spin_ * kDegToRad * 0.001f * dtMs, 6.2831853f);
    // Above the planet, which carries it: only the turn of its own.
    localMatrix_ = MatrixRotationZ(angle_);
}

void PlanetClass::Init(TBaseRenderUnit* parent) {
    EnvironmentPartClass::Init(parent);
    luaName_.clear();
    spin_ = angle_ = 0;
    atmosphere_ = nullptr;
    SetLightMask(kLightsSuns);
    SetFlag2(BRU2_ENV_AMBIENT);
}

bool PlanetClass::Build(CMTreeClass& tree, const std::string& luaName) {
    luaName_ = luaName;
    std::string object = SpaceModelKey(luaName, "object");
    if (object.empty()) object = luaName;
    if (!BuildPart(tree, object)) return false;
    SetName(luaName);
    home_ = GetBaseMatrix();
    spin_ = NumberOr(SpaceModelKey(luaName, "spin"), 0.0f, "PlanetClass.Build: spin: " + luaName);
    std::string clouds = SpaceModelKey(luaName, "atmosphere");
    if (clouds.empty()) clouds = object + "_clouds";
    if (tree.HasModelObject(clouds)) {
        auto* a = TBaseRenderUnit::Create<AtmosphereClass>(this);
        if (a->BuildPart(tree, clouds)) {
            // The layer is modelled at the planet's place: the planet carries it there.
            a->SetBaseMatrix(Matrix{});
            a->SetSpin(NumberOr(SpaceModelKey(luaName, "atmosphereSpin"), spin_ * 1.5f,
                                "PlanetClass.Build: atmosphereSpin: " + luaName));
            a->SetFlag2(BRU2_ENV_AMBIENT);
            AddChild(a);
            atmosphere_ = a;
        } else {
            a->Free();
        }
    }
    return true;
}

bool PlanetClass::Rebuild(CMTreeClass& tree) {
    ClearROs();
    ro_ = nullptr;
    if (AtmosphereClass* clouds = std::exchange(atmosphere_, nullptr)) {
        // Gone at once, with the old model's render object; its slot is cleaned later.
        clouds->DiscardBRU();
        clouds->Kill();
    }
    const float angle = angle_;
    const bool built = Build(tree, luaName_);
    angle_ = angle;
    return built;
}

void PlanetClass::Tick(float dtMs) {
    EnvironmentPartClass::Tick(dtMs);
    if (spin_ == 0.0f) return;
    angle_ = std::fmod(angle_ + spin_ * kDegToRad * 0.001f * dtMs, 6.2831853f);
    localMatrix_ = MatrixProduct(MatrixRotationZ(angle_), home_);
}

// ---- lens flares ----------------------------------------------------------------------------

void LensflareClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetName("lensflare");
    SetFlag(BRU_BLENDED);
    sun_ = nullptr;
    texture_ = TextureRef();
    lenses_.clear();
}

void LensflareClass::Setup(TSunsClass* sun, const std::string& fxId) {
    if (sun_) sun_->RemoveSubscriber(this);
    sun_ = sun;
    if (sun_) {
        sun_->AddSubscriber(this);
        SetName("lensflare_" + sun_->GetName());
    }
    const std::string entry = "fx[" + LuaQuote(fxId) + "]";
    std::string texture = GetLuaString(entry + ".texture", true);
    if (texture.empty()) texture = "fx/flare.tga";
    if (TextureManager) texture_ = TextureManager->GetTexture(texture, platform::D3DFMT_UNKNOWN, false);
    const float size =
        NumberOr(GetLuaString(entry + ".size", true), 96.0f, "LensflareClass.Setup: size: " + fxId);
    const uint32_t tint = sun_ ? sun_->GetColourArgb() : 0xFFFFFFFF;
    // A bright ring on the sun, then fainter ones towards and past the middle.
    lenses_ = {{0.0f, size * 1.6f, ScaleColorRGB(tint, 0.9f)},
               {0.45f, size * 0.35f, ScaleColorRGB(tint, 0.35f)},
               {0.8f, size * 0.6f, ScaleColorRGB(tint, 0.25f)},
               {1.25f, size * 0.25f, ScaleColorRGB(tint, 0.3f)},
               {1.7f, size * 0.9f, ScaleColorRGB(tint, 0.2f)}};
}

void LensflareClass::Free() {
    if (TSunsClass* s = std::exchange(sun_, nullptr)) s->RemoveSubscriber(this);
    texture_ = TextureRef();
    TBaseRenderUnit::Free();
}

bool LensflareClass::DiscardBRU() {
    if (TSunsClass* s = std::exchange(sun_, nullptr)) s->RemoveSubscriber(this);
    texture_ = TextureRef();
    return TBaseRenderUnit::DiscardBRU();
}

void LensflareClass::Message(IEngineObject* sender, int msg, int param) {
    // The flare goes with its sun.
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && sun_ && sender->GetInstance() == sun_) {
        sun_ = nullptr;
        Kill();
    }
    TBaseRenderUnit::Message(sender, msg, param);
}

bool LensflareClass::SunOnScreen(float& x, float& y) const {
    x = y = 0;
    if (!sun_) return false;
    IViewCamera* camera = CameraOf(*this);
    if (!camera) return false;
    // The sun as its disc is drawn: seen from the eye, at its modelled offset.
    Vec3 p;
    sun_->GetPosition(p);
    const Vec3 eye = camera->GetPosition();
    const Vec3 toSun = sun_->Disc() && sun_->Disc()->FollowsCamera() ? p : Vec3Sub(p, eye);
    if (Vec3Dot(toSun, camera->GetDirection()) <= 0.0f) return false;
    const Matrix viewProj = MatrixProduct(camera->GetViewMatrix(), camera->GetProjMatrix());
    const Vec3 ndc = Vec3TransformCoord(Vec3Add(eye, toSun), viewProj);
    x = (ndc.x + 1.0f) * 512.0f;
    y = (1.0f - ndc.y) * 384.0f;
    return true;
}

void LensflareClass::DoRender() {
    if (!Device || lenses_.empty()) return;
    float sx = 0, sy = 0;
    if (!SunOnScreen(sx, sy)) return;
    if (sx < 0 || sx > 1024 || sy < 0 || sy > 768) return;
    platform::D3DVIEWPORT9 vp{};
    Device->GetViewport(&vp);
    const float kx = static_cast<float>(vp.Width) / 1024.0f, ky = static_cast<float>(vp.Height) / 768.0f;
    const float cx = 511.0f, cy = 383.0f;
    std::vector<VertexTLColorTex> quads;
    quads.reserve(lenses_.size() * 6);
    for (const Lens& l : lenses_) {
        const float x = (sx + (cx - sx) * l.place) * kx, y = (sy + (cy - sy) * l.place) * ky;
        const float hw = l.size * 0.5f * kx, hh = l.size * 0.5f * ky;
        const VertexTLColorTex a{x - hw, y - hh, 0.0f, 1.0f, l.colour, 0, 0};
        const VertexTLColorTex b{x + hw, y - hh, 0.0f, 1.0f, l.colour, 1, 0};
        const VertexTLColorTex c{x - hw, y + hh, 0.0f, 1.0f, l.colour, 0, 1};
        const VertexTLColorTex d{x + hw, y + hh, 0.0f, 1.0f, l.colour, 1, 1};
        quads.insert(quads.end(), {a, b, c, b, d, c});
    }
    using namespace platform;
    // The last model drawn leaves its culling behind; the sprites face the
    // screen whichever way that culls.
    uint32_t cull = D3DCULL_CCW;
    Device->GetRenderState(D3DRS_CULLMODE, &cull);
    Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Device->SetRenderState(D3DRS_ZENABLE, 0);
    Device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    Device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Device->SetVertexShader(nullptr);
    CachedSetPixelShader(nullptr);
    CachedSetFVF(FVF_TLColorTex);
    CachedSetTexture(0, texture_ ? texture_->GetTexture() : nullptr);
    CachedSetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    CachedSetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    CachedSetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    CachedSetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    CachedSetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    DeviceDrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<uint32_t>(quads.size() / 3), quads.data(),
                          sizeof(VertexTLColorTex));
    CachedSetTexture(0, nullptr);
    Device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    Device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    Device->SetRenderState(D3DRS_ZENABLE, 1);
    Device->SetRenderState(D3DRS_CULLMODE, cull);
}

// ---- the environment ---------------------------------------------------------------------------

void TEnvironmentClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetName("Environment");
    // Listed in pass 2 so it begins the frame's drawing with the camera's matrices.
    SetFlag(BRU_OPAQUE);
    SetFlag2(BRU2_ENV_AMBIENT);
    renderStage_ = kEnvironmentStage;
    tree_ = nullptr;
    stars_ = nullptr;
    dust_ = nullptr;
    suns_.clear();
    planets_.clear();
    flares_.clear();
    set_ = EnvironmentSet{};
}

std::string TEnvironmentClass::GetSkyLuaMeshName() const {
    if (skyLuaName_.empty())
        ErrorReport("TEnvironmentClass.GetSkyLuaMeshName: env.SkyLuaName=\"\" - possible async call", "mhl");
    return skyLuaName_;
}

void TEnvironmentClass::LoadEnvironment(const std::string& modelPath) {
    modelPath_ = modelPath;
    const size_t slash = modelPath.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : modelPath.substr(0, slash + 1);
    skyTextures_ = {folder + "environment/sky.bmp", folder + "environment/cap1.bmp",
                    folder + "environment/cap2.bmp"};
    tree_ = CMTreeManager ? CMTreeManager->GetCMTree(modelPath) : nullptr;
    if (!tree_) return;

    const GeomObjStruct* sky = nullptr;
    for (const GeomObjStruct& g : tree_->GeomObjects())
        if (platform::UpperCaseCp1251(g.names.name).find("SKY:") != std::string::npos) {
            sky = &g;
            break;
        }
    if (!sky) {
        ErrorReport("TEnvironmentClass.LoadEnvironment: (" + modelPath +
                        ") pgeomobj=nil - sky sphere must have name \"sky:*\"",
                    "mhl");
        return;
    }
    skyMatrix_ = sky->matrix;
    const std::string skyObject = sky->names.name;
    skyName_ = platform::LowerCaseCp1251(skyObject);
    skyLuaName_ = skyObject.size() > 4 ? skyObject.substr(4) : std::string();

    stars_ = TBaseRenderUnit::Create<TStarsClass>(this);
    stars_->Build(*tree_, skyObject);
    AddChild(stars_);

    if (Engine) {
        dust_ = TBaseRenderUnit::Create<DustClass>(Engine);
        dust_->SetSortValue(kDustSortValue);
        dust_->DustLoadFromLua(GetSkyLuaMeshName());
        Engine->AddChild(dust_);
        // The dust ends with the environment, and the environment forgets a dust that ended.
        dust_->Watch(this);
        dust_->AddSubscriber(this);
    }

    for (const CMLightStruct& light : tree_->Lights()) {
        const std::string& name = light.names.name;
        if (platform::UpperCaseCp1251(name).find("SUNLIGHT_") == std::string::npos) continue;
        auto* sun = TBaseRenderUnit::Create<TSunsClass>(this);
        sun->Build(*tree_, name);
        AddChild(sun);
        sun->AddSubscriber(this);
        suns_.push_back(sun);
        set_.suns.push_back({sun, sun->GetColourArgb()});
        if (Engine && tree_->HasModelObject(name + "_mesh") &&
            !GetLuaString("fx[" + LuaQuote(name) + "].id", true).empty()) {
            auto* flare = TBaseRenderUnit::Create<LensflareClass>(Engine);
            flare->Setup(sun, name);
            Engine->AddChild(flare);
            flare->AddSubscriber(this);
            flares_.push_back(flare);
        }
    }
    // The light of the first sun falls from where it stands towards the scene.
    if (!suns_.empty()) {
        const Vec3 p = MatrixGetTranslation(suns_.front()->GetBaseMatrix());
        if (Vec3Length(p) > 0.0f) set_.lightDirection = Vec3Normalize(Vec3Scale(p, -1.0f));
        set_.lightColour = suns_.front()->GetColourArgb();
    }
    if (set_.ambient == 0) set_.ambient = tree_->GetAmbient();
    SetRenderStageTree(kEnvironmentStage);
    const Matrix parent = parent_ ? parent_->GetWorldMatrix() : Matrix{};
    UpdateMatrices(&parent);
    GetBSphereRadius();
}

bool TEnvironmentClass::AddPlanet(const std::string& id, PlanetClass*& planet) {
    planet = nullptr;
    auto* p = TBaseRenderUnit::Create<PlanetClass>(this);
    if (!tree_) {
        p->Free();
        ErrorReport("TEnvironmentClass.AddPlanet: EnvCM=nil", "mhl");
        return false;
    }
    bool built = false;
    try {
        built = p->Build(*tree_, id);
    } catch (const std::exception&) {
        built = false;
    }
    if (!built) {
        if (p->DiscardBRU()) p->Free();
        ErrorReport("TEnvironmentClass.AddPlanet: except: planet.Build(EnvCm,_LUAName)", "mhl");
        return false;
    }
    p->SetRenderStageTree(kEnvironmentStage);
    AddChild(p);
    p->AddSubscriber(this);
    planets_.push_back(p);
    p->UpdateMatrices(&worldMatrix_);
    GetBSphereRadius();
    planet = p;
    return true;
}

void TEnvironmentClass::DetachPlanets(TBaseRenderUnit* newParent) {
    for (PlanetClass* p : std::exchange(planets_, {})) {
        p->RemoveSubscriber(this);
        if (newParent) p->MoveToParent(newParent);
    }
}

void TEnvironmentClass::AdoptPlanet(PlanetClass* planet) {
    if (!planet || std::find(planets_.begin(), planets_.end(), planet) != planets_.end()) return;
    planet->MoveToParent(this);
    planet->SetRenderStageTree(kEnvironmentStage);
    planet->AddSubscriber(this);
    planets_.push_back(planet);
    planet->UpdateMatrices(&worldMatrix_);
}

void TEnvironmentClass::UpdateMatrices(const Matrix* parent) {
    TBaseRenderUnit::UpdateMatrices(parent);
}

void TEnvironmentClass::SetDustMode(int mode) {
    if (dust_) dust_->SetMode(mode);
}

void TEnvironmentClass::ForgetChild(TEngineObject* gone) {
    std::erase_if(suns_, [gone](TSunsClass* s) { return static_cast<TEngineObject*>(s) == gone; });
    std::erase_if(set_.suns, [gone](const EnvironmentSet::Sun& s) {
        return static_cast<TEngineObject*>(s.unit) == gone;
    });
    std::erase_if(planets_, [gone](PlanetClass* p) { return static_cast<TEngineObject*>(p) == gone; });
    std::erase_if(flares_, [gone](LensflareClass* f) { return static_cast<TEngineObject*>(f) == gone; });
    if (static_cast<TEngineObject*>(dust_) == gone) dust_ = nullptr;
    if (static_cast<TEngineObject*>(stars_) == gone) stars_ = nullptr;
}

void TEnvironmentClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) ForgetChild(sender->GetInstance());
    TBaseRenderUnit::Message(sender, msg, param);
}

void TEnvironmentClass::DropDust() {
    // The dust and the flares live under the engine root: they leave with the
    // root's next clean-up.
    if (DustClass* d = std::exchange(dust_, nullptr)) {
        d->Watch(nullptr);
        d->RemoveSubscriber(this);
        d->Kill();
    }
    for (LensflareClass* f : std::exchange(flares_, {})) {
        f->RemoveSubscriber(this);
        f->Kill();
    }
}

void TEnvironmentClass::Kill() {
    DropDust();
    TBaseRenderUnit::Kill();
}

void TEnvironmentClass::ReleaseParts() {
    DropDust();
    for (TSunsClass* s : suns_) s->RemoveSubscriber(this);
    for (PlanetClass* p : planets_) p->RemoveSubscriber(this);
    suns_.clear();
    set_.suns.clear();
    planets_.clear();
    stars_ = nullptr;
    tree_ = nullptr;
}

bool TEnvironmentClass::DiscardBRU() {
    ReleaseParts();
    return TBaseRenderUnit::DiscardBRU();
}

void TEnvironmentClass::Free() {
    ReleaseParts();
    TBaseRenderUnit::Free();
}

void TEnvironmentClass::DoRender() {
    BeginRender();
    if (IViewCamera* camera = CameraOf(*this)) camera->CalcMatrices(1.0f, 150000.0f);
}

void TEnvironmentClass::FillRenderList(int stage, int pass) {
    if (Engine && pass == kPassOpaque && stage == renderStage_ && !HasFlag(BRU_KILLED))
        Engine->AddRenderListEntry(this, RenderListUnitClass::kBeginEnv);
    TBaseRenderUnit::FillRenderList(stage, pass);
}

void TEnvironmentClass::FillRenderLists() {
    ListEnvironmentStart(*this);
    TBaseRenderUnit::FillRenderLists();
}

} // namespace vesk
