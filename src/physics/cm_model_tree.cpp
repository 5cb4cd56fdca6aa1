// What the render engine reads of a model tree: records as plain views, key
// tracks, morph weights, and the render objects of characters.
#include "physics/cm_render_link.h"
#include "physics/cm_tree.h"
#include "platform/text.h"
#include "render/ro_builders.h"
#include "shared/errors.h"

namespace vesk {

namespace {

template <class T> const T* FirstNamed(const std::vector<T>& list, std::string_view name) {
    for (const auto& r : list)
        if (platform::SameTextCp1251(r.names.name, name)) return &r;
    return nullptr;
}

} // namespace

const ROKeyTrack* CMTreeClass::KeyTrack(const CMAnimationTrackStruct& track) {
    auto [it, fresh] = keyTracks_.try_emplace(&track);
    if (fresh) it->second = KeyTrackOf(track);
    return &it->second;
}

std::vector<ModelPointRecord> CMTreeClass::ModelHelpers() {
    std::vector<ModelPointRecord> out;
    for (const auto& h : helpers_) out.push_back({h.names.name, h.position, h.matrix, 0});
    return out;
}

std::vector<ModelPointRecord> CMTreeClass::ModelUniversalHelpers() {
    std::vector<ModelPointRecord> out;
    for (const auto& u : universal_) out.push_back({u.name, u.position, u.matrix, u.radius});
    return out;
}

std::vector<ModelPointRecord> CMTreeClass::ModelBoundingSpheres() {
    std::vector<ModelPointRecord> out;
    for (const auto& s : bspheres_) out.push_back({s.names.name, s.centre, s.matrix, s.radius});
    return out;
}

std::vector<ModelLightRecord> CMTreeClass::ModelLights() {
    std::vector<ModelLightRecord> out;
    for (const auto& l : lights_)
        out.push_back({l.names.name,
                       l.position,
                       {l.colour[0], l.colour[1], l.colour[2], l.colour[3]},
                       PackColor(l.colour[0], l.colour[1], l.colour[2], l.colour[3])});
    return out;
}

std::vector<std::string> CMTreeClass::ModelObjectNames() {
    std::vector<std::string> out;
    for (const auto& g : geomObjects_) out.push_back(g.names.name);
    return out;
}

std::vector<std::string> CMTreeClass::ModelCameraNames() {
    std::vector<std::string> out;
    for (const auto& c : cameras_) out.push_back(c.names.name);
    return out;
}

bool CMTreeClass::HasModelObject(std::string_view name) {
    return FirstNamed(geomObjects_, name) != nullptr;
}

bool CMTreeClass::ModelObjectMatrix(std::string_view name, Matrix& out) {
    const GeomObjStruct* g = FirstNamed(geomObjects_, name);
    if (g) out = g->matrix;
    return g != nullptr;
}

const ROKeyTrack* CMTreeClass::FindRecordTrack(std::string_view name) {
    // The first record of that name among the five kinds decides.
    const std::optional<CMAnimationTrackStruct>* track = nullptr;
    if (const auto* g = FirstNamed(geomObjects_, name))
        track = &g->animationTrack;
    else if (const auto* h = FirstNamed(helpers_, name))
        track = &h->animationTrack;
    else if (const auto* l = FirstNamed(lights_, name))
        track = &l->animationTrack;
    else if (const auto* c = FirstNamed(cameras_, name))
        track = &c->animationTrack;
    else if (const auto* t = FirstNamed(tracks_, name))
        return KeyTrack(*t);
    return track && *track ? KeyTrack(**track) : nullptr;
}

const ROKeyTrack* CMTreeClass::FirstTrack() {
    return tracks_.empty() ? nullptr : KeyTrack(tracks_.front());
}

const MorphRecord* CMTreeClass::FindMorphRecord(std::string_view name) {
    const CMAnimationTrackStruct* t = FirstNamed(tracks_, name);
    if (!t) return nullptr;
    auto [it, fresh] = morphRecords_.try_emplace(t);
    if (fresh) {
        // The weight of each key is the float at byte 8 of its record.
        const uint32_t keys = KeyTrackOf(*t).keyCount;
        for (uint32_t i = 0; i < keys; ++i) it->second.weights.push_back(t->keys[i].time[0]);
    }
    return &it->second;
}

uint32_t CMTreeClass::ModelLightColour(std::string_view name) {
    float c[4];
    GetLightColor(name, c);
    return PackColor(c[0], c[1], c[2], c[3]);
}

Vec3 CMTreeClass::ModelLightPosition(std::string_view name) {
    Vec3 p;
    GetLightPos(name, p);
    return p;
}

TRenderObject* CMTreeClass::CreateMorphRO(std::string_view name, uint64_t options) {
    GeomObjStruct* object = nullptr;
    if (!GetGeomobject(name, object)) {
        ErrorReport("CM.CreateRO: Object not found: " + std::string(name), "mhl");
        return nullptr;
    }
    const ROModelNode node = ModelNodeOf(fileName_, *object);
    // Every other object with as many vertices is a shape the morpher can blend to.
    std::vector<ROModelNode> others;
    for (const GeomObjStruct& g : geomObjects_)
        if (&g != object && !platform::SameTextCp1251(g.names.name, name) &&
            g.vertices.size() == object->vertices.size())
            others.push_back(ModelNodeOf(fileName_, g));
    std::vector<const ROModelNode*> sources;
    for (const ROModelNode& o : others) sources.push_back(&o);
    return BuildMorphRenderObject(node, sources, options, object->HasSecondUV());
}

} // namespace vesk
