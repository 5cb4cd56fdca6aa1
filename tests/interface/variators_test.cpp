// Variators over time: curves, repetition and reversal, delay, pause,
// completion chains, colour channels and the property faults.
#include "interface/variators.h"

#include <cmath>

#include "interface_fixture.h"

namespace vesk::test {
namespace {

class VariatorTest : public InterfaceTest {
protected:
    void SetUp() override {
        InterfaceTest::SetUp();
        target = Button(root, "target", 0, 0, 10, 10);
    }
    // A variator of the class on the target with the properties given.
    TVariator* Var(const std::string& cls, const std::string& name,
                   std::initializer_list<std::pair<const char*, const char*>> props) {
        auto* v = Add<TVariator>(root, name, cls);
        v->SetProperty("CONTROL", "target");
        for (const auto& [k, val] : props) v->SetProperty(k, val);
        return v;
    }
    std::vector<int> LeftsOver(int ticks, int ms) {
        std::vector<int> out;
        for (int i = 0; i < ticks; ++i) {
            TickTree(root, ms);
            out.push_back(target->Left());
        }
        return out;
    }
    TMegaButton* target = nullptr;
};

TEST_F(VariatorTest, LineRunsOverItsTimeThenCompletesAndStartsTheNext) {
    auto* second = Var("TVarTop", "second", {{"BEGINVALUE", "5"}, {"ENDVALUE", "5"}});
    auto* v = Var("TVarLeft", "v", {{"TIME", "1000"}, {"ONVARCOMPLETE", "done = 1"}, {"NEXTVAR", "second"}});
    EXPECT_FALSE(v->Ticked());
    EXPECT_FALSE(v->Visible());
    v->ExeMethod("STARTVAR");
    EXPECT_EQ(LeftsOver(4, 250), (std::vector<int>{25, 50, 75, 100}));
    EXPECT_FALSE(v->Ticked());
    EXPECT_EQ(Global("done"), "1");
    EXPECT_TRUE(second->Ticked());
    EXPECT_EQ(Prop(v, "NEXTVAR"), "second");
    EXPECT_EQ(Prop(v, "CONTROL"), "target");
    EXPECT_EQ(Prop(v, "FUNCTION"), "LINE");
}

TEST_F(VariatorTest, RepeatAndReverse) {
    auto* v = Var("TVarLeft", "v", {{"REPEAT", "3"}, {"REVERSE", "1"}});
    v->Start();
    EXPECT_EQ(LeftsOver(6, 500), (std::vector<int>{50, 100, 50, 0, 50, 100}));
    EXPECT_FALSE(v->Ticked());

    auto* forever = Var("TVarLeft", "forever", {{"REPEAT", "0"}});
    forever->Start();
    for (int i = 0; i < 50; ++i) TickTree(root, 300);
    EXPECT_TRUE(forever->Ticked());
}

TEST_F(VariatorTest, ActivationDelaysOnlyTheFirstRun) {
    auto* v = Var("TVarLeft", "v", {{"ACTIVATIONTIME", "500"}, {"REPEAT", "2"}});
    target->SetLeft(-1);
    v->Start();
    EXPECT_EQ(LeftsOver(7, 250), (std::vector<int>{-1, -1, 25, 50, 75, 100, 25}));
}

TEST_F(VariatorTest, WithoutControlNothingMoves) {
    auto* v = Add<TVariator>(root, "v", "TVarLeft");
    v->Start();
    TickTree(root, 250);
    EXPECT_EQ(v->Remaining(), 1000);
    EXPECT_TRUE(v->Ticked());
}

TEST_F(VariatorTest, PauseStopsAndResumesARunningVariatorOnly) {
    auto* v = Var("TVarLeft", "v", {});
    v->SetProperty("PAUSE", "1"); // idle: nothing
    EXPECT_FALSE(v->Paused());
    EXPECT_FALSE(v->Ticked());
    v->Start();
    TickTree(root, 250);
    v->SetProperty("PAUSE", "1");
    EXPECT_EQ(Prop(v, "PAUSE"), "1");
    TickTree(root, 250);
    EXPECT_EQ(target->Left(), 25);
    v->SetProperty("PAUSE", "0");
    TickTree(root, 250);
    EXPECT_EQ(target->Left(), 50);
    v->ExeMethod("STOPVAR");
    EXPECT_FALSE(v->Ticked());
}

TEST_F(VariatorTest, Curves) {
    auto* v = Var("TVariator", "v", {});
    Lua("vpr = 0");
    v->SetProperty("EXTFUNC", "vpr*vpr*4");
    const struct {
        const char* name;
        float t, expected;
    } cases[] = {{"LINE", 0.25f, 0.25f},  {"SQR", 0.5f, 0.25f},   {"sqrt", 0.25f, 0.5f},
                 {"SIN", 0.25f, 1.0f},    {"LAMBDA", 1.0f, 1.0f}, {"LAMBDA", 0.0f, 0.0f},
                 {"EXTERNAL", 0.5f, 1.0f}};
    for (const auto& c : cases) {
        v->SetProperty("FUNCTION", c.name);
        EXPECT_NEAR(v->Curve(c.t), c.expected, 0.002f) << c.name;
    }
}

// A zero time ends the run at the end value at once, never NaN.
TEST_F(VariatorTest, ZeroTimeFinishesAtOnce) {
    auto* v = Var("TVarWidth", "v", {{"TIME", "0"}, {"ENDVALUE", "40"}});
    v->Start();
    TickTree(root, 16);
    EXPECT_EQ(target->Width(), 40);
    EXPECT_FALSE(v->Ticked());
    EXPECT_FALSE(std::isnan(v->T()));
}

TEST_F(VariatorTest, SubclassesApplyToTheirProperty) {
    auto* op = Var("TVarOpacity", "op", {{"BEGINVALUE", "0"}, {"ENDVALUE", "50"}});
    op->Start();
    auto* col = Var("TVarColor", "col", {{"BEGINVALUE", "FF000000"}, {"ENDVALUE", "FFFF0000"}});
    col->Start();
    auto* fov = Var("TVarFOV", "fov", {{"BEGINVALUE", "60"}, {"ENDVALUE", "90"}});
    auto* font = Var("TVarFontSize", "font", {{"BEGINVALUE", "10"}, {"ENDVALUE", "21"}});
    font->Start();
    auto* image = Var("TVarImageWidth", "image", {{"ENDVALUE", "64"}});
    image->Start();
    float seen = 0;
    InterfaceCameraFov = [&](float f) { seen = f; };
    fov->Start();
    TickTree(root, 500);
    InterfaceCameraFov = nullptr;
    EXPECT_FLOAT_EQ(target->OwnOpacity(), 0.25f);
    EXPECT_EQ(target->Color(), 0xFF800000u);
    EXPECT_FLOAT_EQ(seen, 75.0f);
    target->SetText("x");
    target->SetProperty("IMAGE", "a.tga");
    DrawTree(target);
    ASSERT_FALSE(draw.runs.empty());
    EXPECT_EQ(draw.runs.back().fontSize, 16); // 15.5 rounded
    ASSERT_FALSE(draw.images.empty());
    EXPECT_EQ(draw.images.back().source.Width(), 32);
    EXPECT_EQ(Prop(col, "BEGINVALUE"), "FF000000");
}

TEST_F(VariatorTest, VarNodeStartsAndStopsItsChildren) {
    auto* group = Add<TVarNode>(root, "group", "TVarNode");
    auto* a = Add<TVariator>(group, "a", "TVarLeft");
    auto* b = Add<TVariator>(group, "b", "TVarTop");
    group->ExeMethod("STARTVAR");
    EXPECT_TRUE(a->Ticked() && b->Ticked() && group->Ticked());
    group->ExeMethod("STOPVAR");
    EXPECT_FALSE(a->Ticked() || b->Ticked() || group->Ticked());
}

TEST_F(VariatorTest, FaultTexts) {
    auto* v = Var("TVarLeft", "v", {});
    const struct {
        const char* cls;
        const char* key;
        const char* value;
        const char* text;
    } cases[] = {
        {"TVarLeft", "FUNCTION", "CUBE",
         "TVariator.SetFunctionName fault: unknow fuinction name - CUBE, variation name - v"},
        {"TVarLeft", "CONTROL", "nowhere",
         "TVariator.SetControlName fault: control not found - nowhere, variation name - v"},
        {"TVarLeft", "NEXTVAR", "nowhere",
         "TVariator.SetNextVarName fault: unknow variation name - nowhere, variation name - v"},
        {"TVarLeft", "TIME", "abc", "TVariator.SetProperty fault: control - v, property - TIME, value - abc"},
        {"TVarColor", "ENDVALUE", "XYZ",
         "TVarColor.SetProperty fault: control - v, property - ENDVALUE, value - XYZ"},
    };
    for (const auto& c : cases) {
        TVariator* target = v;
        if (std::string(c.cls) != "TVarLeft") {
            v->SetName("old");
            target = Add<TVariator>(root, "v", c.cls);
        }
        EXPECT_THROW(target->SetProperty(c.key, c.value), Halted) << c.text;
        EXPECT_EQ(trap.lastFatal, c.text);
    }
    EXPECT_EQ(v->Function(), TVarFunction::Line); // a bad name leaves the curve
}

} // namespace
} // namespace vesk::test
