#include "core/var_list.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <algorithm>

using vesk::TVarList;
using vesk::VarType;
using vesk::VarValue;
using vesk::test::ErrorTrap;
using vesk::test::Halted;

namespace {

class VarListTest : public ::testing::Test {
protected:
    void SetUp() override { vesk::InitVarLists(); }
    void TearDown() override { vesk::FreeAllVarLists(); }
    ErrorTrap trap;
};

} // namespace

TEST_F(VarListTest, DeclaredDefaultsWithTheirTypes) {
    struct Case {
        TVarList* list;
        const char* name;
        VarValue value;
    };
    const Case cases[] = {
        {vesk::IniVars, "maxstars", int32_t{0}},
        {vesk::IniVars, "sound", int32_t{-1}},
        {vesk::IniVars, "texture_res", int32_t{-1}},
        {vesk::IniVars, "fullscreen", int32_t{-1}},
        {vesk::IniVars, "autoSaveIni", int32_t{0}},
        {vesk::IniVars, "win.caption", "Vesk Annals"},
        {vesk::IniVars, "path.data", ""},
        {vesk::IniVars, "font", "verdana.ttf"},
        {vesk::IniVars, "nocinimaticmenuback", false},
        {vesk::SpVars, "env.stars.low", int32_t{0}},
        {vesk::SpVars, "cam.mode", ""},
        {vesk::SpVars, "cam.fov", 0.0f},
        {vesk::SpVars, "cam.Up.z", 1.0f},
        {vesk::SpVars, "cam.ori.y", 0.0f},
        {vesk::SpVars, "spts2", ""},
        {vesk::SpVars, "vis.jets", int32_t{1}},
        {vesk::SpVars, "vis.effectsoff", int32_t{0}},
        {vesk::SpVars, "vis.frozen", int32_t{0}},
        {vesk::IeVars, "con.h", 0.0f},
        {vesk::IeVars, "con.fontcolor.x", 0.0f},
        {vesk::IeVars, "playvideo", int32_t{1}},
        {vesk::IeVars, "maxlag", int32_t{1000}},
        {vesk::IeVars, "i_sound_off", int32_t{0}},
        {vesk::IeVars, "i_local", "rus"},
        {vesk::IeVars, "i_unitcontrol", int32_t{0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.list->Get(c.name), c.value);
    }
    EXPECT_EQ(vesk::IniVars->Names().size(), 23u);
    EXPECT_EQ(vesk::SpVars->Names().size(), 31u); // five vectors count three each
    EXPECT_EQ(vesk::IeVars->Names().size(), 32u);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(VarListTest, ListsWalkInConsoleOrderAndNamesIgnoreCase) {
    const auto& lists = vesk::AllVarLists();
    ASSERT_EQ(lists.size(), 3u);
    EXPECT_EQ(lists[0]->Name(), "sp");
    EXPECT_EQ(lists[1]->Name(), "ie");
    EXPECT_EQ(lists[2]->Name(), "ini");

    EXPECT_TRUE(vesk::IniVars->Exists("AUTOSAVEINI"));
    EXPECT_TRUE(vesk::SpVars->Exists("cam.up.X"));
    EXPECT_FALSE(vesk::SpVars->Exists("cam.up"));
    EXPECT_EQ(vesk::FindVarListWith("Win.Caption"), vesk::IniVars);
    EXPECT_EQ(vesk::FindVarListWith("maxlag"), vesk::IeVars);
    EXPECT_EQ(vesk::FindVarListWith("nothing"), nullptr);

    // Values keep declaration order; names are kept sorted without case.
    const auto& names = vesk::IniVars->Names();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const auto& a, const auto& b) {
        std::string la = a.first, lb = b.first;
        std::transform(la.begin(), la.end(), la.begin(), ::tolower);
        std::transform(lb.begin(), lb.end(), lb.begin(), ::tolower);
        return la < lb;
    }));
    EXPECT_EQ(vesk::IniVars->Values()[0], VarValue(int32_t{0})); // maxstars
    EXPECT_EQ(vesk::IniVars->Values()[22], VarValue(false));     // nocinimaticmenuback
}

TEST_F(VarListTest, DeclarePutAndGetFollowTheNewValuesType) {
    TVarList* list = TVarList::Create("test");
    EXPECT_EQ(list->DeclareVar("count", VarType::Integer), 0);
    EXPECT_EQ(list->DeclareVar("ratio", VarType::Single), 1);
    EXPECT_EQ(list->DeclareVar("label", VarType::String), 2);
    EXPECT_EQ(list->DeclareVar("flag", VarType::Boolean), 3);
    EXPECT_EQ(list->Get("count"), VarValue(int32_t{0}));
    EXPECT_EQ(list->Get("ratio"), VarValue(0.0f));
    EXPECT_EQ(list->Get("label"), VarValue(""));
    EXPECT_EQ(list->Get("flag"), VarValue(false));

    // A string put into an integer variable stores the string.
    list->Put("COUNT", "12abc");
    EXPECT_EQ(list->Get("count").Type(), VarType::String);
    EXPECT_EQ(list->Get("count").AsString(), "12abc");
    list->Put("count", "42");
    EXPECT_EQ(list->Get("count").AsInteger(), 42);
    list->Put("ratio", 0.25);
    EXPECT_EQ(list->Get("ratio"), VarValue(0.25f));
    list->Put("flag", int32_t{3});
    EXPECT_EQ(list->Get("flag").Type(), VarType::Integer);
    EXPECT_TRUE(list->Get("flag").AsBoolean());

    // Declaring a name again keeps the variable and its value.
    list->Put("ratio", 2.5f);
    EXPECT_EQ(list->DeclareVar("Ratio", VarType::String), 1);
    EXPECT_EQ(list->Get("ratio"), VarValue(2.5f));
    EXPECT_EQ(list->Values().size(), 4u);
    EXPECT_EQ(vesk::AllVarLists().back().get(), list);
}

TEST_F(VarListTest, VectorsAreThreeSingles) {
    TVarList* list = TVarList::Create("test");
    list->DeclareVector("pos", {1.5f, -2.0f, 3.25f});
    EXPECT_EQ(list->Get("pos.x"), VarValue(1.5f));
    EXPECT_EQ(list->Get("pos.y"), VarValue(-2.0f));
    EXPECT_EQ(list->Get("pos.z"), VarValue(3.25f));
    list->SetVector("POS", {4.0f, 5.0f, 6.0f});
    vesk::Vec3 v = list->GetVector("pos");
    EXPECT_EQ(v.x, 4.0f);
    EXPECT_EQ(v.y, 5.0f);
    EXPECT_EQ(v.z, 6.0f);
    // A component the console set as text still reads as a number.
    list->Put("pos.y", "7.5");
    EXPECT_EQ(list->GetVector("pos").y, 7.5f);

    vesk::Vec3 up = vesk::SpVars->GetVector("cam.Up");
    EXPECT_EQ(up.x, 0.0f);
    EXPECT_EQ(up.z, 1.0f);
}

TEST_F(VarListTest, UnknownNamesAreFatalReports) {
    EXPECT_THROW(vesk::IniVars->Get("no.such"), Halted);
    EXPECT_THROW(vesk::IniVars->Put("Missing", int32_t{1}), Halted);
    EXPECT_THROW(vesk::SpVars->GetVector("cam"), Halted);
    ASSERT_EQ(trap.reports.size(), 3u);
    EXPECT_EQ(trap.reports[0].text, "Failed TVarList.Get()\nVariable not found: no.such");
    EXPECT_EQ(trap.reports[0].flags, "mhl");
    EXPECT_EQ(trap.reports[1].text, "Failed TVarList.Put()\nVariable not found: Missing");
    EXPECT_EQ(trap.reports[1].flags, "mhl");
    EXPECT_EQ(trap.reports[2].text, "Failed TVarList.Get()\nVariable not found: cam.x");
}

TEST(VarValueConversion, TextAndNumbers) {
    struct Case {
        VarValue v;
        int32_t asInt;
        bool intOk;
        float asSingle;
        bool asBool;
        std::string asText;
    };
    const Case cases[] = {
        {"12", 12, true, 12.0f, true, "12"},
        {"  -7", -7, true, -7.0f, true, "  -7"},
        {"$FF", 255, true, 255.0f, true, "$FF"},
        {"0x10", 16, true, 16.0f, true, "0x10"},
        {"2.5", 2, true, 2.5f, true, "2.5"},
        {"3.5", 4, true, 3.5f, true, "3.5"},
        {"TRUE", 1, true, 1.0f, true, "TRUE"},
        {"false", 0, true, 0.0f, false, "false"},
        {"abc", 0, false, 0.0f, false, "abc"},
        {"", 0, false, 0.0f, false, ""},
        {"99999999999", 0, false, 99999999999.0f, true, "99999999999"},
        {int32_t{-3}, -3, true, -3.0f, true, "-3"},
        {0.1f, 0, true, 0.1f, true, "0.1"},
        {-1.5f, -2, true, -1.5f, true, "-1.5"},
        {true, 1, true, 1.0f, true, "True"},
        {false, 0, true, 0.0f, false, "False"},
        {VarValue(), 0, true, 0.0f, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asText);
        bool ok = true;
        EXPECT_EQ(c.v.AsInteger(&ok), c.asInt);
        EXPECT_EQ(ok, c.intOk);
        EXPECT_EQ(c.v.AsSingle(), c.asSingle);
        EXPECT_EQ(c.v.AsBoolean(), c.asBool);
        EXPECT_EQ(c.v.AsString(), c.asText);
    }
}

TEST(VarListLifetime, FreeAllClearsTheListsAndTheSwitchesFallBack) {
    vesk::InitVarLists();
    EXPECT_EQ(vesk::JetsSwitch(), 1);
    vesk::SpVars->Put("vis.jets", "0");
    vesk::SpVars->Put("vis.effectsoff", int32_t{1});
    vesk::SpVars->Put("vis.frozen", true);
    EXPECT_EQ(vesk::JetsSwitch(), 0);
    EXPECT_EQ(vesk::EffectsOffMode(), 1);
    EXPECT_TRUE(vesk::GameUpdatesFrozen());

    vesk::FreeAllVarLists();
    EXPECT_EQ(vesk::IniVars, nullptr);
    EXPECT_EQ(vesk::SpVars, nullptr);
    EXPECT_EQ(vesk::IeVars, nullptr);
    EXPECT_TRUE(vesk::AllVarLists().empty());
    EXPECT_EQ(vesk::JetsSwitch(), 1);
    EXPECT_EQ(vesk::EffectsOffMode(), 0);
    EXPECT_FALSE(vesk::GameUpdatesFrozen());

    // A fresh start brings the defaults back.
    vesk::InitVarLists();
    EXPECT_EQ(vesk::JetsSwitch(), 1);
    vesk::FreeAllVarLists();
}

TEST_F(VarListTest, TheSwitchesFollowEveryStoreOfTheirVariables) {
    // Each switch is read before each store, so a value kept from the last read would show.
    struct Case {
        const char* name;
        VarValue value;
        int32_t jets, effectsOff;
        bool frozen;
    };
    const Case cases[] = {
        {"vis.frozen", int32_t{1}, 1, 0, true},
        {"VIS.FROZEN", "0", 1, 0, false},   // names without case, text read as a number
        {"vis.frozen", 0.6f, 1, 0, true},   // a single rounds to the nearest
        {"vis.frozen", "abc", 1, 0, false}, // text that is no number reads as 0
        {"vis.jets", false, 0, 0, false},
        {"vis.effectsoff", "$2", 0, 2, false},
        {"vis.wiremode", int32_t{5}, 0, 2, false}, // another variable changes no switch
        {"vis.jets", int32_t{7}, 7, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + c.value.AsString());
        vesk::JetsSwitch();
        vesk::EffectsOffMode();
        vesk::GameUpdatesFrozen();
        vesk::SpVars->Put(c.name, c.value);
        EXPECT_EQ(vesk::JetsSwitch(), c.jets);
        EXPECT_EQ(vesk::EffectsOffMode(), c.effectsOff);
        EXPECT_EQ(vesk::GameUpdatesFrozen(), c.frozen);
    }
    // Lists made anew bring their defaults, whatever the lists before held.
    vesk::InitVarLists();
    EXPECT_EQ(vesk::JetsSwitch(), 1);
    EXPECT_EQ(vesk::EffectsOffMode(), 0);
    // An "sp" list without the switches falls back until one is declared.
    vesk::SpVars = TVarList::Create("sp");
    EXPECT_EQ(vesk::JetsSwitch(), 1);
    vesk::SpVars->DeclareVar("vis.jets", VarType::Integer);
    EXPECT_EQ(vesk::JetsSwitch(), 0);
    vesk::SpVars->Put("vis.jets", int32_t{3});
    EXPECT_EQ(vesk::JetsSwitch(), 3);
    EXPECT_TRUE(trap.reports.empty());
}
