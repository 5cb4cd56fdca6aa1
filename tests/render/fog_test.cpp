#include <gtest/gtest.h>

#include <cstring>

#include "core/lua_machine.h"
#include "render/device.h"
#include "render/fog.h"
#include "shared/helpers.h"
#include "texture_fixture.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

class NamedOwner : public TEngineObject, public IObjectName {
public:
    std::string GetObjectName() override { return "station_01"; }
};

using Records = std::vector<RenderStateRecord>;

class Fog : public TextureFixture {
protected:
    void SetUp() override {
        TextureFixture::SetUp();
        owner = TEngineObject::New<NamedOwner>();
        set = RenderStateManagerClass::Create(owner);
        fog = FogClass::Create(set, owner);
        CreateLuaMachine();
        LuaMachine->RunString("function length(t) if t == nil then return 0 end local n = 0 "
                              "for _ in pairs(t) do n = n + 1 end return n end");
        LuaMachine->RunString("mesh = { station = { fog = { fogMode = \"exp2\", fogDist = \"900\", "
                              "fogDensity = \"0.002\", fogColor = \"FF8000\" } } }");
    }
    void TearDown() override {
        FreeLuaMachine();
        if (fog) fog->ReleaseRef();
        if (owner) owner->Free(); // releases the set
        TextureFixture::TearDown();
    }
    Records Named(const std::string& name, bool restore = false) const {
        Records out;
        const auto* list = restore ? set->RestoreList() : set->ApplyList();
        if (list)
            for (const auto& r : *list)
                if (r.name == name) out.push_back(r);
        return out;
    }
    Records OnRecords(FogClass* f) const {
        const std::string k = f->Key();
        return {{D3DRS_FOGENABLE, 0xFFFFFFFFu, k},
                {D3DRS_FOGCOLOR, f->Color(), k},
                {D3DRS_FOGVERTEXMODE, f->FogType(), k},
                {D3DRS_FOGTABLEMODE, 0, k},
                {D3DRS_FOGSTART, FloatBits(f->DistStart()), k},
                {D3DRS_FOGEND, FloatBits(f->DistEnd()), k},
                {D3DRS_FOGDENSITY, FloatBits(f->Density()), k}};
    }
    NamedOwner* owner = nullptr;
    RenderStateManagerClass* set = nullptr;
    FogClass* fog = nullptr;
};

} // namespace

TEST_F(Fog, DefaultsAndTheRecordsOfFogOnAndOff) {
    EXPECT_EQ(fog->FogType(), uint32_t(D3DFOG_EXP));
    EXPECT_EQ(fog->Color(), 0u);
    EXPECT_EQ(fog->DistStart(), 0.0f);
    EXPECT_EQ(fog->DistEnd(), 4050.0f);
    EXPECT_EQ(FloatBits(fog->Density()), 0x387BA882u);
    EXPECT_EQ(fog->Key(), "fog" + IntToHex8(fog->GetId()));

    fog->FogOn();
    EXPECT_EQ(Named(fog->Key()), OnRecords(fog));
    EXPECT_EQ(Named("fog", true), (Records{{D3DRS_FOGENABLE, 0, "fog"}}));
    fog->AddDensity(0.5f);
    EXPECT_EQ(Named(fog->Key()), OnRecords(fog)); // replaced, not added
    fog->AddDistEnd(-50.0f);
    EXPECT_EQ(fog->DistEnd(), 4000.0f);
    EXPECT_EQ(Named(fog->Key()), OnRecords(fog));
    fog->FogOff();
    EXPECT_TRUE(Named(fog->Key()).empty());
    EXPECT_EQ(Named("fog", true).size(), 1u); // the shared restore record stays

    EXPECT_THROW(FogClass::Create(nullptr, owner), Halted);
    EXPECT_EQ(trap.lastFatal, "FogClass.Init: _fRSManager = nil");
}

TEST_F(Fog, NextFogTypeCyclesAndSwitchesOn) {
    fog->SetFogType(D3DFOG_LINEAR);
    const uint32_t expected[4] = {D3DFOG_EXP, D3DFOG_EXP2, D3DFOG_NONE, D3DFOG_LINEAR};
    for (uint32_t want : expected) {
        fog->NextFogType();
        EXPECT_EQ(fog->FogType(), want);
        EXPECT_EQ(Named(fog->Key()), OnRecords(fog));
    }
}

TEST_F(Fog, TwoFogsShareOneSetWithTheirOwnRecords) {
    FogClass* second = FogClass::Create(set, owner);
    second->SetColor(0xFF00FF00u);
    fog->FogOn();
    second->FogOn();
    EXPECT_NE(second->Key(), fog->Key());
    EXPECT_EQ(Named(fog->Key()), OnRecords(fog));
    EXPECT_EQ(Named(second->Key()), OnRecords(second));
    fog->FogOff();
    EXPECT_EQ(Named(second->Key()), OnRecords(second));
    second->ReleaseRef();
}

TEST_F(Fog, LoadFromTheMeshTable) {
    fog->FogLoadFromLua("station", "fog");
    EXPECT_EQ(fog->FogType(), uint32_t(D3DFOG_EXP2));
    EXPECT_EQ(fog->DistEnd(), 900.0f);
    EXPECT_FLOAT_EQ(fog->Density(), 0.002f);
    EXPECT_EQ(fog->Color(), 0x00FF8000u);
    EXPECT_EQ(Named(fog->Key()), OnRecords(fog));

    // "fogEnable" of "0" switches the fog off whatever else is set.
    LuaMachine->RunString("mesh.station.fog.fogEnable = \"0\" mesh.station.fog.fogColor = \"FF\"");
    fog->FogLoadFromLua("station", "fog");
    EXPECT_TRUE(Named(fog->Key()).empty());
    EXPECT_EQ(fog->Color(), 0x00FF8000u);
}

TEST_F(Fog, WhatLeavesTheFogAlone) {
    fog->FogOn();
    const Records before = Named(fog->Key());
    // No mesh entry, no fog sub-table: untouched.
    fog->FogLoadFromLua("nomesh", "fog");
    fog->FogLoadFromLua("station", "nofog");
    EXPECT_EQ(Named(fog->Key()), before);
    // A density of 1e-5 or less is stored, but the records are not renewed.
    LuaMachine->RunString("mesh.thin = { fog = { fogDensity = \"0.00001\", fogMode = \"linear\" } }");
    fog->FogLoadFromLua("thin", "fog");
    EXPECT_EQ(fog->FogType(), uint32_t(D3DFOG_LINEAR));
    EXPECT_FLOAT_EQ(fog->Density(), 1e-5f);
    EXPECT_EQ(Named(fog->Key()), before);

    LuaMachine->RunString("mesh.odd = { fog = { fogMode = \"Linear\" } }");
    EXPECT_THROW(fog->FogLoadFromLua("odd", "fog"), Halted);
    EXPECT_EQ(trap.lastFatal, "FogClass.FogLoadFromLua: station_01, FogType");
    LuaMachine->RunString("mesh.odd = { fog = { fogDist = \"far\" } }");
    EXPECT_THROW(fog->FogLoadFromLua("odd", "fog"), Halted);
    EXPECT_NE(trap.lastFatal.find("FogClass.FogLoadFromLua: station_01, DistEnd"), std::string::npos);
}

TEST_F(Fog, DumpAndTheDeviceStates) {
    fog->SetFogType(D3DFOG_LINEAR);
    fog->SetColor(0x00FF8000u);
    fog->SetDensity(0.5f);
    fog->Dump();
    EXPECT_NE(Log(kLogFileName)
                  .find("FogType: 3, Color: 00FF8000, DistStart:  0.00000000000000E+0000, DistEnd: "
                        " 4.05000000000000E+0003, Density:  5.00000000000000E-0001, obj: station_01"),
              std::string::npos);

    fog->FogOn();
    set->ApplyStates();
    const DeviceState& st = scope.device()->state();
    EXPECT_EQ(st.rs[D3DRS_FOGENABLE], 0xFFFFFFFFu);
    EXPECT_EQ(st.rs[D3DRS_FOGVERTEXMODE], uint32_t(D3DFOG_LINEAR));
    EXPECT_EQ(st.rs[D3DRS_FOGTABLEMODE], 0u);
    EXPECT_EQ(BitsFloat(st.rs[D3DRS_FOGEND]), 4050.0f);
    set->RestoreStates();
    EXPECT_EQ(st.rs[D3DRS_FOGENABLE], 0u);

    for (uint32_t mode : {D3DFOG_NONE, D3DFOG_EXP, D3DFOG_EXP2, D3DFOG_LINEAR}) {
        SCOPED_TRACE(mode);
        fog->SetFogType(mode);
        fog->FogOn();
        set->ApplyStates();
        EXPECT_EQ(st.rs[D3DRS_FOGVERTEXMODE], mode);
        EXPECT_EQ(st.rs[D3DRS_FOGENABLE], 0xFFFFFFFFu);
        EXPECT_EQ(BitsFloat(st.rs[D3DRS_FOGDENSITY]), 0.5f);
        set->RestoreStates();
    }
}

TEST_F(Fog, TheSetsEndReleasesTheFog) {
    FogClass* held = FogClass::Create(set, owner);
    held->AddRef(); // a second holder
    const size_t live = LiveEngineObjectCount();
    set->Free(); // its render object ends the set outright
    set = nullptr;
    // Each fog dropped the set and released itself once: the fixture's fog went, the held one stays.
    EXPECT_EQ(LiveEngineObjectCount(), live - 2);
    fog = nullptr;
    EXPECT_EQ(held->RenderStates(), nullptr);
    held->FogOn(); // nothing to write into
    held->ReleaseRef();
    EXPECT_EQ(LiveEngineObjectCount(), live - 3);
}

TEST_F(Fog, TheOwnersEndLeavesTheFogWorking) {
    const size_t live = LiveEngineObjectCount();
    owner->Free(); // the set gives up the owner's reference; the fog still holds one
    owner = nullptr;
    EXPECT_EQ(LiveEngineObjectCount(), live - 1);
    fog->FogOn();
    EXPECT_EQ(Named(fog->Key()), OnRecords(fog));
    EXPECT_EQ(fog->OwnerName(), "nil");
    fog->ReleaseRef(); // the last reference to the set goes with the fog
    fog = nullptr;
    EXPECT_EQ(LiveEngineObjectCount(), live - 3);
}
