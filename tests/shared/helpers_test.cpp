#include "shared/helpers.h"

#include "platform/files.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

struct FloatCase {
    const char* text;
    bool ok;
    double value;
};

TEST(Kws2f, AcceptsAndRefusesLikeTheRuntimeVal) {
    const FloatCase cases[] = {
        {"1.5", true, 1.5}, {"-2", true, -2},    {"+3.25", true, 3.25},   {".5", true, 0.5},
        {"5.", true, 5},    {"1e3", true, 1000}, {"1.5E-2", true, 0.015}, {"-0", true, 0},
        {"1e-60", true, 0}, {"1,5", false, 0},   {" 1", false, 0},        {"1 ", false, 0},
        {"abc", false, 0},  {".", false, 0},     {"1e", false, 0},        {"1e+", false, 0},
        {"--1", false, 0},  {"$FF", false, 0},   {"inf", false, 0},       {"nan", false, 0},
        {"1e39", false, 0}, {"1.2.3", false, 0}, {"0x10", false, 0},      {"-", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ErrorTrap trap;
        if (c.ok) {
            EXPECT_FLOAT_EQ(kws2f(c.text, "ctx"), static_cast<float>(c.value));
            EXPECT_TRUE(trap.reports.empty());
        } else {
            EXPECT_THROW(kws2f(c.text, "ctx"), Halted);
            ASSERT_EQ(trap.reports.size(), 1u);
            EXPECT_EQ(trap.reports[0].text, std::string("Exception kws2f: _str=") + c.text + ": ctx");
            EXPECT_EQ(trap.reports[0].flags, "mhl");
        }
    }
}

TEST(Kws2f, EmptyTextNamesOnlyTheContext) {
    ErrorTrap trap;
    EXPECT_THROW(kws2f("", "engine_SetPos x"), Halted);
    EXPECT_EQ(trap.lastFatal, "kws2f: _str=engine_SetPos x");
    EXPECT_THROW(kws2i("", "hex"), Halted);
    EXPECT_EQ(trap.lastFatal, "kws2i: _str=\"\": hex");
}

struct IntCase {
    const char* text;
    bool ok;
    int32_t value;
};

TEST(Kws2i, AcceptsAndRefusesLikeTheRuntimeStrToInt) {
    const IntCase cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"-42", true, -42},
        {"+7", true, 7},
        {"  12", true, 12},
        {"$FF", true, 255},
        {"$ff", true, 255},
        {"0x1A", true, 26},
        {"x10", true, 16},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, std::numeric_limits<int32_t>::min()},
        {"2147483648", false, 0},
        {"$100000000", false, 0},
        {"12 ", false, 0},
        {"1.5", false, 0},
        {"1e3", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"$G1", false, 0},
        {"abc", false, 0},
        {"-", false, 0},
        {"   ", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ErrorTrap trap;
        if (c.ok) {
            EXPECT_EQ(kws2i(c.text, "ctx"), c.value);
            EXPECT_TRUE(trap.reports.empty());
        } else {
            EXPECT_THROW(kws2i(c.text, "ctx"), Halted);
            EXPECT_EQ(trap.lastFatal, std::string("Exception kws2i: _str=") + c.text + ": ctx");
        }
    }
}

TEST(StrToExtDef, GivesTheDefaultForEmptyOrBadText) {
    ErrorTrap trap;
    EXPECT_DOUBLE_EQ(StrToExtDef("2.5", 7), 2.5);
    EXPECT_DOUBLE_EQ(StrToExtDef("", 7), 7);
    EXPECT_DOUBLE_EQ(StrToExtDef("2,5", 7), 7);
    EXPECT_DOUBLE_EQ(StrToExtDef("1e400", 7), 7);
    EXPECT_TRUE(trap.reports.empty());
}

TEST(FloatToStrRaw, MatchesTheRuntimeDefaultRealText) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {-1.5, "-1.5"},
        {1.5, "1.5"},
        {0.1, "0.1"},
        {static_cast<double>(0.1f), "0.100000001490116"},
        {100.0, "100"},
        {123456.789, "123456.789"},
        {0.0001, "0.0001"},
        {0.00015, "0.00015"},
        {1.5e-5, "1.5E-5"},
        {1e-5, "1E-5"},
        {-2.5e-7, "-2.5E-7"},
        {1e14, "100000000000000"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {1e20, "1E20"},
        {1.23456789012345678e20, "1.23456789012346E20"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(FloatToStrRaw(v), text) << v;
}

TEST(FloatToStrFixed, RoundsToDecimalsWithinSevenDigits) {
    EXPECT_EQ(FloatToStrFixed2(0), "0.00");
    EXPECT_EQ(FloatToStrFixed2(1.5), "1.50");
    EXPECT_EQ(FloatToStrFixed2(-1.234), "-1.23");
    EXPECT_EQ(FloatToStrFixed2(-0.001), "0.00");
    EXPECT_EQ(FloatToStrFixed2(1234.5678), "1234.57");
    EXPECT_EQ(FloatToStrFixed2(123456.789), "123456.80"); // seven significant digits
    EXPECT_EQ(FloatToStrFixed2(12345678.0), "1.234568E7");
    EXPECT_EQ(FloatToStrFixedN(3.14159, 0), "3");
    EXPECT_EQ(FloatToStrFixed2(0.125), "0.13"); // exact ties round away from zero
    EXPECT_EQ(FloatToStrFixedN(-2.5, 0), "-3");
    EXPECT_EQ(FloatToStrFixed2(0.005), "0.01");
    EXPECT_EQ(FloatToStrFixed2(9.999), "10.00");
    EXPECT_EQ(FloatToStrFixedN(3.14159, 4), "3.1416");
    EXPECT_EQ(Vec3ToStr({1, -2.25f, 0.04f}, 1), "v(1.0 -2.3 0.0)");
    Matrix m;
    m.m[3][0] = 2.5f;
    EXPECT_EQ(MatrixToStr(m), "1  0  0  0\r0  1  0  0\r0  0  1  0\r2.5  0  0  1");
}

TEST(IntegerTexts, DecimalAndHexadecimal) {
    EXPECT_EQ(IntToStr32(-17), "-17");
    EXPECT_EQ(Int64ToStr(1234567890123LL), "1234567890123");
    EXPECT_EQ(IntToHex8(255), "000000FF");
    EXPECT_EQ(IntToHex8(-1), "FFFFFFFF");
    EXPECT_EQ(Int64ToHex8(0x1234), "00001234");
    EXPECT_EQ(Int64ToHex8(0x123456789ALL), "123456789A");
}

TEST(SmallHelpers, MathsColoursFlagsAndText) {
    EXPECT_EQ(DegToRad(57.3f), 1.0f);
    EXPECT_NEAR(RadToDeg(3.14159265f), 180.0f, 1e-4);
    EXPECT_FLOAT_EQ(LinearMap(5, 10, 0, 100, 0), 50);
    EXPECT_FLOAT_EQ(LinearMap(0, 2, 1, 30, 20), 10);
    EXPECT_FLOAT_EQ(LinearMap(3, 1, 1, 5, 6), 0); // degenerate line
    EXPECT_FLOAT_EQ(LinearMapRev(0, 2, 1, 30, 20), 10);
    EXPECT_FLOAT_EQ(LinearMapRev(3, 1, 1, 5, 6), 0);

    EXPECT_EQ(LerpColor(0xFF000000u, 0x00FF8040u, 0.5f), 0x7F7F4020u);
    EXPECT_EQ(LerpColor(0x10203040u, 0x10203040u, 0.3f), 0x10203040u);
    EXPECT_EQ(ScaleColorRGB(0x10204080u, 0.5f), 0xFF102040u);
    EXPECT_EQ(ScaleColorRGB(0x00808080u, 4.0f), 0xFFFFFFFFu); // clamped, not wrapped
    EXPECT_FLOAT_EQ(ColorAlphaToFloat(0x80000000u), 128.0f / 255.0f);

    uint64_t f64 = 0;
    Flags64Add(f64, 1ull << 40);
    EXPECT_TRUE(Flags64Intersect(f64, 1ull << 40));
    Flags64Include(f64, 3, true);
    Flags64Include(f64, 1, false);
    Flags64Remove(f64, 1ull << 40);
    EXPECT_EQ(f64, 2u);
    uint32_t f32 = 0;
    Flags32Add(f32, 0x10000);
    EXPECT_TRUE(FlagsTest(f32, 0x10000));
    EXPECT_FALSE(Flags16Test(f32, 0x10000));
    uint16_t f16 = 0;
    Flags16Add(f16, 4);
    EXPECT_EQ(f16, 4);
    EXPECT_EQ(HiWord(0x12345678u), 0x1234);

    EXPECT_EQ(CopyStr("abcdef", 2, 3), "bcd");
    EXPECT_EQ(CopyStr("abcdef", 5, 10), "ef");
    EXPECT_EQ(CopyStr("abcdef", 7, 1), "");
    EXPECT_EQ(CopyStr("abcdef", 0, 2), "ab");
    EXPECT_EQ(CopyStr("abcdef", 2, -1), "");
    EXPECT_TRUE(SameTextUpper("Hello", "hELLO"));
    EXPECT_TRUE(SameTextUpper("\xC0\xE1", "\xE0\xC1")); // Cyrillic letters
    EXPECT_FALSE(SameTextUpper("abc", "abd"));
    std::string s = "ab";
    StrAppend(s, "cd");
    EXPECT_EQ(s, "abcd");
}

TEST(ListAsm, FreeSlotsAndRemoval) {
    int a = 0, b = 0, c = 0;
    TListAsm<int> list;
    EXPECT_EQ(list.AddToFreeSlot(&a), 0);
    EXPECT_EQ(list.Add(&b), 1);
    list.Put(0, nullptr);
    EXPECT_EQ(list.AddToFreeSlot(&c), 0);
    EXPECT_EQ(list.AddToFreeSlot(&a), 2);
    list.Add(&b);

    TListAsm<int> items;
    items.Add(&b);
    items.Add(&b);
    int absent = 0;
    items.Add(&absent);
    RemoveListItems(&list, &items); // each occurrence in items removes one
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0], &c);
    EXPECT_EQ(list[1], &a);
    RemoveListItems<int>(nullptr, &items);
    RemoveListItems<int>(&list, nullptr);
    list.Put(0, nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 1);
}

TEST(Paths, AbsoluteDrivePaths) {
    EXPECT_TRUE(IsAbsoluteDrivePath("c:\\x"));
    EXPECT_TRUE(IsAbsoluteDrivePath("Z:/ab"));
    EXPECT_FALSE(IsAbsoluteDrivePath("c:\\"));
    EXPECT_FALSE(IsAbsoluteDrivePath("1:\\x"));
    EXPECT_FALSE(IsAbsoluteDrivePath("cc:\\x"));
    EXPECT_FALSE(IsAbsoluteDrivePath("/usr/x"));
}

class ModPathTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetExeFolderOverride(dir.path()); }
    void TearDown() override {
        platform::SetExeFolderOverride("");
        ModName.clear();
    }
    test::TempDir dir;
};

TEST_F(ModPathTest, ResolvesIntoTheModWhenTheFileExistsThere) {
    EXPECT_EQ(ResolveModPath("data\\a.txt"), "data/a.txt"); // no mod
    ModName = "m";
    EXPECT_EQ(ResolveModPath("data\\a.txt"), "data/a.txt"); // mod without the file
    ASSERT_TRUE(platform::CreateFolders(dir / "mods/m/data/sub"));
    ASSERT_TRUE(platform::WriteFile(dir / "mods/m/data/a.txt", "x"));
    EXPECT_EQ(ResolveModPath("data\\a.txt"), "mods/m/data/a.txt");
    EXPECT_EQ(ResolveModPath("mods/m/data/a.txt"), "mods/m/data/a.txt");
    EXPECT_EQ(ResolveModPath("data\\sub"), "mods/m/data/sub"); // folders count too
    EXPECT_EQ(ResolveModPath(dir.path() + "\\data\\a.txt"), dir.path() + "/mods/m/data/a.txt");
    EXPECT_EQ(ResolveModPath(dir.path() + "/data/b.txt"), dir.path() + "/data/b.txt");
    EXPECT_EQ(ResolveModPath("/elsewhere/data/a.txt"), "/elsewhere/data/a.txt");
}

} // namespace
} // namespace vesk
