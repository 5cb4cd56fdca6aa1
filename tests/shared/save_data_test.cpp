#include "shared/save_data.h"

#include "shared/errors.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

// A small saveable record: a 32-bit value, a text, a nested matrix and a skipped field.
class Record : public TSaveDataClass {
public:
    Record() {
        RegisterData(&value, sizeof value);
        RegisterText(&text);
        matrix = MatrixClass::Init();
        RegisterObject(matrix);
        RegisterField(&skipped, sizeof skipped, kSkipped);
        RegisterField(&other, sizeof other, 3); // any other kind: raw
    }
    void Free() override {
        matrix->Free();
        TSaveDataClass::Free();
    }
    uint32_t value = 0;
    std::string text;
    MatrixClass* matrix = nullptr;
    int skipped = 0;
    uint16_t other = 0;
};

TEST(SaveData, TextFieldForm) {
    TSaveDataClass* o = TSaveDataClass::Init();
    std::string text = "AB";
    EXPECT_EQ(o->RegisterText(&text), 0);
    TStringStream s;
    EXPECT_TRUE(o->SaveToString(&s));
    EXPECT_EQ(s.DataString(), "000000024142");
    EXPECT_EQ(o->Stream(), &s);
    text.clear();
    TStringStream in("000000024142");
    EXPECT_TRUE(o->LoadFromString(&in));
    EXPECT_EQ(text, "AB");
    o->Free();
}

TEST(SaveData, RoundTripWithANestedObjectInPlace) {
    Record* r = TEngineObject::New<Record>();
    r->value = 0xA1B2C3D4;
    r->text = "x\xE9y"; // single-byte text survives as bytes
    Matrix m;
    m.m[3][0] = 1.0f; // 0x3F800000
    r->matrix->SetMatrix(m);
    r->skipped = 77;
    r->other = 0x0102;
    TStringStream s;
    ASSERT_TRUE(r->SaveToString(&s));
    const std::string& d = s.DataString();
    // Raw bytes in memory order, the text, then the matrix's own text in place.
    EXPECT_EQ(d.substr(0, 16), "00000004D4C3B2A1");
    EXPECT_EQ(d.substr(16, 14), "0000000378E979");
    EXPECT_EQ(d.substr(30, 8), "00000040");
    EXPECT_EQ(d.substr(38 + 12 * 8, 8), "0000803F"); // m41
    EXPECT_EQ(d.substr(38 + 128), "000000020201");
    EXPECT_EQ(d.size(), 38u + 128u + 12u);

    Record* back = TEngineObject::New<Record>();
    TStringStream in(d);
    ASSERT_TRUE(back->LoadFromString(&in));
    EXPECT_EQ(back->value, r->value);
    EXPECT_EQ(back->text, r->text);
    EXPECT_EQ(std::memcmp(&back->matrix->GetMatrix(), &m, sizeof m), 0);
    EXPECT_EQ(back->matrix->GetPosition().x, 1.0f);
    EXPECT_EQ(back->skipped, 0);
    EXPECT_EQ(back->other, 0x0102);
    EXPECT_EQ(in.Position(), d.size());
    r->Free();
    back->Free();
}

TEST(SaveData, RefusesEmptyTruncatedAndNonHexStreams) {
    ErrorTrap trap;
    uint32_t value = 0x11111111;
    uint32_t guard = 0x22222222; // the bytes right after the field
    struct {
        uint32_t field;
        uint32_t after;
    } storage{value, guard};
    TSaveDataClass* o = TSaveDataClass::Init();
    o->RegisterData(&storage.field, 4);

    TStringStream empty;
    EXPECT_THROW(o->LoadFromString(&empty), Halted);
    EXPECT_EQ(trap.lastFatal, "TSaveDataClass.LoadFromString : _pStringStream - \xEF\xF3\xF1\xF2  ");
    EXPECT_THROW(o->LoadFromString(nullptr), Halted);

    const char* bad[] = {
        "0000",                     // count cut short
        "00000004AABB",             // bytes cut short
        "0000000GAABBCCDD",         // count not hexadecimal
        "00000004AABBCCZZ",         // byte not hexadecimal
        "00000008AABBCCDDEEFF0011", // more bytes than the field holds
        "FFFFFFFF",                 // a count far past the end
        "-0000004AABBCCDD",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        trap.reports.clear();
        TStringStream s(text);
        EXPECT_THROW(o->LoadFromString(&s), Halted);
        ASSERT_EQ(trap.reports.size(), 1u);
        EXPECT_EQ(trap.reports[0].text.rfind(
                      "TSaveDataClass.LoadFromString : bad data in field 0 of TSaveDataClass", 0),
                  0u);
        EXPECT_EQ(storage.field, value);
        EXPECT_EQ(storage.after, guard);
    }
    // With a halt that returns, the failure is reported as such.
    GetErrorHooks().halt = [] {};
    TStringStream cut("00000004AA");
    EXPECT_FALSE(o->LoadFromString(&cut));

    // A shorter count is taken, and becomes the field's saved size.
    TStringStream shorter("0000000299AA");
    EXPECT_TRUE(o->LoadFromString(&shorter));
    EXPECT_EQ(storage.field, 0x1111AA99u);
    EXPECT_EQ(o->FieldSize(0), 2);
    o->Free();
}

TEST(SaveData, PlainCreateIsRefused) {
    ErrorTrap trap;
    EXPECT_THROW(TSaveDataClass::Create(), Halted);
    EXPECT_EQ(trap.lastFatal, "TSaveDataClass.Create: use init");
}

} // namespace
} // namespace vesk
