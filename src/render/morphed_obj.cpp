#include "render/morphed_obj.h"

#include "core/lua_adapter.h"
#include "core/lua_readers.h"
#include "core/paths.h"
#include "platform/files.h"
#include "platform/text.h"
#include "render/animated_obj.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/key_animation.h"
#include "render/multirole.h"
#include "render/render_object.h"
#include "render/video_renderer.h"
#include "render/world_links.h"
#include "shared/errors.h"

#include <exception>

namespace vesk {

namespace {

const bool kRegistered = RegisterRenderUnitClass<TMorphedAnimatedObjClass>("TMorphedAnimatedObjClass");

// The Lua expression of mesh[meshId]: a number key for digits, a quoted text otherwise.
std::string MeshEntry(const std::string& meshId) {
    bool digits = !meshId.empty();
    for (char c : meshId) digits = digits && c >= '0' && c <= '9';
    return "mesh[" + (digits ? meshId : LuaQuote(meshId)) + "]";
}

std::string MeshField(const std::string& meshId, const char* field) {
    return GetLuaString(MeshEntry(meshId) + "." + field, true);
}

bool ContainsUpper(const std::string& text, const char* part) {
    return platform::UpperCaseCp1251(text).find(part) != std::string::npos;
}

bool PoorEffects() {
    const std::string v = GameIniText("poorfx");
    return !v.empty() && v != "0";
}

// A multirole sub-object of the model under parent, shown, with the flags given.
MultiroleBRUClass* PartOf(TBaseRenderUnit& parent, IModelTree& tree, const std::string& name,
                          uint64_t passFlags, uint64_t flags) {
    MultiroleBRUClass* part = parent.AddSubObject(tree, name, passFlags);
    if (!part) return nullptr;
    part->SetFlag(flags);
    part->SetVisible(true);
    return part;
}

} // namespace

void TMorphedAnimatedObjClass::Init(TBaseRenderUnit* parent) {
    (void)kRegistered;
    TBaseRenderUnit::Init(parent);
    SetName("MorphedAnimatedObj");
    SetFlag(BRU_OPAQUE | (0x10000020ull << 32));
    clock_ = MorphAnimationClock{};
    if (UpdaterManager) UpdaterManager->AddClient(this);
    video_ = nullptr;
    value1_ = value2_ = -1;
    linked_ = nullptr;
    model_ = animation_ = nullptr;
}

void TMorphedAnimatedObjClass::Free() {
    if (UpdaterManager && UpdaterManager->IsClient(this)) UpdaterManager->RemoveClient(this);
    SetLinkedObject(nullptr);
    if (VideoRendererClass* v = std::exchange(video_, nullptr)) v->Free();
    TBaseRenderUnit::Free();
}

void TMorphedAnimatedObjClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && linked_ &&
        sender->GetInstance() == static_cast<TEngineObject*>(linked_))
        linked_ = nullptr;
    TBaseRenderUnit::Message(sender, msg, param);
}

std::string TMorphedAnimatedObjClass::ModelFileOf(const std::string& meshId) {
    return MeshField(meshId, "path") + "/" + meshId + ".cm";
}

void TMorphedAnimatedObjClass::SetLinkedObject(TMorphedAnimatedObjClass* linked) {
    if (linked == linked_) return;
    if (linked_) RemoveSubscriber(linked_);
    linked_ = linked;
    // Told when the linked object goes away.
    if (linked_) linked_->AddSubscriber(this);
}

void TMorphedAnimatedObjClass::SetLoop(bool loop) {
    if (loop)
        clock_.flags |= MORPH_ANIM_LOOP;
    else
        clock_.flags &= ~MORPH_ANIM_LOOP;
    if (linked_) linked_->SetLoop(loop);
    if (video_) video_->SetLoop(loop);
}

void TMorphedAnimatedObjClass::SetVisible(bool on) {
    if (video_) {
        video_->SetVisible(on);
        if (on)
            video_->Play();
        else
            video_->Stop();
    }
    if (linked_) linked_->SetVisible(on);
    TBaseRenderUnit::SetVisible(on);
}

void TMorphedAnimatedObjClass::AddLights(uint16_t mask) {
    AddAnimatedUnitLights(*this, mask);
}

uint32_t TMorphedAnimatedObjClass::FirstTrackKeys() const {
    const ROKeyTrack* t = animation_ ? animation_->FirstTrack() : nullptr;
    return t ? t->keyCount : 0;
}

void TMorphedAnimatedObjClass::Tick(float dtMs) {
    if (IsRenderPaused()) return;
    if (HasFlag(BRU_VISIBLE)) {
        clock_.flags &= ~MORPH_ANIM_PAUSED;
        if (linked_) linked_->clock_.flags &= ~MORPH_ANIM_PAUSED;
    }
    clock_.Tick(dtMs, false);
    // Without an animation track the frame stays as it is.
    clock_.CalcCurFrame(FirstTrackKeys());
    TBaseRenderUnit::Tick(dtMs);
}

void TMorphedAnimatedObjClass::UpdateTick(float stepMs) {
    // Units under the engine or a scene are ticked with their tree.
    for (TBaseRenderUnit* p = Parent(); p; p = p->Parent())
        if (p == Engine || dynamic_cast<SceneClass*>(p)) return;
    Tick(stepMs);
}

TBaseRenderUnit* TMorphedAnimatedObjClass::CreateCopy(TBaseRenderUnit* parent) {
    TBaseRenderUnit* copy = TBaseRenderUnit::CreateCopy(parent);
    if (auto* m = dynamic_cast<TMorphedAnimatedObjClass*>(copy)) {
        m->clock_.flags = clock_.flags;
        m->clock_.position = clock_.position;
        m->clock_.frame = clock_.frame;
        m->clock_.length = clock_.length;
        m->model_ = model_;
        m->animation_ = animation_;
    }
    return copy;
}

void TMorphedAnimatedObjClass::DoRender() {
    if (video_) {
        if (TViewportEntry* e = GetViewport())
            video_->DrawToRect(static_cast<float>(e->viewport.X), static_cast<float>(e->viewport.Y),
                               static_cast<float>(e->viewport.Width), static_cast<float>(e->viewport.Height));
        else
            video_->Render();
        return;
    }
    if (platform::IDirect3DDevice9* d = Device.Get())
        d->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    AddLights(kLightsLamps);
    BeginRender();
    const bool blend = !(clock_.flags & MORPH_ANIM_PAUSED) && !PoorEffects();
    if (const RenderObjectList* list = GetROList())
        for (const auto& entry : *list) {
            if (!HasFlag(BRU_VISIBLE)) break;
            auto* ro = dynamic_cast<TRenderObject*>(entry.get());
            if (!ro || !(ro->Flags() & RO_MORPHSTREAMS)) {
                ErrorReport("Unknown type of RO... 3D Engine crash", "mhl");
                return;
            }
            if (blend)
                if (auto* morpher = dynamic_cast<MorpherClass*>(ro->GetMorpher()))
                    if (!morpher->CalcMAResultVertexBuffer(clock_.frame)) return;
            ro->Render();
        }
    ClearLocalLights();
}

void TMorphedAnimatedObjClass::Load(const std::string& meshId, const std::string& name,
                                    const std::string& animMeshId, const std::string& baseName,
                                    bool withParts, uint64_t flags) {
    SetName(name);
    try {
        // Loaded again, it is already its parent's child: a second entry would be discarded twice.
        TBaseRenderUnit* p = Parent();
        if (p && !(p->ChildsBRU() && p->ChildsBRU()->IndexOf(this) >= 0)) p->AddChild(this);
    } catch (const std::exception&) {
        ErrorReport("TMorphedAnimatedObjClass.Load  AV (1)", "mhl");
        return;
    }
    if (video_) return;
    for (const char* ext : {".avi", ".wmv", ".ogg"}) {
        const std::string file = DataPath + "cinematics/" + meshId + ext;
        if (!platform::FileExists(file)) continue;
        const bool guarded = std::string(ext) == ".avi";
        int step = 2;
        try {
            video_ = VideoRendererClass::Create(Device.Get());
            step = 3;
            video_->Load(file);
            step = 4;
            video_->Stop(); // rests at position 0 until played
        } catch (const std::exception&) {
            if (!guarded) throw;
            ErrorReport("TMorphedAnimatedObjClass.Load  AV (" + std::to_string(step) + ")", "mhl");
        }
        return;
    }
    LoadModel(meshId, animMeshId, baseName, withParts, flags);
}

void TMorphedAnimatedObjClass::LoadModel(const std::string& meshId, const std::string& animMeshId,
                                         const std::string& baseName, bool withParts, uint64_t flags) {
    std::string meshName = MeshField(meshId, "name");
    const std::string path = MeshField(meshId, "path") + "/";
    model_ = vesk::GetModelTree(path + meshId + ".cm");
    if (!model_) {
        FastLogAddError("TMorphedAnimatedObjClass.Load: no model tree for " + path + meshId + ".cm");
        return;
    }
    TRenderObject* ro = model_->BuildMorphRO(baseName, RO_MORPHSTREAMS);
    if (!ro) return;
    SetLocalMatrix(ro->GetMatrix());
    // The unit owns its blended object (it is not shared through the tree).
    AddRO(OwnedUnitViewOf(ro));

    if (!animMeshId.empty()) {
        meshName = MeshField(animMeshId, "name");
        animation_ = vesk::GetModelTree(MeshField(animMeshId, "path") + "/" + animMeshId + ".cm");
    } else {
        // A character without an animation file animates from its model's own tracks.
        const std::string cma = path + meshId + ".cma";
        animation_ = platform::FileExists(cma) ? vesk::GetModelTree(cma) : model_;
    }
    if (!animation_) animation_ = model_;
    AttachKeyAnimation(*animation_, baseName);

    TBaseRenderUnit* parent = Parent();
    IModelTree* background = model_;
    if (withParts && parent) {
        LoadEyes(*parent);
        LoadHeadParts(*parent);
        parent->AddLampsFromCM(*model_, animation_);
        if (flags & MORPH_LOAD_BACKGROUND_FROM_ANIM) {
            meshName = MeshField(animMeshId, "name");
            background = vesk::GetModelTree(MeshField(animMeshId, "path") + "/" + animMeshId + ".cm");
        }
        if (background && background->HasModelObject("background"))
            if (MultiroleBRUClass* b = PartOf(*parent, *background, "background", 8, BRU_KEEPLOCALLIGHTS))
                b->SetVisible(true);
    }

    TBaseRenderUnit* vpch = nullptr;
    for (TBaseRenderUnit* p = this; p && !vpch; p = p->Parent())
        if (p->HasFlag2(BRU2_VIEWPORT_CHARACTER)) vpch = p;
    if (!vpch && parent && parent->ChildsBRU())
        for (TBaseRenderUnit* c : *parent->ChildsBRU())
            if (c && c->HasFlag2(BRU2_VIEWPORT_CHARACTER)) vpch = c;
    auto* character = dynamic_cast<MultiroleBRUClass*>(vpch);
    if (!character) {
        ErrorReport("TMorphedAnimatedObjClass.Load: VPCH not found", "mhl");
        return;
    }
    const bool fromBackground = (flags & MORPH_LOAD_AMBIENT_FROM_BACKGROUND) && background;
    character->SetAmbient(fromBackground ? background->ModelAmbient() : model_->ModelAmbient());

    const ROKeyTrack* first = animation_->FirstTrack();
    if (first && !animation_->HasAnimationRoot()) {
        ErrorReport("CMAData.PAnimationRoot=nil", "mhl");
        return;
    }
    TRenderObject* base = nullptr;
    if (const RenderObjectList* list = GetROList())
        for (const auto& e : *list)
            if (auto* r = dynamic_cast<TRenderObject*>(e.get());
                r && platform::SameTextCp1251(r->GetName(), baseName))
                base = r;
    if (!base) {
        ErrorReport("(ro:=FindRO(Base)=nil)", "mhl");
        return;
    }
    if (auto* morpher = dynamic_cast<MorpherClass*>(base->GetMorpher())) {
        IModelTree* records = animation_;
        morpher->SetupStreams(
            [records](const std::string& stream) { return records->FindMorphRecord(stream); });
    }
    if (first) clock_.length = (first->endFrame - first->startFrame) / 30.0f;

    const std::vector<std::string> cameras = animation_->ModelCameraNames();
    if (cameras.size() == 2) {
        if (const auto& attach = GetRenderWorldLinks().attachCameraAnimators)
            attach(*this, *animation_, cameras[0], cameras[1]);
        else
            FastLogAddError("TMorphedAnimatedObjClass.Load: no camera adapter for " + GetInfoStr());
    }
    if (parent) parent->GetSubObjects(*model_, meshName);
}

void TMorphedAnimatedObjClass::LoadEyes(TBaseRenderUnit& parent) {
    for (const char* eye : {"eye1", "eye2"}) {
        if (!model_->HasModelObject(eye)) continue;
        uint64_t flags = BRU_KEEPLOCALLIGHTS;
        if (!animation_->FindMorphRecord(eye)) flags |= 4;
        PartOf(parent, *model_, eye, 8, flags);
    }
}

void TMorphedAnimatedObjClass::LoadHeadParts(TBaseRenderUnit& parent) {
    for (const std::string& object : model_->ModelObjectNames()) {
        if (ContainsUpper(object, "HEADSET_")) {
            PartOf(parent, *model_, object, 0, BRU_KEEPLOCALLIGHTS);
        } else if (ContainsUpper(object, "DECOR_") || ContainsUpper(object, "HELMET_")) {
            // A part with a model of its own: mesh[object].path + "/" + object, object "base".
            IModelTree* own = vesk::GetModelTree(MeshField(object, "path") + "/" + object + ".cm");
            if (!own) {
                FastLogAddError("TMorphedAnimatedObjClass.Load: no model for the part " + object);
                continue;
            }
            if (MultiroleBRUClass* part = PartOf(parent, *own, "base", 4, BRU_KEEPLOCALLIGHTS)) {
                part->SetName(object);
                Matrix m;
                if (model_->ModelObjectMatrix(object, m)) part->SetBaseMatrix(m);
                part->AddLampsFromCM(*own);
            }
        }
    }
}

} // namespace vesk
