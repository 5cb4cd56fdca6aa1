#include <gtest/gtest.h>

#include "null_device_scope.h"
#include "render/morpher.h"
#include "support/error_trap.h"

#include <cmath>
#include <cstring>

using namespace vesk;
using namespace vesk::platform;
using vesk::test::ErrorTrap;
using vesk::test::Halted;
using vesk::test::NullDeviceScope;

namespace {

constexpr uint32_t kVerts = 3;

// One source vertex: position, blend weight 1.0, normal.
struct SrcVertex {
    float p[3], w, n[3];
};
static_assert(sizeof(SrcVertex) == 28);

class Morpher : public ::testing::Test {
protected:
    void SetUp() override {
        scope.Init();
        ASSERT_TRUE(Device);
        keep = Ref<IDirect3DDevice9>::Share(scope.device());
    }

    Ref<IDirect3DVertexBuffer9> MakeBuffer(uint32_t bytes, uint32_t fvf) {
        Ref<IDirect3DVertexBuffer9> vb;
        EXPECT_EQ(Device->CreateVertexBuffer(bytes, 0, fvf, D3DPOOL_MANAGED, vb.Put(), nullptr), D3D_OK);
        return vb;
    }
    Ref<IDirect3DVertexBuffer9> Source(const std::vector<SrcVertex>& v) {
        auto vb = MakeBuffer(static_cast<uint32_t>(v.size() * 28), 0x12);
        void* p = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, v.data(), v.size() * 28);
        vb->Unlock();
        return vb;
    }
    std::vector<uint8_t> Bytes(IDirect3DVertexBuffer9* vb) {
        D3DVERTEXBUFFER_DESC d;
        vb->GetDesc(&d);
        void* p = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
        std::vector<uint8_t> out(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + d.Size);
        vb->Unlock();
        return out;
    }
    // Result buffer filled with a texture-coordinate pattern the blend must keep.
    Ref<IDirect3DVertexBuffer9> Result(uint32_t stride, uint32_t fvf) {
        auto vb = MakeBuffer(kVerts * stride, fvf);
        void* p = nullptr;
        vb->Lock(0, 0, &p, 0);
        for (uint32_t i = 0; i < kVerts * stride; ++i)
            static_cast<uint8_t*>(p)[i] = static_cast<uint8_t>(0xA0 + i);
        vb->Unlock();
        return vb;
    }

    static std::vector<SrcVertex> Shape(float k) {
        std::vector<SrcVertex> v;
        for (uint32_t i = 0; i < kVerts; ++i)
            v.push_back({{k + i, 2 * k - i, 0.5f * k}, 1.0f, {0, k * 0.1f + i, 1 - k}});
        return v;
    }

    ErrorTrap trap;
    NullDeviceScope scope;
    Ref<IDirect3DDevice9> keep;
};

// Expected result bytes: the base's 28 bytes plus the weighted differences,
// the texture coordinates (bytes 28..stride) untouched.
std::vector<uint8_t> HandBlend(std::vector<uint8_t> before, uint32_t stride,
                               const std::vector<SrcVertex>& base,
                               const std::vector<std::pair<std::vector<SrcVertex>, float>>& targets) {
    for (uint32_t i = 0; i < kVerts; ++i) {
        SrcVertex r = base[i];
        for (const auto& [t, w] : targets)
            for (int c = 0; c < 3; ++c) {
                r.p[c] += (t[i].p[c] - base[i].p[c]) * w;
                r.n[c] += (t[i].n[c] - base[i].n[c]) * w;
            }
        std::memcpy(before.data() + i * stride, &r, 28);
    }
    return before;
}

TEST_F(Morpher, BlendMatchesHandBlendedVerticesByteForByte) {
    const MorphRecord baseRec{{0, 0}}, rec1{{0.25f, 0.5f}}, rec2{{1.0f, -0.25f}};
    const auto base = Shape(1), t1 = Shape(3), t2 = Shape(-2);
    struct Case {
        uint32_t stride, fvf;
    };
    for (Case c : {Case{36, 0x112}, Case{44, 0x212}}) {
        SCOPED_TRACE(c.stride);
        MorpherClass m;
        auto res = Result(c.stride, c.fvf);
        auto sb = Source(base), s1 = Source(t1), s2 = Source(t2), unmorphed = Source(Shape(7)),
             tex = MakeBuffer(kVerts * 16, 0x100);
        const auto before = Bytes(res.Get());
        ASSERT_TRUE(m.AddVertexStreamData(-1, 0, c.stride, res.Get(), "head"));
        ASSERT_TRUE(m.AddVertexStreamData(1, 0, 28, unmorphed.Get(), "nomorph"));
        ASSERT_TRUE(m.AddVertexStreamData(2, 0, 28, sb.Get(), "base"));
        ASSERT_TRUE(m.AddVertexStreamData(3, 0, 28, s1.Get(), "smile"));
        ASSERT_TRUE(m.AddVertexStreamData(4, 0, 28, s2.Get(), "blink"));
        ASSERT_TRUE(m.AddVertexStreamData(5, 0, 16, tex.Get(), "base"));
        m.SetupStreams([&](const std::string& n) -> const MorphRecord* {
            if (n == "base") return &baseRec;
            if (n == "smile") return &rec1;
            if (n == "blink") return &rec2;
            return nullptr;
        });
        VertexStreamDataClass* d = nullptr;
        ASSERT_TRUE(m.GetVertexData(size_t{5}, d));
        EXPECT_EQ(d->fvf, 0x100u);
        EXPECT_FALSE(m.GetVertexData(size_t{6}, d));
        EXPECT_EQ(d, nullptr);

        ASSERT_TRUE(m.CalcMAResultVertexBuffer(1));
        EXPECT_EQ(Bytes(res.Get()), HandBlend(before, c.stride, base, {{t1, 0.5f}, {t2, -0.25f}}));
        ASSERT_TRUE(m.CalcMAResultVertexBuffer(0));
        EXPECT_EQ(Bytes(res.Get()), HandBlend(before, c.stride, base, {{t1, 0.25f}, {t2, 1.0f}}));
    }
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Morpher, OneSourceGivesTheBaseShape) {
    const MorphRecord rec{{0}};
    MorpherClass m;
    auto res = Result(36, 0x112);
    auto sb = Source(Shape(2)), tex = MakeBuffer(kVerts * 8, 0x100);
    const auto before = Bytes(res.Get());
    m.AddVertexStreamData(-1, 0, 36, res.Get(), "r");
    m.AddVertexStreamData(1, 0, 28, sb.Get(), "b");
    m.AddVertexStreamData(2, 0, 8, tex.Get(), "t");
    m.SetupStreams([&](const std::string&) { return &rec; });
    // A frame past the base's keys does not matter: the base has no weight.
    ASSERT_TRUE(m.CalcMAResultVertexBuffer(9));
    EXPECT_EQ(Bytes(res.Get()), HandBlend(before, 36, Shape(2), {}));
}

TEST_F(Morpher, SetStreamsPutsEveryStreamOnTheDevice) {
    MorpherClass m;
    auto res = Result(36, 0x112);
    auto s = Source(Shape(0));
    m.AddVertexStreamData(-1, 0, 36, res.Get(), "r");
    m.AddVertexStreamData(1, 0, 28, s.Get(), "a");
    m.AddVertexStreamData(2, 0, 28, s.Get(), "b");
    const uint32_t before = MorphStreamsInUse;
    scope.device()->ClearCalls();
    m.SetStreams();
    EXPECT_EQ(scope.device()->CountCalls("SetStreamSource"), 3u);
    EXPECT_GE(MorphStreamsInUse, 3u);
    MorphStreamsInUse = before;
    MorphStreamData* d = nullptr;
    ASSERT_TRUE(m.GetVertexData(0, d));
    EXPECT_EQ(d->stream, -1);
    EXPECT_EQ(d->stride, 36u);
    EXPECT_EQ(d->fvf, 0x112u);
    EXPECT_FALSE(m.GetVertexData(3, d));
}

TEST_F(Morpher, FatalTexts) {
    const MorphRecord base{{0}}, shortRec{{0.5f}};
    auto res = Result(36, 0x112);
    auto s = Source(Shape(1)), tiny = Source({Shape(1)[0]});
    struct Case {
        const char* text;
        std::function<void(MorpherClass&)> setup;
        uint32_t frame;
    };
    const std::vector<Case> cases = {
        {"VertexStreamDataClass.Init: (_vb=nil)",
         [](MorpherClass& m) { m.AddVertexStreamData(-1, 0, 36, nullptr, "r"); }, 0},
        {"MorpherClass.CalcMAResultVertexBuffer: not GetVertexData(0,pvsdRes)", [](MorpherClass&) {}, 0},
        {"BRU MAObj: error: pvsdRes.Stream<>-1",
         [&](MorpherClass& m) { m.AddVertexStreamData(0, 0, 36, res.Get(), "r"); }, 0},
        // The frame past the target's keys.
        {"CalcMAResultVertexBuffer",
         [&](MorpherClass& m) {
             m.AddVertexStreamData(-1, 0, 36, res.Get(), "r");
             m.AddVertexStreamData(1, 0, 28, s.Get(), "base");
             m.AddVertexStreamData(2, 0, 28, s.Get(), "t");
             m.AddVertexStreamData(3, 0, 28, s.Get(), "uv");
             m.SetupStreams([&](const std::string& n) { return n == "base" ? &base : &shortRec; });
         },
         1},
        // A source too short for the result's vertices is never read past its end.
        {"CMParser.LockVB MSS ",
         [&](MorpherClass& m) {
             m.AddVertexStreamData(-1, 0, 36, res.Get(), "r");
             m.AddVertexStreamData(1, 0, 28, tiny.Get(), "base");
             m.AddVertexStreamData(2, 0, 28, s.Get(), "uv");
             m.SetupStreams([&](const std::string& n) { return n == "base" ? &base : nullptr; });
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        MorpherClass m;
        EXPECT_THROW(
            {
                c.setup(m);
                m.CalcMAResultVertexBuffer(c.frame);
            },
            Halted);
        EXPECT_EQ(trap.lastFatal, c.text);
    }
}

} // namespace

namespace {

TEST(MorphClock, PlaysLoopsStopsAndPauses) {
    struct Case {
        const char* what;
        uint64_t flags;
        float length;
        bool gamePaused;
        std::vector<float> ticksMs;
        bool playing;
        float clock, position;
        uint32_t frame;
    };
    // 31 keys over one second.
    const std::vector<Case> cases = {
        {"half way", MORPH_ANIM_LOOP, 1.0f, false, {250, 250}, true, 0.5f, 0.5f, 15},
        {"stops on the last frame", 0, 1.0f, false, {600, 600}, false, 1.2f, 1.0f, 30},
        {"loop starts again", MORPH_ANIM_LOOP, 1.0f, false, {600, 600, 300}, true, 0.3f, 0.3f, 9},
        {"unit pause", MORPH_ANIM_PAUSED, 1.0f, false, {500}, true, 0.0f, 0.0f, 0},
        {"game pause", 0, 1.0f, true, {500}, true, 0.0f, 0.0f, 0},
        {"zero length finishes at once", 0, 0.0f, false, {16}, false, 0.016f, 0.0f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MorphAnimationClock k;
        k.flags = c.flags;
        k.length = c.length;
        k.PlayFrom(0);
        for (float dt : c.ticksMs) {
            k.Tick(dt, c.gamePaused);
            k.CalcCurFrame(31);
        }
        EXPECT_EQ((k.flags & MORPH_ANIM_PLAYING) != 0, c.playing);
        EXPECT_NEAR(k.clock, c.clock, 1e-5);
        EXPECT_NEAR(k.position, c.position, 1e-5);
        EXPECT_FALSE(std::isnan(k.position));
        EXPECT_EQ(k.frame, c.frame);
    }
    // Without an animation track the frame is left as it is.
    MorphAnimationClock k;
    k.frame = 7;
    k.CalcCurFrame(0);
    EXPECT_EQ(k.frame, 7u);
}

} // namespace
