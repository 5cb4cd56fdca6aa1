#pragma once
// Saveable data: an object registers its fields, and they are written as
// hexadecimal text in the order of registration (no names, no separators)
// and read back the same way.
#include "platform/math_types.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

// A text read and written from a current position.
class TStringStream {
public:
    TStringStream() = default;
    explicit TStringStream(std::string data) : data_(std::move(data)) {}
    void WriteString(const std::string& s) {
        data_.replace(position_, std::min(s.size(), data_.size() - position_), s);
        position_ += s.size();
    }
    // Reads count characters; false (nothing read) when fewer remain.
    bool ReadString(size_t count, std::string& out) {
        if (count > data_.size() - position_) return false;
        out.assign(data_, position_, count);
        position_ += count;
        return true;
    }
    const std::string& DataString() const { return data_; }
    size_t Size() const { return data_.size(); }
    size_t Position() const { return position_; }
    void SetPosition(size_t p) { position_ = std::min(p, data_.size()); }

private:
    std::string data_;
    size_t position_ = 0;
};

class TSaveDataClass : public TEngineObject {
public:
    enum FieldKind : int {
        kNested = 5, // a TSaveDataClass, written in place with its own fields
        kRaw = 6,    // raw bytes: size as 8 hex digits, then 2 per byte
        kText = 7,   // std::string: length as 8 hex digits, then 2 per character
        kSkipped = 9 // not saved
        // any other kind: raw bytes
    };

    // The plain constructor is refused (a fatal report naming Init); Init makes one.
    static TSaveDataClass* Create();
    static TSaveDataClass* Init() { return New<TSaveDataClass>(); }
    TSaveDataClass() = default;

    // storage: the bytes of a raw field, a std::string for kText, a
    // TSaveDataClass for kNested (register those with RegisterObject, which
    // converts the pointer). Returns the field's position in the table.
    int RegisterField(void* storage, int size, int kind);
    int RegisterData(void* storage, int size) { return RegisterField(storage, size, kRaw); }
    int RegisterText(std::string* text) { return RegisterField(text, 0, kText); }
    int RegisterObject(TSaveDataClass* nested) { return RegisterField(nested, 0, kNested); }

    bool SaveToString(TStringStream* stream);
    // A stream that is empty, truncated or not hexadecimal is a reported
    // failure; a field never receives more bytes than it was registered with.
    bool LoadFromString(TStringStream* stream);

    TStringStream* Stream() const { return stream_; }
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    int FieldSize(int i) const { return fields_[static_cast<size_t>(i)].size; }

private:
    struct Field {
        void* storage = nullptr;
        int size = 0;     // bytes written on save; the last load's count
        int capacity = 0; // bytes registered
        int kind = kRaw;
        int32_t nestedId = 0; // a nested object's id, to tell it is still alive
    };
    bool LoadField(Field& f, size_t index);
    bool ReadCount(uint32_t& count);
    bool ReadHexBytes(uint32_t count, std::string& out);
    bool LoadFailure(size_t index);

    TStringStream* stream_ = nullptr;
    std::vector<Field> fields_;
};

// A saveable object holding one matrix, saved as a 64-byte raw field.
class MatrixClass : public TSaveDataClass {
public:
    static MatrixClass* Init() { return New<MatrixClass>(); }
    static MatrixClass* InitWithMatrix(const Matrix& m) { return New<MatrixClass>(m); }
    MatrixClass() : MatrixClass(Matrix{}) {}
    explicit MatrixClass(const Matrix& m) : matrix_(m) { RegisterData(&matrix_, sizeof(Matrix)); }

    void SetMatrix(const Matrix& m) { matrix_ = m; }
    const Matrix& GetMatrix() const { return matrix_; }
    Vec3 GetPosition() const { return {matrix_.m[3][0], matrix_.m[3][1], matrix_.m[3][2]}; }
    void SetPosition(const Vec3& p) {
        matrix_.m[3][0] = p.x;
        matrix_.m[3][1] = p.y;
        matrix_.m[3][2] = p.z;
    }

private:
    Matrix matrix_;
};

} // namespace vesk
