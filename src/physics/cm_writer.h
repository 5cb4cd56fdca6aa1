#pragma once
// The model-file writer: a scene chunk, geometry objects with their vertex and
// index lists, the string table and the end chunk. Used to store bounding-sphere
// sections and by the content tools. Writer faults are shown in a message box
// captioned "CM Err" and the caller goes on.
#include "physics/cm_format.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class CMStringsClass;

// One chunk: a zero-filled header followed by its data, in one block.
class CMHeaderClass {
public:
    // Sizes the block and sets the five common fields (str_id := the id of
    // name in the string table). False (after the message box) without a table.
    bool Init(CMStringsClass* strings, uint32_t chunkType, uint32_t headerSize, uint32_t dataSize,
              const std::string& name, uint32_t flag);
    uint8_t* GetHeader() { return bytes_.data(); }
    uint8_t* GetData() { return bytes_.data() + headerSize_; }
    uint32_t HeaderSize() const { return headerSize_; }
    uint32_t DataSize() const { return static_cast<uint32_t>(bytes_.size()) - headerSize_; }
    // Appends header and data to the file image.
    void WriteToFile(std::string& file) const;
    void Free();

private:
    std::vector<uint8_t> bytes_;
    uint32_t headerSize_ = 0;
};

// An ordered list of chunks written one after another.
class CMFileStream {
public:
    void Add(CMHeaderClass chunk) { chunks_.push_back(std::move(chunk)); }
    void WriteToFile(std::string& file) const;
    size_t Count() const { return chunks_.size(); }

private:
    std::vector<CMHeaderClass> chunks_;
};

// The string table under construction. Ids are positions; no de-duplication.
class CMStringsClass {
public:
    // An empty text gives 0 once a string exists; otherwise a new string chunk.
    uint32_t AddString(const std::string& text);
    uint32_t Count() const { return count_; }
    // CHUNK_STRING_LIST_BEGIN, the string chunks in id order, CHUNK_STRING_LIST_END.
    void WriteToFile(std::string& file);

private:
    uint32_t count_ = 0;
    CMFileStream chunks_;
};

// One geometry object to write. The vectors, matrix and colour are set
// directly; the matrix's translation row is not written.
class CMGeomObjClass {
public:
    explicit CMGeomObjClass(CMStringsClass* strings) : strings_(strings) {}
    static std::unique_ptr<CMGeomObjClass> Create(CMStringsClass* strings) {
        return std::make_unique<CMGeomObjClass>(strings);
    }

    // The third name is kept but not written.
    void SetNames(const std::string& name, const std::string& second, const std::string& third);
    void SetVertices(uint32_t count);
    void SetVertex(uint32_t i, const Vec3& position, const Vec3& normal, float tu, float tv);
    void SetIndices(uint32_t count);
    void SetIndex(uint32_t i, uint32_t value);
    void WriteToFile(std::string& file);

    Vec3 vectors[5];
    Matrix matrix;
    uint32_t colour = 0;

    const std::string& Name() const { return name_; }
    uint32_t VertexCount() const { return static_cast<uint32_t>(vertices_.size()); }
    uint32_t IndexCount() const { return static_cast<uint32_t>(indices_.size()); }

private:
    CMStringsClass* strings_;
    std::string name_, second_, third_;
    std::vector<CMVertex> vertices_;
    std::vector<uint32_t> indices_;
    bool verticesSet_ = false, indicesSet_ = false;
};

// A whole writer-made file.
class CMSceneClass {
public:
    explicit CMSceneClass(std::string sceneName = {}, std::string fileName = {})
        : sceneName_(std::move(sceneName)), fileName_(std::move(fileName)) {}
    CMSceneClass(const CMSceneClass&) = delete;
    CMSceneClass& operator=(const CMSceneClass&) = delete;

    // The scene takes the object and frees it with itself.
    CMGeomObjClass* AddGeomObj(std::unique_ptr<CMGeomObjClass> object);
    // A new object on the scene's string table, already added.
    CMGeomObjClass* NewGeomObj();
    CMStringsClass* GetStrings() { return &strings_; }

    uint32_t ambient = 0;

    // The file image: scene chunk, objects, string table, CHUNK_END. The
    // string table is rebuilt from the names on every call.
    std::string ToBytes();
    // Creates (truncates) the file and writes the image; false after a short
    // write (reported in the message box).
    bool SaveToFile(const std::string& fileName);

private:
    std::string sceneName_, fileName_;
    CMStringsClass strings_;
    std::vector<std::unique_ptr<CMGeomObjClass>> objects_;
};

} // namespace vesk
