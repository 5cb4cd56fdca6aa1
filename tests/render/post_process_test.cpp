#include "render/post_process.h"

#include <gtest/gtest.h>

#include <map>

#include "core/config_record.h"
#include "render/shader.h"
#include "render/world_links.h"
#include "texture_fixture.h"

namespace vesk::test {
namespace {

using platform::D3DSURFACE_DESC;

std::string ContentEffect() {
    std::string text;
    platform::ReadFile(std::string(VESK_TEST_DATA_DIR) + "/../../content/data/shaders/post_process.fx", text);
    return text;
}

class PostProcessTest : public TextureFixture {
protected:
    void SetUp() override {
        TextureFixture::SetUp();
        old_ = platform::CurrentFolder();
        ASSERT_TRUE(platform::SetCurrentFolder(dir.path()));
        platform::CreateFolders("data/shaders");
        SetupRecord.postProcess = 1;
        PostProcessFailed = false;
    }
    void TearDown() override {
        RE_FreePostProcess();
        GetRenderWorldLinks() = RenderWorldLinks{};
        SetupRecord.postProcess = 0;
        PostProcessFailed = false;
        platform::SetCurrentFolder(old_);
        TextureFixture::TearDown();
    }
    // Loads the effect (the demo content's unless given) for a frame of the viewport's size.
    void Start(const std::string& effect = ContentEffect()) {
        ASSERT_FALSE(effect.empty());
        ASSERT_TRUE(platform::WriteFile("data/shaders/post_process.fx", effect));
        RE_InitPostProcess();
    }
    // The device calls since mark that bind targets, textures and techniques,
    // with objects named: T0..T7 targets, BB the back buffer, techniques by name.
    std::vector<std::string> Trace(size_t mark) {
        std::map<std::string, std::string> names;
        auto id = [](const platform::IGfxObject* o) { return "#" + std::to_string(o->GetId()); };
        for (int i = 0; i < PostProcessManager::kTargets; ++i) {
            names[id(PostProcess->GetSurface(i))] = "T" + std::to_string(i);
            names[id(PostProcess->GetTexture(i))] = "T" + std::to_string(i);
        }
        platform::Ref<platform::IDirect3DSurface9> bb;
        Device->GetBackBuffer(0, 0, platform::D3DBACKBUFFER_TYPE_MONO, bb.Put());
        names[id(bb.Get())] = "BB";
        for (const char* t : {"fotofilter", "sharp", "hblur", "vblur", "merge_2", "brightpass", "hbloom",
                              "vbloom", "bloom_add", "radian_blur", "copy"})
            names[id(PostProcess->Effect()->TechniqueShader(t))] = t;
        std::vector<std::string> out;
        const auto& calls = scope.device()->Calls();
        for (size_t i = mark; i < calls.size(); ++i) {
            const auto& c = calls[i];
            if (c.name == "SetRenderTarget") {
                out.push_back("rt " + names[c.args.substr(3)]);
            } else if (c.name == "SetTexture" && c.args.rfind("2,", 0) != 0) {
                const std::string obj = c.args.substr(3);
                out.push_back("tex" + c.args.substr(0, 1) + " " + (obj == "null" ? "null" : names[obj]));
            } else if (c.name == "SetPixelShader" && c.args != "null") {
                out.push_back(names[c.args]);
            }
        }
        return out;
    }
    size_t Mark() const { return scope.device()->Calls().size(); }

    std::string old_;
};

TEST_F(PostProcessTest, TargetsOfThreeSizesAndNoiseFallback) {
    ASSERT_TRUE(platform::WriteFile("data/shaders/post_process.fx", ContentEffect()));
    PostProcess = std::make_unique<PostProcessManager>();
    PostProcess->Create();
    PostProcess->Enable();
    PostProcess->Init(1023, 767, "data/shaders/post_process.fx");
    ASSERT_TRUE(PostProcess->IsEnabled());
    const uint32_t sizes[8][2] = {{1023, 767}, {1023, 767}, {1023, 767}, {1023, 767},
                                  {256, 192},  {256, 192},  {128, 96},   {128, 96}};
    for (int i = 0; i < 8; ++i) {
        D3DSURFACE_DESC d{};
        ASSERT_EQ(PostProcess->GetSurface(i)->GetDesc(&d), platform::D3D_OK);
        EXPECT_EQ(d.Width, sizes[i][0]) << i;
        EXPECT_EQ(d.Height, sizes[i][1]) << i;
        EXPECT_EQ(d.Format, platform::D3DFMT_A8R8G8B8);
    }
    EXPECT_EQ(PostProcess->GetSurface(8), nullptr);
    EXPECT_EQ(PostProcess->GetSurface(-1), nullptr);
    // No noise picture in this data folder: logged, not fatal.
    EXPECT_TRUE(trap.lastFatal.empty());
    EXPECT_NE(Log(kErrLogFileName).find("noise.dds"), std::string::npos);
    // A second Create while enabled is fatal.
    EXPECT_THROW(PostProcess->Create(), Halted);
    EXPECT_EQ(trap.lastFatal, "PostProcessManager::Create have already called!");
}

TEST_F(PostProcessTest, AMissingNoisePictureIsReportedAndMadeGrainStandsIn) {
    Start();
    ASSERT_TRUE(PostProcess->IsEnabled());
    // Reported for the error-log report, and the game goes on.
    EXPECT_TRUE(trap.lastFatal.empty());
    bool reported = false;
    for (const auto& r : trap.reports)
        reported |= r.text.rfind("D3DXCreateTextureFromFile(noise.dds)", 0) == 0 && r.flags == "m";
    EXPECT_TRUE(reported);
    // The effects read grain all the same: grey, not one flat value.
    platform::IDirect3DTexture9* noise = PostProcess->NoiseTexture();
    ASSERT_NE(noise, nullptr);
    platform::D3DLOCKED_RECT r{};
    ASSERT_EQ(noise->LockRect(0, &r, nullptr, 0), platform::D3D_OK);
    const auto* px = static_cast<const uint32_t*>(r.pBits);
    bool varies = false;
    for (int i = 0; i < 64; ++i) {
        const uint32_t c = px[i];
        EXPECT_EQ(c >> 16 & 0xFF, c & 0xFF);
        EXPECT_EQ(c >> 8 & 0xFF, c & 0xFF);
        varies |= c != px[0];
    }
    noise->UnlockRect(0);
    EXPECT_TRUE(varies);
}

TEST_F(PostProcessTest, PickAndFinalTargets) {
    Start();
    PostProcessManager& pp = *PostProcess;
    pp.CopyBackBuffer();
    EXPECT_EQ(pp.Current(), 0);
    Device->SetFVF(platform::D3DFVF_XYZRHW | platform::D3DFVF_TEX1);
    // Three techniques at scale 1 alternate 1, 2, 1; quarter and eighth pairs alike.
    std::vector<int> seen;
    for (int scale : {1, 1, 1, 2, 2, 4, 4, 3}) {
        pp.RunTechnique("copy", pp.PickTarget(scale));
        seen.push_back(pp.Current());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 1, 4, 5, 6, 7, 0}));
    EXPECT_EQ(pp.FinalTarget(true), -1);
    EXPECT_EQ(pp.Current(), 0);
    // Target 0 bound as a source in this chain: the result never lands in 0.
    pp.BindTarget(0, 0);
    EXPECT_EQ(pp.FinalTarget(false), 1);
    pp.RunTechnique("copy", 2);
    EXPECT_EQ(pp.FinalTarget(false), 0);
    EXPECT_EQ(pp.FinalTarget(false), 1);
}

TEST_F(PostProcessTest, SingleEffectsPassSequenceAndParameters) {
    Start(); // the back buffer is 800 x 600
    ASSERT_TRUE(RE_PostProcessCopyBackBuffer());
    const size_t mark = Mark();
    RE_PostProcessSingleEffects();
    const std::vector<std::string> expected = {
        // photo filter 0 -> 1
        "tex0 T0", "rt T1", "fotofilter",
        // sharpen 1 -> 0
        "tex0 T1", "rt T0", "sharp",
        // blur at a quarter: 0 -> 4 -> 5, merged with the start into 1
        "tex0 T0", "rt T4", "hblur", "tex0 T4", "rt T5", "vblur", "tex0 T0", "tex1 T5", "rt T1", "merge_2",
        // bloom at an eighth: 1 -> 6 -> 7 -> 6, added to the start into the back buffer
        "tex0 T1", "rt T6", "brightpass", "tex0 T6", "rt T7", "hbloom", "tex0 T7", "rt T6", "vbloom",
        "tex0 T1", "tex1 T6", "rt BB", "bloom_add",
        // the state bracket unbinds both stages
        "tex0 null", "tex1 null"};
    EXPECT_EQ(Trace(mark), expected);
    PostEffect* fx = PostProcess->Effect();
    // The last pass drew into the back buffer: its size less half a pixel.
    EXPECT_FLOAT_EQ(PostProcess->TargetWidth(), 799.5f);
    EXPECT_EQ(fx->GetFloats("vInvSourceSize"), (std::vector<float>{1.0f / 799.5f, 1.0f / 599.5f}));
    // The bloom kernel was set for an eighth target (100 wide).
    const auto kernel = fx->GetFloats("PixelKernel");
    ASSERT_EQ(kernel.size(), 26u);
    EXPECT_FLOAT_EQ(kernel[0], -6.0f / 100.0f);
    EXPECT_FLOAT_EQ(kernel[12], 0.0f);
    EXPECT_FLOAT_EQ(kernel[24], 6.0f / 100.0f);
    EXPECT_FLOAT_EQ(kernel[25], 0.0f);
    // Sharpen's neighbours at the full size.
    EXPECT_EQ(fx->GetFloats("Pixels"),
              (std::vector<float>{-1 / 800.0f, 0, 1 / 800.0f, 0, 0, -1 / 600.0f, 0, 1 / 600.0f}));
    const float t = fx->GetFloats("ftime")[0];
    EXPECT_GE(t, 0.0f);
    EXPECT_LT(t, 1.0f);
    // Each pass draws the screen quad of its target.
    EXPECT_EQ(scope.device()->CountCalls("DrawPrimitiveUP"), 9u);
    RE_PostProcessFreeBackBufferCopy();
    EXPECT_EQ(PostProcess->Current(), 0);

    // Off in the setup record: nothing is copied or drawn.
    SetupRecord.postProcess = 0;
    EXPECT_FALSE(RE_PostProcessCopyBackBuffer());
    RE_PostProcessSingleEffects();
    EXPECT_EQ(scope.device()->CountCalls("DrawPrimitiveUP"), 9u);
}

TEST_F(PostProcessTest, RadialBlurRestoresState) {
    Start();
    Device->SetRenderState(platform::D3DRS_CULLMODE, platform::D3DCULL_CW);
    Device->SetRenderState(platform::D3DRS_ZENABLE, 1);
    Device->SetSamplerState(0, platform::D3DSAMP_ADDRESSU, 1);
    // The scene's models wrap in v as well: left clamped they would show one row of their textures.
    Device->SetSamplerState(0, platform::D3DSAMP_ADDRESSV, platform::D3DTADDRESS_WRAP);
    Device->SetSamplerState(1, platform::D3DSAMP_ADDRESSV, platform::D3DTADDRESS_MIRROR);
    Device->SetFVF(0x112);
    PostProcess->CopyBackBuffer();
    const size_t mark = Mark();
    PostProcess->RenderRadialBlur();
    EXPECT_EQ(Trace(mark), (std::vector<std::string>{"tex0 T0", "rt T1", "radian_blur", "tex0 T1", "rt BB",
                                                     "copy", "tex0 null", "tex1 null"}));
    uint32_t v = 0;
    Device->GetRenderState(platform::D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, uint32_t(platform::D3DCULL_CW));
    Device->GetRenderState(platform::D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, 1u);
    Device->GetSamplerState(0, platform::D3DSAMP_ADDRESSU, &v);
    EXPECT_EQ(v, 1u);
    Device->GetSamplerState(0, platform::D3DSAMP_ADDRESSV, &v);
    EXPECT_EQ(v, uint32_t(platform::D3DTADDRESS_WRAP));
    Device->GetSamplerState(1, platform::D3DSAMP_ADDRESSV, &v);
    EXPECT_EQ(v, uint32_t(platform::D3DTADDRESS_MIRROR));
    Device->GetFVF(&v);
    EXPECT_EQ(v, 0x112u);
}

// In flight (desktop mode 1) the engine's frame runs the radial blur over the
// scene; in other modes it runs no effect of its own.
TEST_F(PostProcessTest, FrameInFlightRunsTheRadialBlur) {
    Start();
    int mode = 1;
    GetRenderWorldLinks().desktopMode = [&] { return mode; };
    TEngineClass* engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
    size_t mark = Mark();
    engine->RenderFrame();
    std::vector<std::string> passes;
    for (const std::string& t : Trace(mark))
        if (t.find(' ') == std::string::npos) passes.push_back(t);
    EXPECT_EQ(passes, (std::vector<std::string>{"radian_blur", "copy"}));
    mode = 2;
    mark = Mark();
    engine->RenderFrame();
    EXPECT_EQ(Trace(mark), std::vector<std::string>{});
    engine->DiscardBRU();
    engine->Free();
}

TEST_F(PostProcessTest, BrokenOrMissingEffectFile) {
    // A technique that does not build: a message box, post-processing off for the run.
    Start("#parameter ftime float c1\n#technique copy\nnothing here\n");
    ASSERT_EQ(trap.boxes.size(), 1u);
    EXPECT_EQ(trap.boxes[0].text, "PostProcess disabled");
    EXPECT_EQ(trap.boxes[0].flags, "Error");
    EXPECT_TRUE(PostProcessFailed);
    EXPECT_FALSE(PostProcess->IsActive());
    RE_EnablePostProcess(true);
    EXPECT_FALSE(PostProcess->IsActive());
    // A missing file is fatal.
    platform::DeleteFile("data/shaders/post_process.fx");
    PostProcess.reset();
    EXPECT_THROW(RE_InitPostProcess(), Halted);
    EXPECT_EQ(trap.lastFatal, "data/shaders/post_process.fx is missing.");
    // Off in the setup the file is still loaded (and needed); the effects do not run.
    PostProcess.reset();
    SetupRecord.postProcess = 0;
    EXPECT_THROW(RE_InitPostProcess(), Halted);
    EXPECT_EQ(trap.lastFatal, "data/shaders/post_process.fx is missing.");
    PostProcess.reset();
    Start();
    ASSERT_TRUE(PostProcess);
    EXPECT_TRUE(PostProcess->IsEnabled());
    EXPECT_NE(PostProcess->Effect(), nullptr);
    EXPECT_FALSE(PostProcess->IsActive());
    SetupRecord.postProcess = 1;
    EXPECT_TRUE(PostProcess->IsActive());
}

TEST_F(PostProcessTest, EffectFileErrors) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"void f() {}\n", "no technique"},
        {"#parameter x float c40\n#technique a\nvoid main() {}\n", "bad register of x"},
        {"#parameter x float4 c30 3\n#technique a\nvoid main() {}\n", "bad register of x"},
        {"#parameter t texture s9\n#technique a\nvoid main() {}\n", "bad sampler of t"},
        {"#parameter x half c1\n#technique a\nvoid main() {}\n", "unknown type half"},
        {"#parameter x float c1\n#parameter x float c2\n#technique a\nvoid main() {}\n",
         "repeated parameter"},
        {"#technique a\nvoid main() {}\n#technique a\nvoid main() {}\n", "repeated technique"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<PostEffect> fx;
        std::string errors;
        EXPECT_TRUE(platform::Failed(PostEffect::Create(Device.Get(), c.text, fx, &errors))) << c.text;
        EXPECT_NE(errors.find(c.error), std::string::npos) << c.text << " -> " << errors;
        EXPECT_EQ(fx, nullptr);
    }
}

TEST_F(PostProcessTest, EffectParamFromText) {
    std::unique_ptr<PostEffect> fx;
    ASSERT_EQ(PostEffect::Create(Device.Get(),
                                 "#parameter v float4 c0\n#parameter k float2 c1 2\n#parameter n texture s2\n"
                                 "#technique a\nvoid main() { oC0 = v + k(1) + texture(n, t0.xy); }\n",
                                 fx, nullptr),
              platform::D3D_OK);
    const struct {
        const char* name;
        const char* text;
        bool ok;
        std::vector<float> value;
    } cases[] = {
        {"v", "(1 2 3)", true, {1, 2, 3, 0}},         {"v", "  0.5", true, {0.5f, 2, 3, 0}},
        {"v", "( -1  2.5 )", true, {-1, 2.5f, 3, 0}}, {"k", "(1 2 3 4 5 6)", true, {1, 2, 3, 4}},
        {"v", "abc", false, {-1, 2.5f, 3, 0}},        {"v", "(1 x)", false, {-1, 2.5f, 3, 0}},
        {"v", "(1 2", false, {-1, 2.5f, 3, 0}},       {"v", "", false, {-1, 2.5f, 3, 0}},
        {"v", "1 2", false, {-1, 2.5f, 3, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SetupEffectParam(fx.get(), c.name, c.text), c.ok) << c.text;
        EXPECT_EQ(fx->GetFloats(c.name), c.value) << c.text;
    }
    EXPECT_FALSE(SetupEffectParam(fx.get(), "ghost", "1"));
    EXPECT_FALSE(SetupEffectParam(fx.get(), "n", "1"));
    const std::string log = Log(kErrLogFileName);
    EXPECT_NE(log.find("String converting failed !"), std::string::npos);
    EXPECT_NE(log.find("_SetupEffectParam: parametr with name(ghost) not found"), std::string::npos);
    EXPECT_NE(log.find("This type of param not supported!"), std::string::npos);

    // Committed values reach the pixel-shader registers, one element per register.
    fx->SetTechnique("a");
    const size_t mark = Mark();
    ASSERT_EQ(fx->Begin(nullptr, 7), platform::D3D_OK);
    ASSERT_EQ(fx->BeginPass(0), platform::D3D_OK);
    EXPECT_EQ(fx->BeginPass(0), platform::D3DERR_INVALIDCALL);
    fx->EndPass();
    fx->End();
    std::vector<std::string> consts;
    const auto& calls = scope.device()->Calls();
    for (size_t i = mark; i < calls.size(); ++i)
        if (calls[i].name == "SetPixelShaderConstantF") consts.push_back(calls[i].args);
    ASSERT_EQ(consts.size(), 2u);
    EXPECT_EQ(consts[0].substr(0, 2), "0,");
    EXPECT_EQ(consts[1].substr(0, 2), "1,");
}

TEST_F(PostProcessTest, ControllerModes) {
    ASSERT_TRUE(platform::WriteFile("data/shaders/pspost.txt",
                                    "#pixelshader\nvoid main() { oC0 = texture(s0, t0.xy); }\n"));
    ASSERT_TRUE(platform::WriteFile("data/shaders/pspost_grayscale.txt",
                                    "#pixelshader\nvoid main() { oC0 = texture(s0, t0.xy).ggga; }\n"));
    RE_CreatePixelShadersManager();
    auto* engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
    {
        auto controller = std::make_shared<PostEffectControllerClass>();
        controller->Create(engine);
        ASSERT_NE(controller->GetShaderSet(), nullptr);
        EXPECT_EQ(controller->GetShaderSet()->FileName(), "data/shaders/pspost.txt");
        platform::IDirect3DPixelShader9* simple = controller->PixelShader();
        EXPECT_NE(simple, nullptr);
        EXPECT_FALSE(engine->RenderToTexture());
        const struct {
            const char* mode;
            const char* list;
            bool on;
        } cases[] = {{"grayscale", "data/shaders/pspost_grayscale.txt", true},
                     {"none", "data/shaders/pspost_grayscale.txt", false},
                     {"simple", "data/shaders/pspost.txt", true},
                     {"sepia", "data/shaders/pspost.txt", true}};
        for (const auto& c : cases) {
            controller->SetMode(c.mode);
            EXPECT_EQ(controller->ListFile(), c.list) << c.mode;
            EXPECT_EQ(engine->RenderToTexture(), c.on) << c.mode;
        }
        EXPECT_EQ(controller->PixelShader(), simple);
    }
    engine->Free();
    TEODestroyManager->Flush();
    RE_FreePixelShadersManager();
}

} // namespace
} // namespace vesk::test
