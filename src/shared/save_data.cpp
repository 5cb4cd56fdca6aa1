#include "shared/save_data.h"

#include "shared/errors.h"
#include "shared/helpers.h"

#include <cstring>

namespace vesk {

namespace {

std::string HexBytes(const unsigned char* p, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out(n * 2, '0');
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = kDigits[p[i] >> 4];
        out[2 * i + 1] = kDigits[p[i] & 15];
    }
    return out;
}

} // namespace

TSaveDataClass* TSaveDataClass::Create() {
    ErrorReport("TSaveDataClass.Create: use init", "mhl");
    return nullptr;
}

int TSaveDataClass::RegisterField(void* storage, int size, int kind) {
    Field f;
    // A field without storage has nothing to write or read into.
    if (!storage) kind = kSkipped;
    f.storage = storage;
    f.size = f.capacity = size < 0 ? 0 : size;
    f.kind = kind;
    if (kind == kNested && storage) f.nestedId = static_cast<TSaveDataClass*>(storage)->GetId();
    fields_.push_back(f);
    return static_cast<int>(fields_.size()) - 1;
}

bool TSaveDataClass::SaveToString(TStringStream* stream) {
    if (!stream) {
        ErrorReport("TSaveDataClass.SaveToString : _pStringStream = nil", "mhl");
        return false;
    }
    stream_ = stream;
    for (Field& f : fields_) {
        switch (f.kind) {
        case kSkipped:
            break;
        case kNested: {
            auto* nested = static_cast<TSaveDataClass*>(f.storage);
            if (!nested || FindEngineObjectById(f.nestedId) != nested) {
                ErrorReport("TSaveDataClass.SaveToString : nested object does not exist", "mhl");
                return false;
            }
            if (!nested->SaveToString(stream)) return false;
            break;
        }
        case kText: {
            const auto* text = static_cast<const std::string*>(f.storage);
            stream->WriteString(IntToHex8(static_cast<int32_t>(text->size())) +
                                HexBytes(reinterpret_cast<const unsigned char*>(text->data()), text->size()));
            break;
        }
        default:
            stream->WriteString(IntToHex8(f.size) + HexBytes(static_cast<const unsigned char*>(f.storage),
                                                             static_cast<size_t>(f.size)));
            break;
        }
    }
    return true;
}

bool TSaveDataClass::ReadCount(uint32_t& count) {
    std::string digits;
    if (!stream_->ReadString(8, digits)) return false;
    count = 0;
    for (char c : digits) {
        int d = HexDigitValue(c);
        if (d < 0) return false;
        count = count * 16 + static_cast<uint32_t>(d);
    }
    return true;
}

bool TSaveDataClass::ReadHexBytes(uint32_t count, std::string& out) {
    // The count comes from the text: check it against what is there before
    // reserving anything.
    if (count > (stream_->Size() - stream_->Position()) / 2) return false;
    std::string hex;
    if (!stream_->ReadString(size_t{count} * 2, hex)) return false;
    out.resize(count);
    for (size_t i = 0; i < count; ++i) {
        int hi = HexDigitValue(hex[2 * i]), lo = HexDigitValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<char>(hi * 16 + lo);
    }
    return true;
}

bool TSaveDataClass::LoadFailure(size_t index) {
    ErrorReport("TSaveDataClass.LoadFromString : bad data in field " + std::to_string(index) + " of " +
                    ClassName() + " at " + std::to_string(stream_->Position()),
                "mhl");
    return false;
}

bool TSaveDataClass::LoadField(Field& f, size_t index) {
    switch (f.kind) {
    case kSkipped:
        return true;
    case kNested: {
        auto* nested = static_cast<TSaveDataClass*>(f.storage);
        if (!nested || FindEngineObjectById(f.nestedId) != nested) return LoadFailure(index);
        return nested->LoadFromString(stream_);
    }
    default:
        break;
    }
    size_t start = stream_->Position();
    uint32_t count = 0;
    std::string bytes;
    bool ok = ReadCount(count) && ReadHexBytes(count, bytes);
    if (ok && f.kind != kText && count > static_cast<uint32_t>(f.capacity)) ok = false;
    if (!ok) {
        stream_->SetPosition(start);
        return LoadFailure(index);
    }
    if (f.kind == kText) {
        *static_cast<std::string*>(f.storage) = std::move(bytes);
    } else {
        std::memcpy(f.storage, bytes.data(), count);
        f.size = static_cast<int>(count);
    }
    return true;
}

bool TSaveDataClass::LoadFromString(TStringStream* stream) {
    if (!stream || stream->Size() == 0) {
        ErrorReport(Ru("TSaveDataClass.LoadFromString : _pStringStream - пуст  "), "mhl");
        return false;
    }
    stream_ = stream;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (!LoadField(fields_[i], i)) return false;
    return true;
}

} // namespace vesk
