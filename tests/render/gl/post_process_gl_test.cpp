// Pixel checks of the post-process effects on the GL device (llvmpipe, headless).
#include <gtest/gtest.h>

#include "core/config_record.h"
#include "platform/files.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/post_process.h"
#include "render/world_links.h"

using namespace vesk;
using namespace vesk::gltest;
using vesk::test::TempDir;

namespace {

class PostProcessGL : public GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || !dev_) return;
        Device = dev_;
        old_ = CurrentFolder();
        ASSERT_TRUE(SetCurrentFolder(dir.path()));
        std::string effect;
        ASSERT_TRUE(ReadFile(std::string(VESK_TEST_DATA_DIR) + "/../../content/data/shaders/post_process.fx",
                             effect));
        CreateFolders("data/shaders");
        ASSERT_TRUE(WriteFile("data/shaders/post_process.fx", effect));
        SetupRecord.postProcess = 1;
        // Every technique of the demo content builds on the GL device.
        std::unique_ptr<PostEffect> probe;
        std::string errors;
        ASSERT_EQ(PostEffect::Create(dev_.Get(), effect, probe, &errors), D3D_OK) << errors;
        RE_InitPostProcess();
        ASSERT_TRUE(PostProcess && PostProcess->IsActive()) << trap.lastFatal;
    }
    void TearDown() override {
        RE_FreePostProcess();
        GetRenderWorldLinks() = RenderWorldLinks{};
        SetupRecord.postProcess = 0;
        PostProcessFailed = false;
        if (!old_.empty()) SetCurrentFolder(old_);
        Device = nullptr;
        GfxGL::TearDown();
    }
    vesk::test::ErrorTrap trap;
    TempDir dir;
    std::string old_;
};

TEST_F(PostProcessGL, BrightPassOfACopiedFrame) {
    // (230, 128, 204) keeps what lies above 0.7, stretched by 1 / 0.3:
    // red (0.902 - 0.7) / 0.3 = 0.673, green 0, blue (0.8 - 0.7) / 0.3 = 0.333.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(230, 128, 204), 1.0f, 0);
    PostProcess->CopyBackBuffer();
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    dev_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    PostProcess->BindTarget(0, 0);
    PostProcess->RunTechnique("brightpass", PostProcessManager::kBackBuffer);
    const auto f = Frame();
    for (auto [x, y] : {std::pair{0, 0}, {int(W) / 2, int(H) / 2}, {int(W) - 1, int(H) - 1}})
        EXPECT_NEAR_COLOR(Pixel(f, x, y), 172, 0, 85, 3);
    PostProcess->FreeBackBufferCopy();
}

TEST_F(PostProcessGL, ChainsKeepAnEvenFrameAndSharpenAnEdge) {
    // A radial blur and the copy back leave a frame of one colour as it was.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(40, 90, 160), 1.0f, 0);
    PostProcess->CopyBackBuffer();
    PostProcess->RenderRadialBlur();
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 4), 40, 90, 160, 2);
    PostProcess->FreeBackBufferCopy();

    // Sharpen over a vertical edge (left 0.4 grey, right 0.8 grey): 1.5 c - (sum of 4 neighbours) / 8.
    RECT left{0, 0, int32_t(W / 2), int32_t(H)};
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(204, 204, 204), 1.0f, 0);
    dev_->Clear(1, &left, D3DCLEAR_TARGET, D3DCOLOR_XRGB(102, 102, 102), 1.0f, 0);
    PostProcess->CopyBackBuffer();
    dev_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    dev_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    dev_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    PostProcess->RunChain("sharp", true);
    const auto f = Frame();
    // Far from the edge: 1.5 c - 4 c / 8 = c.
    EXPECT_NEAR_COLOR(Pixel(f, 4, H / 2), 102, 102, 102, 3);
    EXPECT_NEAR_COLOR(Pixel(f, W - 4, H / 2), 204, 204, 204, 3);
    // Last dark column: 1.5 * 0.4 - (3 * 0.4 + 0.8) / 8 = 0.35; first light one: 1.2 - 2.8 / 8 = 0.85.
    EXPECT_NEAR_COLOR(Pixel(f, W / 2 - 1, H / 2), 89, 89, 89, 3);
    EXPECT_NEAR_COLOR(Pixel(f, W / 2, H / 2), 217, 217, 217, 3);
    PostProcess->FreeBackBufferCopy();
}

// The radial streaks are as long as the scripts' power asks: none at rest,
// across an edge near the border when the ship is fast.
TEST_F(PostProcessGL, RadialStreaksFollowTheirPower) {
    RECT right{60, 0, int32_t(W), int32_t(H)};
    auto streaked = [&](const char* power) {
        EXPECT_TRUE(SetupEffectParam(PostProcess->Effect(), "radian_blur_power", power));
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
        dev_->Clear(1, &right, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 255, 255), 1.0f, 0);
        PostProcess->CopyBackBuffer();
        PostProcess->RenderRadialBlur();
        const Bgra p = PixelNow(62, H / 2);
        PostProcess->FreeBackBufferCopy();
        return int(p.r);
    };
    EXPECT_EQ(streaked("0"), 255);
    // Eight samples one pixel and a bit apart toward the centre: most fall on the dark side.
    const int fast = streaked("20");
    EXPECT_GT(fast, 20);
    EXPECT_LT(fast, 160);
}

} // namespace
