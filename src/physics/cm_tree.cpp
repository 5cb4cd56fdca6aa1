#include "physics/cm_tree.h"

#include "core/var_list.h"
#include "platform/files.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "shared/memstatus.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vesk {

namespace {

CMRenderObjectBuilder& RenderObjectBuilder() {
    static CMRenderObjectBuilder builder;
    return builder;
}

std::string HexText(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return platform::LowerCaseCp1251(text).find(platform::LowerCaseCp1251(part)) != std::string::npos;
}

template <class T> bool FindByName(std::vector<T>& list, std::string_view name, T*& out) {
    for (auto& r : list)
        if (platform::SameTextCp1251(r.names.name, name)) {
            out = &r;
            return true;
        }
    return false;
}

} // namespace

static std::function<void(TRenderObject*)>& RenderObjectReleaser() {
    static std::function<void(TRenderObject*)> releaser;
    return releaser;
}

void SetCMRenderObjectReleaser(std::function<void(TRenderObject*)> releaser) {
    RenderObjectReleaser() = std::move(releaser);
}

void SetCMRenderObjectBuilder(CMRenderObjectBuilder builder) {
    RenderObjectBuilder() = std::move(builder);
}

// ---- the chunk reader ----------------------------------------------------------

// Walks the chunks of one file image. Every read is checked against the end of
// the image and against the chunk's own sizes; a fault throws CMFileError.
class CMChunkParser {
public:
    CMChunkParser(CMTreeClass& tree, std::string_view data, const std::string& fileName)
        : tree_(tree), data_(reinterpret_cast<const uint8_t*>(data.data())), size_(data.size()),
          file_(fileName) {}

    void Run() {
        ReadStringTable();
        pos_ = 0;
        for (;;) {
            const Chunk c = ReadHeader();
            switch (c.type) {
            case CHUNK_SCENE:
                tree_.sceneName_ = Str(c, 20);
                tree_.ambient_ = Colour(c, 24);
                Skip(c);
                break;
            case CHUNK_GEOMOBJ:
                ReadGeomObj(c);
                break;
            case CHUNK_BSPHERE: {
                BoundingSphereStruct& s = tree_.bspheres_.emplace_back();
                s.names = Names(c);
                s.centre = V3(c, 28);
                s.radius = F32(c, 40);
                s.matrix = TM(c, 44);
                Skip(c);
                break;
            }
            case CHUNK_HELPER_LIST_BEGIN:
                ReadList(CHUNK_HELPER_LIST_END, CHUNK_HELPER, [&](const Chunk& h) {
                    CMHelperStruct& r = tree_.helpers_.emplace_back();
                    r.names = Names(h);
                    r.position = V3(h, 28);
                    r.matrix = TM(h, 40);
                    ReadMembers(CHUNK_HELPER_END, r.animationTrack);
                });
                break;
            case CHUNK_LIGHT_LIST_BEGIN:
                ReadList(CHUNK_LIGHT_LIST_END, CHUNK_LIGHT, [&](const Chunk& h) {
                    CMLightStruct& r = tree_.lights_.emplace_back();
                    r.names = Names(h);
                    r.position = V3(h, 28);
                    r.value = U32(h, 40);
                    for (int i = 0; i < 4; ++i) r.colour[i] = F32(h, 44 + 4 * i);
                    ReadMembers(CHUNK_LIGHT_END, r.animationTrack);
                });
                break;
            case CHUNK_CAMERA_LIST_BEGIN:
                ReadList(CHUNK_CAMERA_LIST_END, CHUNK_CAMERA, [&](const Chunk& h) {
                    CMCameraStruct& r = tree_.cameras_.emplace_back();
                    r.names = Names(h);
                    r.fourth = Str(h, 28);
                    for (int i = 0; i < 3; ++i) r.values[i] = U32(h, 32 + 4 * i);
                    r.matrix = TM(h, 56);
                    for (int i = 0; i < 3; ++i) r.values2[i] = U32(h, 104 + 4 * i);
                    r.fov = F32(h, 116);
                    ReadMembers(CHUNK_CAMERA_END, r.animationTrack);
                });
                break;
            case CHUNK_SHAPE_LIST_BEGIN:
                ReadList(CHUNK_SHAPE_LIST_END, CHUNK_SHAPE, [&](const Chunk& h) { ReadShape(h); });
                break;
            case CHUNK_ANIMATION_ROOT:
                tree_.animationRoot_ = ReadRoot(c);
                break;
            case CHUNK_ANIMATION_TRACK:
                tree_.tracks_.push_back(ReadTrack(c));
                break;
            case CHUNK_END:
            case CHUNK_END_2:
                return;
            default:
                Skip(c);
                break;
            }
        }
    }

private:
    struct Chunk {
        size_t start = 0;
        uint32_t headerSize = 0, dataSize = 0, type = 0;
    };

    [[noreturn]] void Fail(const std::string& text) const { throw CMFileError(text); }
    [[noreturn]] void FailAt(const std::string& what, size_t offset) const {
        Fail("CMTreeClass.LoadFromFile: " + what + " in " + file_ + " at offset " + std::to_string(offset));
    }

    // The header at the cursor; the cursor moves past it.
    Chunk ReadHeader() {
        if (pos_ >= size_) Fail("FileRead(CMFile,pchunk^,HeaderSize)=0");
        Chunk c;
        c.start = pos_;
        if (size_ - pos_ < kChunkCommonSize) FailAt("truncated chunk header", pos_);
        c.headerSize = GetU32(data_ + pos_);
        c.dataSize = GetU32(data_ + pos_ + 4);
        c.type = GetU32(data_ + pos_ + 8);
        if (c.headerSize < kChunkCommonSize)
            FailAt("chunk header size " + std::to_string(c.headerSize) + " below 20", pos_);
        if (c.headerSize > size_ - pos_) FailAt("truncated chunk header", pos_);
        pos_ += c.headerSize;
        return c;
    }

    // The first `need` bytes of the chunk's data; the cursor moves past all of it.
    const uint8_t* ReadData(const Chunk& c, uint64_t need, uint64_t count) {
        if (need > c.dataSize)
            FailAt("count " + std::to_string(count) + " does not fit the chunk data (" +
                       std::to_string(c.dataSize) + " bytes)",
                   c.start);
        const size_t at = c.start + c.headerSize;
        if (c.dataSize > size_ - at) FailAt("chunk data past the end of the file", c.start);
        pos_ = at + c.dataSize;
        return data_ + at;
    }

    // Seeks past the chunk's data; a seek past the end makes the next header read fail.
    void Skip(const Chunk& c) { pos_ = c.start + c.headerSize + static_cast<size_t>(c.dataSize); }

    const uint8_t* Field(const Chunk& c, uint32_t offset, uint32_t bytes) const {
        if (static_cast<uint64_t>(offset) + bytes > c.headerSize)
            FailAt("chunk header too short (type " + HexText(c.type) + ", " + std::to_string(c.headerSize) +
                       " bytes)",
                   c.start);
        return data_ + c.start + offset;
    }
    uint32_t U32(const Chunk& c, uint32_t off) const { return GetU32(Field(c, off, 4)); }
    float F32(const Chunk& c, uint32_t off) const { return GetF32(Field(c, off, 4)); }
    Vec3 V3(const Chunk& c, uint32_t off) const {
        const uint8_t* p = Field(c, off, 12);
        return {GetF32(p), GetF32(p + 4), GetF32(p + 8)};
    }
    // Three axis rows and the translation row into a 4x4 matrix.
    Matrix TM(const Chunk& c, uint32_t off) const {
        const uint8_t* p = Field(c, off, 48);
        Matrix m;
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 3; ++k) m.m[r][k] = GetF32(p + 12 * r + 4 * k);
        return m;
    }
    uint32_t Colour(const Chunk& c, uint32_t off) const {
        const uint8_t* p = Field(c, off, 16);
        return PackColor(GetF32(p), GetF32(p + 4), GetF32(p + 8), GetF32(p + 12));
    }
    std::string Str(const Chunk& c, uint32_t off) const {
        const uint32_t id = U32(c, off);
        const auto& strings = tree_.strings_;
        if (id >= strings.size())
            Fail("CMTreeClass.GetStrByID: str_id>=StringsList.Count in " + file_ +
                 ", count: " + std::to_string(strings.size()) + ", id: " + std::to_string(id));
        return strings[id];
    }
    CMNames Names(const Chunk& c) const { return {Str(c, 20), Str(c, 24), Str(c, 16)}; }

    // The string table: found by stepping over chunks from the second one on.
    void ReadStringTable() {
        size_t at = 0;
        for (;;) {
            if (size_ < 12 || at > size_ - 12) Fail("Zero chunk type in " + file_);
            const uint32_t hs = GetU32(data_ + at);
            const uint32_t ds = GetU32(data_ + at + 4);
            if (hs < kChunkCommonSize) FailAt("chunk header size " + std::to_string(hs) + " below 20", at);
            at += static_cast<size_t>(hs) + ds;
            if (at < size_ && size_ - at >= 12) {
                const uint32_t type = GetU32(data_ + at + 8);
                if (type == 0) break;
                if (type == CHUNK_STRING_LIST_BEGIN) {
                    pos_ = at;
                    ReadHeader();
                    ReadStrings();
                    return;
                }
            } else {
                break;
            }
        }
        Fail("Zero chunk type in " + file_);
    }

    void ReadStrings() {
        // Counted first so that the list is sized once.
        size_t count = 0;
        for (size_t at = pos_; size_ - at >= 12;) {
            const uint32_t hs = GetU32(data_ + at), type = GetU32(data_ + at + 8);
            if (type == CHUNK_STRING_LIST_END || hs < kChunkCommonSize) break;
            count += type == CHUNK_STRING;
            const uint64_t next = at + static_cast<uint64_t>(hs) + GetU32(data_ + at + 4);
            if (next >= size_) break;
            at = static_cast<size_t>(next);
        }
        tree_.strings_.reserve(count);
        for (;;) {
            const Chunk c = ReadHeader();
            if (c.type == CHUNK_STRING_LIST_END) return;
            if (c.type != CHUNK_STRING) {
                Skip(c);
                continue;
            }
            const char* p = reinterpret_cast<const char*>(ReadData(c, c.dataSize, c.dataSize));
            const void* nul = std::memchr(p, 0, c.dataSize);
            tree_.strings_.emplace_back(p, nul ? static_cast<const char*>(nul) - p : c.dataSize);
        }
    }

    // Reads a list up to its end marker: `item` chunks go to the handler,
    // anything else is skipped.
    template <class F> void ReadList(uint32_t endType, uint32_t itemType, F&& onItem) {
        for (;;) {
            const Chunk c = ReadHeader();
            if (c.type == endType) {
                Skip(c);
                return;
            }
            if (c.type == itemType)
                onItem(c);
            else
                Skip(c);
        }
    }

    // Members of a helper, light or camera: an animation track is kept.
    void ReadMembers(uint32_t endType, std::optional<CMAnimationTrackStruct>& track) {
        for (;;) {
            const Chunk c = ReadHeader();
            if (c.type == endType) {
                Skip(c);
                return;
            }
            if (c.type == CHUNK_ANIMATION_TRACK)
                track = ReadTrack(c);
            else
                Skip(c);
        }
    }

    CMAnimationRootStruct ReadRoot(const Chunk& c) {
        CMAnimationRootStruct r;
        r.names = Names(c);
        r.values[0] = U32(c, 28);
        r.values[1] = U32(c, 32);
        return r;
    }

    CMAnimationTrackStruct ReadTrack(const Chunk& c) {
        CMAnimationTrackStruct t;
        t.names = Names(c);
        t.startFrame = F32(c, 28);
        t.endFrame = F32(c, 32);
        t.value = U32(c, 36);
        t.keyCount = U32(c, 40);
        const uint8_t* p = ReadData(c, static_cast<uint64_t>(t.keyCount) * kFileKeySize, t.keyCount);
        t.keys.resize(t.keyCount);
        for (auto& k : t.keys) {
            k.value4 = GetU32(p + 4);
            const float time = GetF32(p + 8) * 0.01f;
            for (float& f : k.time) f = time;
            k.value12 = GetU32(p + 12);
            for (int r = 0; r < 4; ++r)
                for (int j = 0; j < 3; ++j) k.matrix.m[r][j] = GetF32(p + 20 + 12 * r + 4 * j);
            for (int i = 0; i < 4; ++i) k.colour[i] = GetF32(p + 68 + 4 * i);
            k.factor = GetF32(p + 84);
            p += kFileKeySize;
        }
        for (;;) {
            const Chunk m = ReadHeader();
            if (m.type == 0) Fail("animation load:     case pchunk.chunk_type of: 0");
            Skip(m);
            if (m.type == CHUNK_ANIMATION_TRACK_END) return t;
        }
    }

    std::vector<uint32_t> ReadIndices(const Chunk& c, uint32_t& count) {
        count = U32(c, 20);
        const uint8_t* p = ReadData(c, static_cast<uint64_t>(count) * 4, count);
        std::vector<uint32_t> out;
        AssignPackedRecords(out, p, count);
        return out;
    }

    void ReadMaterial(const Chunk& c, GeomObjStruct& g) {
        CMMaterialStruct m;
        m.name = Str(c, 20);
        m.second = Str(c, 24);
        m.value = U32(c, 28);
        for (int i = 0; i < 3; ++i) m.colours[i] = Colour(c, 32 + 16 * i);
        auto map = [&](uint32_t off, std::optional<DiffuseMapStruct>& out) {
            if (U32(c, off + 4) != 0) out = DiffuseMapStruct{Str(c, off), Str(c, off + 4)};
        };
        map(80, m.diffuseMap);
        map(136, m.selfillumMap);
        map(192, m.opacityMap);
        Skip(c);
        for (;;) {
            const Chunk x = ReadHeader();
            if (x.type == CHUNK_MATERIAL_END) {
                Skip(x);
                break;
            }
            if (x.type == CHUNK_INDEX_LIST)
                m.indices = ReadIndices(x, m.indexCount);
            else
                Skip(x);
        }
        if (m.indexCount > 0) g.materials.push_back(std::move(m));
    }

    void ReadGeomObj(const Chunk& c) {
        GeomObjStruct g;
        g.names = Names(c);
        for (int i = 0; i < 5; ++i) g.vectors[i] = V3(c, 28 + 12 * i);
        g.matrix = TM(c, 88);
        g.colour = Colour(c, 136);
        Skip(c);
        for (;;) {
            const Chunk m = ReadHeader();
            switch (m.type) {
            case CHUNK_GEOMOBJ_END:
                Skip(m);
                tree_.geomObjects_.push_back(std::move(g));
                return;
            case CHUNK_MATERIAL:
                ReadMaterial(m, g);
                break;
            case CHUNK_MATERIAL_LIST_BEGIN:
                ReadList(CHUNK_MATERIAL_LIST_END, CHUNK_MATERIAL,
                         [&](const Chunk& x) { ReadMaterial(x, g); });
                break;
            case CHUNK_VERTEX_LIST: {
                const uint32_t count = U32(m, 20);
                if (U32(m, 24) != sizeof(CMVertex)) Fail("pchvlist.vertex_size<>sizeof(D3DVERTEX)");
                const uint8_t* p = ReadData(m, static_cast<uint64_t>(count) * sizeof(CMVertex), count);
                g.vertexCount = count;
                AssignPackedRecords(g.vertices, p, count);
                break;
            }
            case CHUNK_INDEX_LIST:
                g.indices = ReadIndices(m, g.indexCount);
                break;
            case CHUNK_TEXCOORD_LIST: {
                const uint32_t count = U32(m, 20);
                if (U32(m, 24) != 8) Fail("pchtclist <> 8 (UV in CMParser)");
                if (U32(m, 28) != 1) Fail("pchtclist.chanal <> 1: not supported");
                const uint8_t* p = ReadData(m, static_cast<uint64_t>(count) * 8, count);
                AssignPackedRecords(g.texCoords2, p, count);
                break;
            }
            case CHUNK_ANIMATION_ROOT:
                g.animationRoot = ReadRoot(m);
                break;
            case CHUNK_ANIMATION_TRACK:
                g.animationTrack = ReadTrack(m);
                break;
            default:
                Skip(m);
                break;
            }
        }
    }

    void ReadShape(const Chunk& c) {
        CMShapeStruct s;
        s.names = Names(c);
        s.fourth = Str(c, 28);
        for (int i = 0; i < 6; ++i) s.values[i] = U32(c, 32 + 4 * i);
        s.matrix = TM(c, 56);
        s.pointCount = U32(c, 104);
        const uint8_t* p = ReadData(c, static_cast<uint64_t>(s.pointCount) * 12, s.pointCount);
        AssignPackedRecords(s.points, p, s.pointCount);
        tree_.shapes_.push_back(std::move(s));
        // Members up to the shape's end are stepped over by their headers only.
        for (;;) {
            const Chunk m = ReadHeader();
            if (m.type == 0) Fail("fff");
            if (m.type == CHUNK_SHAPE_END) return;
        }
    }

    CMTreeClass& tree_;
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    const std::string& file_;
};

// ---- the tree --------------------------------------------------------------------

ROManagerClass::~ROManagerClass() {
    if (const auto& release = RenderObjectReleaser())
        for (const Entry& e : entries_)
            if (e.object) release(e.object);
}

TRenderObject* ROManagerClass::Find(std::string_view name) const {
    for (const auto& e : entries_)
        if (platform::SameTextCp1251(e.name, name)) return e.object;
    return nullptr;
}

void ROManagerClass::Add(std::string name, TRenderObject* object) {
    entries_.push_back({std::move(name), object});
}

CMTreeClass::CMTreeClass() {
    if (TVarList* list = FindVarListWith("vis.cubemode"))
        cubeMode_ = list->Get("vis.cubemode").AsString() == "1";
}

void CMTreeClass::Clear() {
    sceneName_.clear();
    ambient_ = 0;
    strings_.clear();
    geomObjects_.clear();
    helpers_.clear();
    lights_.clear();
    bspheres_.clear();
    cameras_.clear();
    shapes_.clear();
    universal_.clear();
    animationRoot_.reset();
    tracks_.clear();
    keyTracks_.clear();
    morphRecords_.clear();
}

void CMTreeClass::LoadFromFile(const std::string& name) {
    // Names of animation files (".cma") already hold ".cm".
    std::string file = name;
    if (!ContainsNoCase(file, ".cm")) file += ".cm";
    file = ResolveModPath(file);
    fileName_ = file;
    // Opened at once: whether the file is there is asked only when it cannot be read.
    platform::FileView view;
    if (!view.Open(file)) {
        if (!platform::FileExists(file))
            ErrorReport("CMTreeClass.LoadFromFile: File not found: " + platform::CurrentFolder() + "/" + file,
                        "mhl");
        else
            ErrorReport("CMTreeClass.LoadFromFile: Cant open file: " + file, "mhl");
        return;
    }
    fileDate_ = static_cast<uint32_t>(view.Time());
    LoadFromMemory(view.Bytes(), file);
}

void CMTreeClass::LoadFromMemory(std::string_view bytes, const std::string& fileName) {
    const MemUsageMark mark = TakeMemUsageMark();
    if (LogEnabled) FastLogAdd("Begin loading " + fileName);
    try {
        Parse(bytes, fileName);
    } catch (const CMFileError& e) {
        Clear();
        ErrorReport(NamingFile(e.what(), fileName), "mhl");
        return;
    }
    LogLoadEnd(mark);
}

void CMTreeClass::Parse(std::string_view bytes, const std::string& fileName) {
    Clear();
    fileName_ = fileName;
    fileSize_ = static_cast<uint32_t>(bytes.size());
    CMChunkParser(*this, bytes, fileName_).Run();
    BuildUniversalHelpers();
}

void CMTreeClass::LogLoadEnd(const MemUsageMark& mark) {
    for (const auto& g : geomObjects_)
        if (g.materials.size() >= 16)
            FastLogAddError("CMParser warning: " + fileName_ + ", " + g.names.name +
                            ": materials count=" + std::to_string(g.materials.size()));
    if (mark.taken) LogMemUsageSince(mark, "CMParser_Load_" + fileName_);
}

void CMTreeClass::BuildUniversalHelpers() {
    universal_.clear();
    size_t count = helpers_.size() + bspheres_.size() + geomObjects_.size();
    for (const auto& s : shapes_) count += s.points.size();
    universal_.reserve(count);
    for (const auto& h : helpers_) {
        Matrix m;
        MatrixSetTranslation(m, h.position);
        universal_.push_back({h.names.name, h.position, m, 0.0f});
    }
    for (const auto& s : bspheres_) universal_.push_back({s.names.name, s.centre, s.matrix, s.radius});
    for (const auto& g : geomObjects_) universal_.push_back({g.names.name, g.vectors[3], g.matrix, 0.0f});
    for (const auto& s : shapes_)
        for (size_t i = 0; i < s.points.size(); ++i) {
            std::string n = s.names.name;
            if (i >= 1 && i <= 9) n += "0" + std::to_string(i);
            if (i >= 10) n += std::to_string(i);
            universal_.push_back({std::move(n), s.points[i], s.matrix, 0.0f});
        }
}

bool CMTreeClass::GetGeomobject(std::string_view name, GeomObjStruct*& out) {
    return FindByName(geomObjects_, name, out);
}
bool CMTreeClass::GetHelper(std::string_view name, CMHelperStruct*& out) {
    return FindByName(helpers_, name, out);
}
bool CMTreeClass::GetLight(std::string_view name, CMLightStruct*& out) {
    return FindByName(lights_, name, out);
}
bool CMTreeClass::GetCamera(std::string_view name, CMCameraStruct*& out) {
    return FindByName(cameras_, name, out);
}
bool CMTreeClass::GetAnimationTrack(std::string_view name, CMAnimationTrackStruct*& out) {
    return FindByName(tracks_, name, out);
}

bool CMTreeClass::GetBoundingSphere(std::string_view name, BoundingSphereStruct*& out) {
    const std::string key = platform::UpperCaseCp1251(name);
    for (auto& s : bspheres_)
        if (platform::UpperCaseCp1251(s.names.name) == key) {
            out = &s;
            return true;
        }
    return false;
}

void CMTreeClass::GetLightPos(std::string_view name, Vec3& out) {
    for (const auto& l : lights_)
        if (l.names.name == name) {
            out = l.position;
            return;
        }
    ErrorReport("Light not found: " + std::string(name), "mhl");
}

void CMTreeClass::GetLightColor(std::string_view name, float out[4]) {
    for (int i = 0; i < 4; ++i) out[i] = 0.0f;
    for (const auto& l : lights_)
        if (l.names.name == name) {
            for (int i = 0; i < 4; ++i) out[i] = l.colour[i];
            return;
        }
    ErrorReport("Light not found: " + std::string(name), "mhl");
}

void CMTreeClass::GetObjectMatrix(std::string_view name, Matrix& out) {
    for (const auto& g : geomObjects_)
        if (g.names.name == name) {
            out = g.matrix;
            return;
        }
    ErrorReport("Object not found: " + std::string(name), "mhl");
}

void CMTreeClass::GetUniversalHelper(std::string_view name, Vec3& position, float& radius) {
    for (const auto& u : universal_)
        if (platform::SameTextCp1251(u.name, name)) {
            position = u.position;
            radius = u.radius;
            return;
        }
    ErrorReport("CMTreeClass.GetUniversalHelper(): unknown helper [" + std::string(name) + "]!!!", "mhl");
}

std::vector<LodStruct> CMTreeClass::GetLODList(std::string_view name, uint64_t options) {
    std::vector<LodStruct> list;
    const std::string key = platform::LowerCaseCp1251(name);
    for (size_t i = 0; i < geomObjects_.size(); ++i) {
        // Copied: CreateRO may not keep references into the list stable.
        const std::string object = geomObjects_[i].names.name;
        if (!object.empty() && platform::SameTextCp1251(object, name)) {
            list.push_back({object, 100.0f, CreateRO(object, false, options)});
            continue;
        }
        const std::string lower = platform::LowerCaseCp1251(object);
        const size_t lod = lower.find("_lod_");
        if (lod == std::string::npos || (lower + "_lod_").find(key) == std::string::npos) continue;
        size_t end = lod + 5;
        while (end < object.size() && object[end] >= '0' && object[end] <= '9') ++end;
        if (end == lod + 5) {
            ErrorReport("count=0 in lod name: " + object, "mhl");
            continue;
        }
        // A run of digits too long for a float reads as infinity, never as a fault.
        const float distance = std::strtof(object.substr(lod + 5, end - lod - 5).c_str(), nullptr);
        list.push_back({object, distance, CreateRO(object, false, options)});
    }
    return list;
}

TRenderObject* CMTreeClass::CreateRO(std::string_view name, bool materialFlag, uint64_t options) {
    GeomObjStruct* object = nullptr;
    if (!GetGeomobject(name, object)) {
        ErrorReport("CM.CreateRO: Object not found: " + std::string(name), "mhl");
        return nullptr;
    }
    if (TRenderObject* ro = renderObjects_.Find(name)) return ro;

    CMRenderObjectRequest request;
    request.pool = (options & 0x80) ? 0u : (options & 0x100) ? 2u : 1u;
    if (options & 0x200) request.usage |= 0x200;
    if (options & 0x400) request.usage |= 0x8;
    if (options & 0x10) request.applyState = (request.applyState & ~0x4u) | 0x8u;
    if (options & 0x20) request.applyState = (request.applyState & ~0x10u) | 0x20u;
    if (options & 0x40) {
        request.applyState |= 0x400;
        request.restoreState |= 0x800;
    }
    request.builder = cubeMode_               ? CMBuilderKind::CubeMode
                      : object->HasSecondUV() ? CMBuilderKind::LightMap
                                              : CMBuilderKind::Generic;
    request.materialFlag = materialFlag;
    request.fileName = fileName_;
    request.objectName = object->names.name;

    const CMRenderObjectBuilder& build = RenderObjectBuilder();
    if (!build) {
        ErrorReport("CM.CreateRO: no render-object builder for " + std::string(name), "mhl");
        return nullptr;
    }
    CMApplyVertexStep(*object, options);
    TRenderObject* ro = build(*this, *object, request);
    renderObjects_.Add(std::string(name), ro);
    return ro;
}

void CMApplyVertexStep(GeomObjStruct& object, uint64_t options) {
    if (!(options & (kCMStepScale | kCMStepTranslate | kCMStepRotate | kCMStepInverse))) return;
    const Matrix& t = object.matrix;
    Matrix inverse; // stays the identity for a singular matrix
    MatrixInverse(t, inverse);
    Matrix m;
    Matrix rotation;
    const bool rotate = !(options & kCMStepInverse) && (options & kCMStepRotate);
    if (options & kCMStepInverse) {
        m = inverse;
    } else {
        if (rotate) {
            rotation = inverse;
            MatrixNormalizeColumns(rotation);
            MatrixClearTranslation(rotation);
            m = MatrixProduct(m, rotation);
        }
        if (options & kCMStepTranslate) {
            const Vec3 d = MatrixGetTranslation(t);
            m = MatrixProduct(m, MatrixTranslation(-d.x, -d.y, -d.z));
        }
        if (options & kCMStepScale) {
            Matrix axes = t;
            MatrixClearTranslation(axes);
            const Vec3 s = MatrixGetColumnScale(axes);
            const float inv[3] = {s.x != 0 ? 1 / s.x : 0, s.y != 0 ? 1 / s.y : 0, s.z != 0 ? 1 / s.z : 0};
            // Whole columns, the translation row included: the move happens before the scaling.
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 3; ++c) m.m[r][c] *= inv[c];
        }
    }
    for (auto& v : object.vertices) {
        v.position = Vec3TransformCoord(v.position, m);
        if (rotate) v.normal = Vec3TransformNormal(v.normal, rotation);
    }
}

} // namespace vesk
