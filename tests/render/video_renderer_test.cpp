#include "render/video_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "render/engine.h"
#include "texture_fixture.h"

namespace vesk::test {
namespace {

struct EndLog : IVideoEndListener {
    void VideoEnded(VideoRendererClass* v) override { ended.push_back(v); }
    std::vector<VideoRendererClass*> ended;
};

class VideoRendererTest : public TextureFixture {
protected:
    void SetUp() override {
        TextureFixture::SetUp();
        if (!TEODestroyManager) {
            TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
            ownQueue_ = true;
        }
        if (!LiveObjects) LiveObjects = std::make_unique<LiveObjectRegistryClass>();
        UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
        platform::NullVideoConfig config; // 10 frames at 10 per second: one second
        platform::SetVideoDecoderFactory([config] { return platform::CreateNullVideoDecoder(config); });
        Put("cinematics/intro.avi", "not decoded by the null backend");
        video = VideoRendererClass::Create(Device.Get());
    }
    void TearDown() override {
        video->Free();
        UpdaterManager->Free();
        UpdaterManager = nullptr;
        TEODestroyManager->Flush();
        if (ownQueue_) TEODestroyManager.reset();
        platform::SetVideoDecoderFactory(nullptr);
        VideoWideScreen = false;
        VideoHorizontalScale = 1.0f;
        TextureFixture::TearDown();
    }
    bool Registered() { return UpdaterManager->IsClient(video); }
    // The colour of the texture's top-left pixel as A8R8G8B8.
    uint32_t TexturePixel() {
        platform::D3DLOCKED_RECT r{};
        EXPECT_EQ(video->GetTexture()->LockRect(0, &r, nullptr, 0), platform::D3D_OK);
        uint32_t c = 0;
        std::memcpy(&c, r.pBits, 4);
        video->GetTexture()->UnlockRect(0);
        return c;
    }

    VideoRendererClass* video = nullptr;
    bool ownQueue_ = false;
};

TEST_F(VideoRendererTest, LoadedVideoRestsAtStartUntilPlayed) {
    EXPECT_TRUE(video->Visible());
    EXPECT_FALSE(video->Loop());
    EXPECT_EQ(video->GetStopTime(), 0.0);
    video->Load(DataPath + "cinematics/intro.avi");
    EXPECT_DOUBLE_EQ(video->GetStopTime(), 1.0);
    EXPECT_EQ(video->GetPosition(), 0.0);
    EXPECT_FALSE(video->Playing());
    EXPECT_FALSE(Registered());
    video->Play();
    EXPECT_TRUE(Registered());
    ASSERT_EQ(VideoRendererClass::PlayingList().size(), 1u);
    UpdaterManager->Update(400);
    EXPECT_NEAR(video->GetPosition(), 0.4, 1e-6);
    video->Pause();
    UpdaterManager->Update(400);
    EXPECT_NEAR(video->GetPosition(), 0.4, 1e-6);
    video->SetPosition(5.0); // beyond the end: the stop time
    EXPECT_DOUBLE_EQ(video->GetPosition(), 1.0);
    video->Stop();
    EXPECT_EQ(video->GetPosition(), 0.0);
    EXPECT_FALSE(Registered());
    EXPECT_TRUE(VideoRendererClass::PlayingList().empty());
}

TEST_F(VideoRendererTest, EndOfVideo) {
    video->Load(DataPath + "cinematics/intro.avi");
    // Looping: back to 0 at the end, still registered.
    video->SetLoop(true);
    video->Play();
    UpdaterManager->Update(1000);
    EXPECT_LT(video->GetPosition(), 0.05);
    EXPECT_TRUE(Registered());
    EXPECT_TRUE(video->Playing());
    // Not looping, no listener: stays at the end and keeps being updated.
    video->SetLoop(false);
    UpdaterManager->Update(1200);
    EXPECT_DOUBLE_EQ(video->GetPosition(), 1.0);
    EXPECT_TRUE(Registered());
    // With a listener: it hears of the end and the video leaves the updater.
    EndLog log;
    video->SetEndListener(&log);
    UpdaterManager->Update(20);
    EXPECT_EQ(log.ended, std::vector<VideoRendererClass*>{video});
    EXPECT_FALSE(Registered());
    video->SetEndListener(nullptr);
}

TEST_F(VideoRendererTest, MissingFileIsReported) {
    EXPECT_THROW(video->Load(DataPath + "cinematics/absent.avi"), Halted);
    EXPECT_EQ(trap.lastFatal,
              "VideoRendererClass.Load: not FileExists(" + DataPath + "cinematics/absent.avi)");
    EXPECT_EQ(video->GetStopTime(), 0.0);
}

TEST_F(VideoRendererTest, DecodedFramesFollowThePositionIntoTheTexture) {
    platform::SetVideoDecoderFactory(nullptr);
    const uint32_t colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    const std::string path = DataPath + "cinematics/rgb.avi";
    ASSERT_TRUE(WriteColourVideo(path, {colours[0], colours[1], colours[2]}));
    video->Load(path);
    ASSERT_NE(video->GetTexture(), nullptr);
    EXPECT_NEAR(video->GetStopTime(), 0.6, 0.21);
    video->DrawToRect(10, 20, 100, 50);
    const struct {
        double at;
        uint32_t colour;
    } steps[] = {
        {0.0, colours[0]}, {0.25, colours[1]}, {0.45, colours[2]}, {0.1, colours[0]}, {0.2, colours[1]}};
    for (const auto& s : steps) {
        video->SetPosition(s.at);
        video->Render();
        EXPECT_EQ(TexturePixel() & 0xFFFFFF, s.colour & 0xFFFFFF) << s.at;
    }
    EXPECT_EQ(scope.device()->CountCalls("DrawPrimitiveUP"), 5u);
    video->SetVisible(false);
    video->Render();
    EXPECT_EQ(scope.device()->CountCalls("DrawPrimitiveUP"), 5u);
}

TEST_F(VideoRendererTest, TheQuadDrawsWithItsOwnStatesAndLeavesTheDeviceAsItWas) {
    using namespace platform;
    video->Load(DataPath + "cinematics/intro.avi");
    video->DrawToRect(10, 20, 100, 50);
    // What the frame had set before the video draws.
    const std::pair<D3DRENDERSTATETYPE, uint32_t> before[] = {{D3DRS_ZENABLE, 1},
                                                              {D3DRS_LIGHTING, 1},
                                                              {D3DRS_ZWRITEENABLE, 1},
                                                              {D3DRS_CLIPPING, 1},
                                                              {D3DRS_CULLMODE, D3DCULL_CCW}};
    for (auto [state, value] : before) Device->SetRenderState(state, value);
    DeviceBase* dev = scope.device();
    dev->ClearCalls();
    video->Render();
    // While it draws: no depth test or writes, no lighting or clipping, either side.
    std::vector<std::string> set;
    for (const GfxCall& c : dev->Calls()) {
        if (c.name == "DrawPrimitiveUP") break;
        if (c.name == "SetRenderState") set.push_back(c.Text());
    }
    for (const char* expected : {"SetRenderState(7, 0)", "SetRenderState(137, 0)", "SetRenderState(14, 0)",
                                 "SetRenderState(136, 0)", "SetRenderState(22, 1)"})
        EXPECT_NE(std::find(set.begin(), set.end(), expected), set.end()) << expected;
    EXPECT_EQ(dev->CountCalls("DrawPrimitiveUP"), 1u);
    // Afterwards the device holds what it held.
    for (auto [state, value] : before) {
        uint32_t now = 99;
        Device->GetRenderState(state, &now);
        EXPECT_EQ(now, value) << state;
    }
}

TEST_F(VideoRendererTest, TheScreenSizeSetsThePicturesAspectCorrection) {
    // (width, height) -> how much wider than 4:3 the screen is, and the v widening k.
    const struct {
        uint32_t w, h;
        float scale, k;
    } cases[] = {{1024, 768, 1.0f, 0.0f},
                 {512, 384, 1.0f, 0.0f},
                 {1280, 720, 4.0f / 3.0f, -1.0f / 6.0f},
                 {960, 960, 0.75f, 0.125f}};
    for (const auto& c : cases) {
        SetVideoScreenSize(c.w, c.h);
        EXPECT_FLOAT_EQ(VideoHorizontalScale, c.scale) << c.w << "x" << c.h;
        video->DrawToRect(0, 0, 100, 100);
        EXPECT_NEAR(video->Quad()[0].v, -c.k, 1e-6f) << c.w << "x" << c.h;
    }
    SetVideoScreenSize(0, 0); // no screen: unchanged
    EXPECT_FLOAT_EQ(VideoHorizontalScale, 0.75f);
}

TEST_F(VideoRendererTest, QuadCoversTheRectUpsideDown) {
    const struct {
        bool wide;
        float scale;
        float k;
    } cases[] = {{false, 1.0f, 0.0f}, {false, 0.75f, 0.125f}, {true, 0.75f, 0.0f}};
    for (const auto& c : cases) {
        VideoWideScreen = c.wide;
        VideoHorizontalScale = c.scale;
        video->DrawToRect(10, 20, 100, 50);
        const auto& q = video->Quad();
        ASSERT_EQ(q.size(), 4u);
        const float expect[4][4] = {
            {10, 70, 0, -c.k}, {10, 20, 0, 1 + c.k}, {110, 70, 1, -c.k}, {110, 20, 1, 1 + c.k}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(q[i].x, expect[i][0]);
            EXPECT_FLOAT_EQ(q[i].y, expect[i][1]);
            EXPECT_FLOAT_EQ(q[i].u, expect[i][2]);
            EXPECT_FLOAT_EQ(q[i].v, expect[i][3]);
            EXPECT_FLOAT_EQ(q[i].z, 0.9f);
            EXPECT_EQ(q[i].colour, 0x80FFFFFFu);
        }
    }
}

} // namespace
} // namespace vesk::test
