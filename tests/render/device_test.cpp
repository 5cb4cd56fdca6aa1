#include <gtest/gtest.h>

#include "null_device_scope.h"
#include "platform/system.h"
#include "render/device.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <set>

using namespace vesk;
using namespace vesk::platform;
using vesk::test::ErrorTrap;
using vesk::test::Halted;
using vesk::test::NullDeviceScope;

namespace {

// Records the programs started instead of starting them.
struct StartedPrograms {
    std::vector<std::string> paths;
    StartedPrograms() {
        SetStartProgramHandler([this](const std::string& p, const std::vector<std::string>&) {
            paths.push_back(p);
            return true;
        });
    }
    ~StartedPrograms() { SetStartProgramHandler(nullptr); }
};

DeviceSetup FullScreenSetup() {
    DeviceSetup s;
    s.fullScreen = 1;
    s.width = 800;
    s.height = 600;
    s.refreshRate = 75;
    s.backBufferFormat = D3DFMT_X8R8G8B8;
    s.depthStencilFormat = D3DFMT_D24S8;
    return s;
}

} // namespace

TEST(DeviceCreation, WindowedDeviceFromTheDisplayMode) {
    ErrorTrap trap;
    NullDeviceScope scope;
    scope.config.displayMode = {1280, 1024, 60, D3DFMT_X8R8G8B8};
    DeviceSetup setup;
    setup.depthStencilFormat = D3DFMT_D16;
    scope.Init(setup);
    ASSERT_TRUE(Device);
    EXPECT_EQ(scope.sdkVersion, 0x80000020u);
    EXPECT_EQ(scope.factory->Find("CreateDevice"), (std::vector<std::string>{"CreateDevice(0, 1, 68)"}));
    EXPECT_EQ(PresentParameters.Windowed, 1);
    EXPECT_EQ(PresentParameters.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(PresentParameters.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(PresentParameters.EnableAutoDepthStencil, 1);
    EXPECT_EQ(PresentParameters.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(PresentParameters.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(PresentParameters.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(PresentParameters.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(DisplayMode.Width, 1280u);
    EXPECT_TRUE(scope.routine.DeviceRenderTargetSurface);
    Ref<IDirect3DSurface9> rt;
    scope.routine.GetRenderTargetSurface(rt);
    EXPECT_EQ(rt.Get(), scope.routine.DeviceRenderTargetSurface.Get());
    EXPECT_TRUE(trap.reports.empty());
}

TEST(DeviceCreation, FullScreenPresentParametersFromTheRecord) {
    ErrorTrap trap;
    NullDeviceScope scope;
    DeviceSetup setup = FullScreenSetup();
    setup.deviceType = D3DDEVTYPE_REF;
    scope.Init(setup);
    ASSERT_TRUE(Device);
    EXPECT_EQ(scope.factory->Find("CheckDeviceType"),
              (std::vector<std::string>{"CheckDeviceType(0, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, 0)"}));
    // The multisample check always names the hardware device and X8R8G8B8.
    EXPECT_EQ(scope.factory->Find("CheckDeviceMultiSampleType"),
              (std::vector<std::string>{"CheckDeviceMultiSampleType(0, 1, D3DFMT_X8R8G8B8, 0, 0)"}));
    EXPECT_EQ(scope.factory->Find("CreateDevice"), (std::vector<std::string>{"CreateDevice(0, 2, 68)"}));
    EXPECT_EQ(PresentParameters.Windowed, 0);
    EXPECT_EQ(PresentParameters.BackBufferWidth, 800u);
    EXPECT_EQ(PresentParameters.BackBufferHeight, 600u);
    EXPECT_EQ(PresentParameters.BackBufferCount, 2u);
    EXPECT_EQ(PresentParameters.FullScreen_RefreshRateInHz, 75u);
    EXPECT_EQ(PresentParameters.AutoDepthStencilFormat, D3DFMT_D24S8);
}

TEST(DeviceCreation, OtherDisplayModeBytesRunWindowed) {
    ErrorTrap trap;
    NullDeviceScope scope;
    DeviceSetup setup;
    setup.fullScreen = 7;
    scope.Init(setup);
    ASSERT_TRUE(Device);
    EXPECT_EQ(PresentParameters.Windowed, 1);
}

TEST(DeviceCreation, VertexProcessingFallbacks) {
    struct Case {
        std::set<uint32_t> failing;
        std::vector<std::string> attempts;
    };
    const std::vector<Case> cases = {
        {{}, {"CreateDevice(0, 1, 68)"}},
        {{0x44}, {"CreateDevice(0, 1, 68)", "CreateDevice(0, 1, 132)"}},
        {{0x44, 0x84}, {"CreateDevice(0, 1, 68)", "CreateDevice(0, 1, 132)", "CreateDevice(0, 1, 36)"}},
    };
    for (const Case& c : cases) {
        ErrorTrap trap;
        NullDeviceScope scope;
        scope.config.createDeviceFails = [&](uint32_t b) { return c.failing.count(b) > 0; };
        scope.Init();
        ASSERT_TRUE(Device);
        EXPECT_EQ(scope.factory->Find("CreateDevice"), c.attempts);
        EXPECT_TRUE(trap.boxes.empty());
    }
}

TEST(DeviceCreation, NoDeviceInAnyModeStartsTheSetupProgram) {
    ErrorTrap trap;
    StartedPrograms started;
    NullDeviceScope scope;
    scope.config.adapterCount = 2;
    scope.config.createDeviceFails = [](uint32_t) { return true; };
    EXPECT_THROW(scope.Init(), Halted);
    EXPECT_FALSE(Device);
    EXPECT_EQ(scope.factory->Find("CreateDevice").size(), 3u);
    ASSERT_EQ(trap.boxes.size(), 1u);
    // The description of the last adapter names the card.
    EXPECT_EQ(trap.boxes[0].text, "d3d.CreateDevice failed(Null graphics adapter 1)");
    EXPECT_EQ(trap.boxes[0].flags, "error");
    EXPECT_EQ(started.paths.size(), 1u);
    EXPECT_TRUE(trap.reports.empty());
}

TEST(DeviceCreation, RejectedFullScreenDeviceTypeStartsTheSetupProgram) {
    ErrorTrap trap;
    StartedPrograms started;
    NullDeviceScope scope;
    scope.config.failCheckDeviceType = true;
    EXPECT_THROW(scope.Init(FullScreenSetup()), Halted);
    ASSERT_EQ(trap.boxes.size(), 1u);
    EXPECT_EQ(trap.boxes[0].text, "d3d.CheckDeviceType(fullscreen) failed");
    EXPECT_EQ(trap.boxes[0].flags, "error");
    EXPECT_EQ(started.paths.size(), 1u);
    EXPECT_TRUE(scope.factory->Find("CreateDevice").empty());
    EXPECT_TRUE(trap.reports.empty());
}

TEST(DeviceCreation, FatalReportsWithTheirTexts) {
    {
        ErrorTrap trap;
        NullDeviceScope scope;
        scope.failFactory = true;
        EXPECT_THROW(scope.Init(), Halted);
        ASSERT_EQ(trap.reports.size(), 1u);
        EXPECT_EQ(trap.reports[0].text, "Failed RE_InitDevices.Direct3DCreate (D3D_SDK_VERSION)");
        EXPECT_EQ(trap.reports[0].flags, "mhl");
    }
    {
        ErrorTrap trap;
        NullDeviceScope scope;
        scope.config.failGetDisplayMode = true;
        EXPECT_THROW(scope.Init(), Halted);
        ASSERT_EQ(trap.reports.size(), 1u);
        EXPECT_EQ(trap.reports[0].text,
                  "Failed RE_InitDevices.GetDisplayAdapter(wm): \r" + DXErrorText(D3DERR_INVALIDCALL));
        EXPECT_EQ(trap.reports[0].flags, "mhl");
    }
}

TEST(DeviceCreation, MultisampleRequestAndRenderState) {
    struct Case {
        D3DMULTISAMPLE_TYPE asked;
        bool supported;
        D3DMULTISAMPLE_TYPE inParameters;
        size_t antialiasStates;
    };
    const Case cases[] = {
        {D3DMULTISAMPLE_NONE, true, D3DMULTISAMPLE_NONE, 0},
        {D3DMULTISAMPLE_4_SAMPLES, true, D3DMULTISAMPLE_4_SAMPLES, 1},
        // Rejected by the adapter: not requested, yet antialiasing is still switched on.
        {D3DMULTISAMPLE_4_SAMPLES, false, D3DMULTISAMPLE_NONE, 1},
    };
    for (const Case& c : cases) {
        ErrorTrap trap;
        NullDeviceScope scope;
        scope.config.multisampleTypes = {D3DMULTISAMPLE_NONE};
        if (c.supported) scope.config.multisampleTypes.push_back(c.asked);
        DeviceSetup setup;
        setup.multisampleType = c.asked;
        scope.Init(setup);
        ASSERT_TRUE(Device);
        EXPECT_EQ(PresentParameters.MultiSampleType, c.inParameters);
        EXPECT_EQ(scope.routine.MultisampleSupported, c.supported);
        const auto states = scope.device()->Find("SetRenderState");
        EXPECT_EQ(states.size(), 3 + c.antialiasStates);
        EXPECT_EQ(states.back() == "SetRenderState(161, 1)", c.antialiasStates == 1) << int(c.asked);
    }
}

TEST(DeviceCreation, SecondInitDoesNothing) {
    ErrorTrap trap;
    NullDeviceScope scope;
    scope.Init();
    IDirect3DDevice9* first = Device.Get();
    scope.Init();
    EXPECT_EQ(Device.Get(), first);
    EXPECT_EQ(scope.factory->Find("CreateDevice").size(), 1u);
}

TEST(DeviceRelease, DoneDevicesEndsTheSceneAndForgetsBoth) {
    ErrorTrap trap;
    NullDeviceScope scope;
    int minimised = 0;
    GetDisplayReleaseHooks().minimiseWindow = [&] { ++minimised; };
    scope.Init();
    auto device = Ref<IDirect3DDevice9>::Share(Device.Get());
    auto* null = scope.device();
    null->ClearCalls();
    RE_DoneDevices();
    EXPECT_FALSE(Device);
    EXPECT_FALSE(Direct3D);
    EXPECT_EQ(null->CountCalls("EndScene"), 1u);
    EXPECT_EQ(minimised, 1);
    EXPECT_FALSE(GetErrorHooks().releaseDisplay);
    RE_DoneDevices(); // nothing left to release
    EXPECT_EQ(minimised, 1);
}

TEST(DeviceRelease, FatalReportReleasesTheDisplay) {
    ErrorTrap trap;
    NullDeviceScope scope;
    int minimised = 0;
    GetDisplayReleaseHooks().minimiseWindow = [&] { ++minimised; };
    scope.Init();
    EXPECT_TRUE(GetErrorHooks().releaseDisplay);
    EXPECT_THROW(ErrorReport("something broke", "mhl"), Halted);
    EXPECT_FALSE(Device);
    EXPECT_EQ(minimised, 1);
}

// ---- state cache -------------------------------------------------------------------
class StateCache : public ::testing::Test {
protected:
    void SetUp() override {
        scope.Init();
        ASSERT_TRUE(Device);
        dev = scope.device();
        dev->ClearCalls();
    }
    ErrorTrap trap;
    NullDeviceScope scope;
    NullDevice* dev = nullptr;
};

TEST_F(StateCache, ResetSetsTheFixedStatesUncached) {
    ResetDeviceStateCache();
    ResetDeviceStateCache();
    EXPECT_EQ(dev->Find("SetRenderState"),
              (std::vector<std::string>{"SetRenderState(26, 1)", "SetRenderState(29, 0)",
                                        "SetRenderState(143, 1)", "SetRenderState(26, 1)",
                                        "SetRenderState(29, 0)", "SetRenderState(143, 1)"}));
    DeviceSetRenderState(D3DRS_LIGHTING, 0);
    DeviceSetRenderState(D3DRS_LIGHTING, 0);
    EXPECT_EQ(dev->CountCalls("SetRenderState"), 8u);
}

TEST_F(StateCache, RedundantStageAndSamplerStatesAreFiltered) {
    // Every cached kind on the first and the last stage.
    const D3DTEXTURESTAGESTATETYPE stageKinds[] = {D3DTSS_COLOROP,       D3DTSS_COLORARG1,
                                                   D3DTSS_COLORARG2,     D3DTSS_ALPHAOP,
                                                   D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS};
    const D3DSAMPLERSTATETYPE samplerKinds[] = {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER};
    for (uint32_t stage : {0u, 7u}) {
        for (auto k : stageKinds) {
            CachedSetTextureStageState(stage, k, 2);
            CachedSetTextureStageState(stage, k, 2);
        }
        for (auto k : samplerKinds) {
            CachedSetSamplerState(stage, k, 2);
            CachedSetSamplerState(stage, k, 2);
        }
    }
    EXPECT_EQ(dev->CountCalls("SetTextureStageState"), 12u);
    EXPECT_EQ(dev->CountCalls("SetSamplerState"), 6u);
    // A changed value goes through, the same again does not.
    CachedSetTextureStageState(0, D3DTSS_COLOROP, 4);
    CachedSetTextureStageState(0, D3DTSS_COLOROP, 4);
    EXPECT_EQ(dev->CountCalls("SetTextureStageState"), 13u);
    // After a reset the next set reaches the device even with the value last set.
    ResetDeviceStateCache();
    CachedSetTextureStageState(0, D3DTSS_COLOROP, 4);
    CachedSetSamplerState(7, D3DSAMP_MIPFILTER, 2);
    EXPECT_EQ(dev->CountCalls("SetTextureStageState"), 14u);
    EXPECT_EQ(dev->CountCalls("SetSamplerState"), 7u);
}

TEST_F(StateCache, UncachedKindsAndStagesAlwaysReachTheDevice) {
    for (int i = 0; i < 3; ++i) {
        CachedSetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        CachedSetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        // Stages past the eighth are not cached (and never index past the cache).
        CachedSetTextureStageState(9, D3DTSS_COLOROP, 2);
        CachedSetSamplerState(12, D3DSAMP_MAGFILTER, 2);
        CachedSetTexture(0x10009, nullptr);
    }
    EXPECT_EQ(dev->CountCalls("SetTextureStageState"), 6u);
    EXPECT_EQ(dev->CountCalls("SetSamplerState"), 6u);
    EXPECT_EQ(dev->Find("SetTexture"), std::vector<std::string>(3, "SetTexture(9, null)"));
}

TEST_F(StateCache, FvfStreamAndPixelShader) {
    Ref<IDirect3DVertexBuffer9> a, b;
    ASSERT_EQ(Device->CreateVertexBuffer(256, 0, 0x142, D3DPOOL_MANAGED, a.Put(), nullptr), D3D_OK);
    ASSERT_EQ(Device->CreateVertexBuffer(256, 0, 0x142, D3DPOOL_MANAGED, b.Put(), nullptr), D3D_OK);
    dev->ClearCalls();

    CachedSetFVF(0x142);
    CachedSetFVF(0x142);
    CachedSetFVF(0x242);
    EXPECT_EQ(dev->CountCalls("SetFVF"), 2u);

    CachedSetStreamSource(0, a.Get(), 24);
    CachedSetStreamSource(0, a.Get(), 24); // filtered
    CachedSetStreamSource(0, a.Get(), 32); // same buffer, other stride
    CachedSetStreamSource(0, b.Get(), 32); // other buffer
    EXPECT_EQ(dev->CountCalls("SetStreamSource"), 3u);
    // Stream 1 goes through every time and leaves the stream-0 cache alone.
    CachedSetStreamSource(1, a.Get(), 24);
    CachedSetStreamSource(1, a.Get(), 24);
    CachedSetStreamSource(0, b.Get(), 32);
    EXPECT_EQ(dev->CountCalls("SetStreamSource"), 5u);

    // The pixel shader starts out as none, so none is filtered at once.
    CachedSetPixelShader(nullptr);
    EXPECT_EQ(dev->CountCalls("SetPixelShader"), 0u);
}

TEST_F(StateCache, TextureCacheFollowsResourcesNotAddresses) {
    Ref<IDirect3DTexture9> a;
    ASSERT_EQ(Device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, a.Put(), nullptr), D3D_OK);
    dev->ClearCalls();
    CachedSetTexture(0, a.Get());
    CachedSetTexture(0, a.Get());
    EXPECT_EQ(dev->CountCalls("SetTexture"), 1u);

    // Another road unbinds it, and the texture is freed; a new one may well
    // take the same address.
    Device->SetTexture(0, nullptr);
    const void* oldAddress = a.Get();
    a = nullptr;
    Ref<IDirect3DTexture9> b;
    ASSERT_EQ(Device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, b.Put(), nullptr), D3D_OK);
    dev->ClearCalls();
    CachedSetTexture(0, b.Get());
    EXPECT_EQ(dev->Find("SetTexture"),
              (std::vector<std::string>{"SetTexture(0, #" + std::to_string(b->GetId()) + ")"}))
        << "address reused: " << (oldAddress == b.Get());
    EXPECT_EQ(dev->state().textures[0].Get(), b.Get());
}

TEST_F(StateCache, ClearCachedTexturesForgetsWithoutCallingTheDevice) {
    Ref<IDirect3DTexture9> a;
    ASSERT_EQ(Device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, a.Put(), nullptr), D3D_OK);
    dev->ClearCalls();
    CachedSetTexture(3, a.Get());
    ClearCachedTextures();
    EXPECT_EQ(dev->CountCalls("SetTexture"), 1u);
    CachedSetTexture(3, a.Get());
    CachedSetTexture(3, nullptr);
    CachedSetTexture(3, nullptr);
    EXPECT_EQ(dev->CountCalls("SetTexture"), 3u);
}
