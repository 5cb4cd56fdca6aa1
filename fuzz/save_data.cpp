// Saved-object text read back into registered fields.
#include "shared/save_data.h"
#include "shared/errors.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

struct Halt {};

class Inner : public vesk::TSaveDataClass {
public:
    Inner() { RegisterData(&data, sizeof data); }
    uint64_t data = 0;
};

class Outer : public vesk::TSaveDataClass {
public:
    Outer() {
        RegisterData(&value, sizeof value);
        RegisterText(&text);
        inner = New<Inner>();
        RegisterObject(inner);
        RegisterField(&skipped, sizeof skipped, kSkipped);
        RegisterField(&other, sizeof other, 2);
    }
    uint32_t value = 0;
    std::string text;
    Inner* inner = nullptr;
    int skipped = 0;
    uint16_t other = 0;
};

volatile uint64_t g_sink;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Outer* target = [] {
        vesk::GetErrorHooks().halt = [] { throw Halt{}; };
        return vesk::TEngineObject::New<Outer>();
    }();
    vesk::TStringStream stream(std::string(reinterpret_cast<const char*>(data), size));
    try {
        g_sink =
            target->LoadFromString(&stream) ? target->value + target->text.size() + target->inner->data : 0;
    } catch (const Halt&) {
    }
    vesk::PendingErrorTexts.clear();
    return 0;
}
