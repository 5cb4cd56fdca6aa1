#include "physics/cm_writer.h"

#include "platform/files.h"
#include "platform/system.h"

namespace vesk {

namespace {

constexpr const char* kWriterCaption = "CM Err";

void WriterError(const std::string& text) {
    platform::ShowMessageBox(text, kWriterCaption);
}

void PutVec3(uint8_t* p, const Vec3& v) {
    PutF32(p, v.x);
    PutF32(p + 4, v.y);
    PutF32(p + 8, v.z);
}

// A marker chunk: the common header and no data.
CMHeaderClass Marker(CMStringsClass* strings, uint32_t type) {
    CMHeaderClass h;
    h.Init(strings, type, kChunkCommonSize, 0, "", 1);
    return h;
}

} // namespace

bool CMHeaderClass::Init(CMStringsClass* strings, uint32_t chunkType, uint32_t headerSize, uint32_t dataSize,
                         const std::string& name, uint32_t flag) {
    if (!strings) {
        WriterError("CMHeaderClass.Init: _fStr= nil");
        return false;
    }
    if (headerSize < kChunkCommonSize) headerSize = kChunkCommonSize;
    headerSize_ = headerSize;
    bytes_.assign(static_cast<size_t>(headerSize) + dataSize, 0);
    uint8_t* h = bytes_.data();
    PutU32(h, headerSize);
    PutU32(h + 4, dataSize);
    PutU32(h + 8, chunkType);
    PutU32(h + 12, flag);
    PutU32(h + 16, strings->AddString(name));
    return true;
}

void CMHeaderClass::WriteToFile(std::string& file) const {
    file.append(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
}

void CMHeaderClass::Free() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    headerSize_ = 0;
}

void CMFileStream::WriteToFile(std::string& file) const {
    for (const auto& c : chunks_) c.WriteToFile(file);
}

uint32_t CMStringsClass::AddString(const std::string& text) {
    if (text.empty() && count_ > 0) return 0;
    const uint32_t id = count_++;
    // The chunk's own str_id is 0 (the empty name), which the table holds
    // from its first string on.
    CMHeaderClass h;
    h.Init(this, CHUNK_STRING, kChunkCommonSize, static_cast<uint32_t>(text.size() + 1), "", 1);
    std::memcpy(h.GetData(), text.data(), text.size());
    chunks_.Add(std::move(h));
    return id;
}

void CMStringsClass::WriteToFile(std::string& file) {
    Marker(this, CHUNK_STRING_LIST_BEGIN).WriteToFile(file);
    chunks_.WriteToFile(file);
    Marker(this, CHUNK_STRING_LIST_END).WriteToFile(file);
}

void CMGeomObjClass::SetNames(const std::string& name, const std::string& second, const std::string& third) {
    name_ = name;
    second_ = second;
    third_ = third;
}

void CMGeomObjClass::SetVertices(uint32_t count) {
    if (verticesSet_) WriterError("CMGeomObjClass.SetVertices: pverts<>nil");
    verticesSet_ = true;
    vertices_.assign(count, CMVertex{});
}

void CMGeomObjClass::SetVertex(uint32_t i, const Vec3& position, const Vec3& normal, float tu, float tv) {
    if (i >= vertices_.size()) return;
    vertices_[i] = {position, normal, tu, tv};
}

void CMGeomObjClass::SetIndices(uint32_t count) {
    if (indicesSet_) WriterError("CMGeomObjClass.SetIndices: pinds<>nil");
    indicesSet_ = true;
    indices_.assign(count, 0);
}

void CMGeomObjClass::SetIndex(uint32_t i, uint32_t value) {
    if (i < indices_.size()) indices_[i] = value;
}

void CMGeomObjClass::WriteToFile(std::string& file) {
    CMHeaderClass obj;
    if (!obj.Init(strings_, CHUNK_GEOMOBJ, kGeomObjHeaderSize, 0, "", 1)) return;
    uint8_t* h = obj.GetHeader();
    PutU32(h + 20, strings_->AddString(name_));
    PutU32(h + 24, strings_->AddString(second_));
    for (int i = 0; i < 5; ++i) PutVec3(h + 28 + 12 * i, vectors[i]);
    // The three axis rows; the translation row stays zero.
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) PutF32(h + 88 + 12 * r + 4 * c, matrix.m[r][c]);
    float rgba[4];
    UnpackColor(colour, rgba);
    for (int i = 0; i < 4; ++i) PutF32(h + 136 + 4 * i, rgba[i]);
    obj.WriteToFile(file);

    CMHeaderClass verts;
    const auto vcount = static_cast<uint32_t>(vertices_.size());
    verts.Init(strings_, CHUNK_VERTEX_LIST, kListHeaderSize, vcount * 32, "", 1);
    PutU32(verts.GetHeader() + 20, vcount);
    PutU32(verts.GetHeader() + 24, 32);
    uint8_t* d = verts.GetData();
    for (const auto& v : vertices_) {
        PutVec3(d, v.position);
        PutVec3(d + 12, v.normal);
        PutF32(d + 24, v.tu);
        PutF32(d + 28, v.tv);
        d += 32;
    }
    verts.WriteToFile(file);

    CMHeaderClass inds;
    const auto icount = static_cast<uint32_t>(indices_.size());
    inds.Init(strings_, CHUNK_INDEX_LIST, kListHeaderSize, icount * 4, "", 1);
    PutU32(inds.GetHeader() + 20, icount);
    d = inds.GetData();
    for (uint32_t v : indices_) {
        PutU32(d, v);
        d += 4;
    }
    inds.WriteToFile(file);

    Marker(strings_, CHUNK_GEOMOBJ_END).WriteToFile(file);
}

CMGeomObjClass* CMSceneClass::AddGeomObj(std::unique_ptr<CMGeomObjClass> object) {
    objects_.push_back(std::move(object));
    return objects_.back().get();
}

CMGeomObjClass* CMSceneClass::NewGeomObj() {
    return AddGeomObj(CMGeomObjClass::Create(&strings_));
}

std::string CMSceneClass::ToBytes() {
    strings_ = CMStringsClass{};
    std::string file;
    CMHeaderClass scene;
    // The header's empty name becomes string 0.
    scene.Init(&strings_, CHUNK_SCENE, kSceneHeaderSize, 0, "", 1);
    PutU32(scene.GetHeader() + 20, strings_.AddString(sceneName_));
    float rgba[4];
    UnpackColor(ambient, rgba);
    for (int i = 0; i < 4; ++i) PutF32(scene.GetHeader() + 24 + 4 * i, rgba[i]);
    scene.WriteToFile(file);
    for (auto& o : objects_) o->WriteToFile(file);
    strings_.WriteToFile(file);
    Marker(&strings_, CHUNK_END).WriteToFile(file);
    return file;
}

bool CMSceneClass::SaveToFile(const std::string& fileName) {
    fileName_ = fileName;
    if (!platform::WriteFile(fileName, ToBytes())) {
        WriterError("CMHeaderClass.WriteToFile: error writing data");
        return false;
    }
    return true;
}

} // namespace vesk
