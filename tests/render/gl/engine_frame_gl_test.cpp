// A small tree of units drawn through the engine's real frame on the GL
// device: each unit shows where the camera projects it, a child follows its
// parent, and units that must not draw leave the clear colour.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/files.h"
#include "platform/gfx/gl_device.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/math.h"
#include "support/error_trap.h"

namespace vesk::test {
namespace {

using namespace platform;

using gltest::H;
using gltest::W;

// A flat square of side 2 in the unit's y-z plane, facing the default camera
// (which looks along +x), in one colour.
class SquareUnit : public TBaseRenderUnit {
public:
    D3DCOLOR colour = 0xFFFFFFFF;
    void DoRender() override {
        struct V {
            float x, y, z;
            D3DCOLOR c;
        };
        const V v[4] = {{0, -1, -1, colour}, {0, 1, -1, colour}, {0, -1, 1, colour}, {0, 1, 1, colour}};
        IDirect3DDevice9* d = Device.Get();
        d->SetTransform(D3DTS_WORLD, &GetWorldMatrix());
        d->SetRenderState(D3DRS_LIGHTING, 0);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        CachedSetTexture(0, nullptr);
        CachedSetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V));
        if (Engine) Engine->IncFrameObjCount();
    }
};

struct Rgb {
    int r, g, b;
};

// The GL device of the device layer's pixel tests, drawn into by the engine.
class EngineFrameGL : public gltest::GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        Device = dev_;
        ResetDeviceStateCache();
        engine_ = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        Device->GetRenderTarget(0, engine_->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        engine_->CreateDrawObjects();
        env_ = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine_);
        engine_->AddChild(env_);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return env_; };
    }
    void TearDown() override {
        if (engine_) {
            engine_->DiscardBRU();
            engine_->Free();
        }
        if (TEODestroyManager) TEODestroyManager->Flush();
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        ClearCachedTextures();
        Device = nullptr;
    }

    SquareUnit* Square(TBaseRenderUnit* parent, Vec3 at, D3DCOLOR colour, uint64_t flags = BRU_OPAQUE) {
        SquareUnit* u = TBaseRenderUnit::Create<SquareUnit>(parent);
        u->colour = colour;
        u->SetFlag(flags);
        u->SetPosition(at);
        parent->AddChild(u);
        return u;
    }

    // Draws one frame and reads the target back before it is presented.
    void DrawFrame() {
        engine_->RE_BeginScene();
        engine_->UpdateMatrices(nullptr);
        engine_->RenderFrame();
        engine_->RE_EndScene();
        Ref<IDirect3DSurface9> rt, sys;
        ASSERT_EQ(Device->GetRenderTarget(0, rt.Put()), D3D_OK);
        D3DSURFACE_DESC desc;
        rt->GetDesc(&desc);
        ASSERT_EQ(
            Device->CreateOffscreenPlainSurface(W, H, desc.Format, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr),
            D3D_OK);
        ASSERT_EQ(Device->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        frame_.assign(size_t(W) * H * 4, 0);
        for (uint32_t y = 0; y < H; ++y)
            std::memcpy(frame_.data() + size_t(y) * W * 4,
                        static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch, W * 4);
        sys->UnlockRect();
        engine_->Present();
        RenderFrameCounter.NextFrame();
        TEODestroyManager->Flush();
    }
    Rgb At(int x, int y) const {
        const uint8_t* p = frame_.data() + (size_t(y) * W + size_t(x)) * 4;
        return {p[2], p[1], p[0]};
    }
    // Where the engine's camera puts a world point, in pixels.
    Vec3 Projected(Vec3 p) const {
        IViewCamera* cam = engine_->Viewports().GetViewportCamera(engine_->EngineViewportId());
        return Vec3Project(p, {0, 0, float(W), float(H), 0, 1}, cam->GetProjMatrix(), cam->GetViewMatrix(),
                           Matrix{});
    }
    Rgb AtWorld(Vec3 p) const {
        const Vec3 s = Projected(p);
        return At(int(s.x), int(s.y));
    }

    TEngineClass* engine_ = nullptr;
    EnvironmentStandInClass* env_ = nullptr;
    std::vector<uint8_t> frame_;
    ErrorTrap trap_;
};

#define EXPECT_RGB(px, R, G, B)                                                                              \
    do {                                                                                                     \
        const Rgb p_ = (px);                                                                                 \
        EXPECT_NEAR(p_.r, (R), 2);                                                                           \
        EXPECT_NEAR(p_.g, (G), 2);                                                                           \
        EXPECT_NEAR(p_.b, (B), 2);                                                                           \
    } while (0)

TEST_F(EngineFrameGL, UnitsAppearWhereTheCameraProjectsThem) {
    const Vec3 redAt{10, 3, 0}, greenAt{10, -3, 0}, blueAt{10, 0, 2.5f}, hiddenAt{10, 0, -2.5f};
    SquareUnit* red = Square(env_, redAt, 0xFFFF0000);
    // The child is placed relative to its parent: world (10, -3, 0).
    Square(red, {0, -6, 0}, 0xFF00FF00);
    Square(env_, blueAt, 0xFF0000FF, BRU_BLENDED);
    SquareUnit* killed = Square(env_, hiddenAt, 0xFFFFFF00);
    killed->Kill();
    Square(env_, {10, 0, 0}, 0xFFFFFFFF, 0); // no pass flag: never drawn
    DrawFrame();
    EXPECT_RGB(AtWorld(redAt), 255, 0, 0);
    EXPECT_RGB(AtWorld(greenAt), 0, 255, 0);
    EXPECT_RGB(AtWorld(blueAt), 0, 0, 255);
    // Where nothing may draw, the frame's clear colour (0.05, 0.1, 0.15).
    EXPECT_RGB(AtWorld(hiddenAt), 13, 26, 38);
    EXPECT_RGB(AtWorld({10, 0, 0}), 13, 26, 38);
    EXPECT_RGB(At(0, 0), 13, 26, 38);
    EXPECT_EQ(engine_->FrameObjCount(), 3u);
    // The mirrored projection: world +y is on the left of the screen.
    EXPECT_LT(Projected(redAt).x, Projected(greenAt).x);
    EXPECT_LT(Projected(blueAt).y, Projected(redAt).y);

    // The killed unit was discarded at the end of the frame; without an environment nothing draws.
    EXPECT_EQ(env_->ChildCount(), 3);
    GetRenderWorldLinks().environment = nullptr;
    DrawFrame();
    EXPECT_RGB(AtWorld(redAt), 13, 26, 38);
}

TEST_F(EngineFrameGL, RenderToTextureShowsTheSceneThroughTheScreenQuad) {
    const Vec3 redAt{10, 3, 0}, greenAt{10, -3, 0};
    Square(env_, redAt, 0xFFFF0000);
    Square(env_, greenAt, 0xFF00FF00);
    engine_->EnableRenderToTexture();
    ASSERT_TRUE(engine_->RenderToTexture());
    // The device shows a target texture's draws only from the second frame on
    // (a fresh render-target texture is sampled from its initial copy once).
    DrawFrame();
    DrawFrame();
    EXPECT_RGB(AtWorld(redAt), 255, 0, 0);
    EXPECT_RGB(AtWorld(greenAt), 0, 255, 0);
    EXPECT_TRUE(trap_.reports.empty());
}

TEST_F(EngineFrameGL, RenderToTextureRunsThePostShader) {
    // The game's own "data/shaders/pspost.txt" shows the scene as it is; one that
    // inverts the colours shows the shader ran.
    std::string game;
    ASSERT_TRUE(platform::ReadFile(VESK_TEST_DATA_DIR "/../../content/data/shaders/pspost.txt", game));
    const struct {
        std::string shader;
        Rgb red;
    } cases[] = {
        {game, {255, 0, 0}},
        {"#pixelshader\nvoid main() { oC0 = vec4(1.0 - texture(s0, t0.xy).rgb, 1.0); }\n", {0, 255, 255}}};
    const Vec3 redAt{10, 3, 0};
    Square(env_, redAt, 0xFFFF0000);
    for (const auto& c : cases) {
        TempDir dir;
        ASSERT_TRUE(platform::CreateFolders(dir / "data/shaders"));
        ASSERT_TRUE(platform::WriteFile(dir / "data/shaders/pspost.txt", c.shader));
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        engine_->EnableRenderToTexture();
        std::filesystem::current_path(previous);
        DrawFrame();
        DrawFrame();
        EXPECT_RGB(AtWorld(redAt), c.red.r, c.red.g, c.red.b);
    }
    EXPECT_TRUE(trap_.reports.empty());
}

} // namespace
} // namespace vesk::test
