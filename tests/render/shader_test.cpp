#include <gtest/gtest.h>

#include "render/device.h"
#include "render/shader.h"
#include "texture_fixture.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

using Records = std::vector<RenderStateRecord>;

class RenderStates : public TextureFixture {
protected:
    void SetUp() override {
        TextureFixture::SetUp();
        set = RenderStateManagerClass::Create(nullptr);
    }
    void TearDown() override {
        if (set) set->ReleaseRef();
        TextureFixture::TearDown();
    }
    Records Apply() const { return set->ApplyList() ? *set->ApplyList() : Records{}; }
    Records Restore() const { return set->RestoreList() ? *set->RestoreList() : Records{}; }
    RenderStateManagerClass* set = nullptr;
};

class Shaders : public TextureFixture {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        Put(name, text);
        return DataPath + name;
    }
};

const char* kTint = "#pixelshader\nvoid main() { oC0 = v0; }\n";

} // namespace

TEST_F(RenderStates, RecordsReplaceByStateAndName) {
    EXPECT_EQ(set->ApplyList(), nullptr); // made on first use
    set->AddState(D3DRS_ALPHABLENDENABLE, 1, "N");
    set->AddState(D3DRS_ALPHABLENDENABLE, 0, "N");
    EXPECT_EQ(Apply(), (Records{{D3DRS_ALPHABLENDENABLE, 0, "N"}}));
    set->AddState(D3DRS_ALPHABLENDENABLE, 1, "M");
    set->AddState(D3DRS_ZENABLE, 1, "");
    set->AddRestoreState(D3DRS_ALPHABLENDENABLE, 0, "N");
    EXPECT_EQ(Apply().size(), 3u);

    set->ClearStates("N");
    EXPECT_EQ(Apply(), (Records{{D3DRS_ALPHABLENDENABLE, 1, "M"}, {D3DRS_ZENABLE, 1, ""}}));
    EXPECT_EQ(Restore().size(), 1u); // the restore list is apart
    set->AddState(D3DRS_ALPHABLENDENABLE, 1, "N");
    set->RemoveState(D3DRS_ALPHABLENDENABLE);
    EXPECT_EQ(Apply(), (Records{{D3DRS_ZENABLE, 1, ""}}));
    set->RemoveRestoreState(D3DRS_ALPHABLENDENABLE);
    EXPECT_TRUE(Restore().empty());

    set->AddState(D3DRS_LIGHTING, 0, "keep");
    set->AddRestoreState(D3DRS_ZENABLE, 0, "");
    set->ClearAll();
    EXPECT_EQ(Apply(), (Records{{D3DRS_LIGHTING, 0, "keep"}}));
    EXPECT_TRUE(Restore().empty());
}

TEST_F(RenderStates, FlagWordsAddUnnamedRecordsInTableOrder) {
    set->SetFromFlags(0x1 | 0x2 | 0x4 | 0x100, 0x8 | 0x200);
    EXPECT_EQ(Apply(), (Records{{D3DRS_ZENABLE, 0, ""},
                                {D3DRS_LIGHTING, 0xFFFFFFFFu, ""},
                                {D3DRS_ALPHABLENDENABLE, 0xFFFFFFFFu, ""}}));
    EXPECT_EQ(Restore(), (Records{{D3DRS_LIGHTING, 0, ""}, {D3DRS_ALPHABLENDENABLE, 0, ""}}));

    set->ClearAll();
    // The cull bits: a later bit of the same state wins; apply records come before restore records.
    set->SetFromFlags(0x40000 | 0x100000, 0x80000 | 0x10000);
    EXPECT_EQ(Apply(), (Records{{D3DRS_CULLMODE, D3DCULL_CCW, ""}}));
    EXPECT_EQ(Restore(), (Records{{D3DRS_CLIPPING, 0xFFFFFFFFu, ""}, {D3DRS_CULLMODE, D3DCULL_CW, ""}}));
    set->ClearAll();
    set->SetFromFlags(0x3FFFF, 0);
    EXPECT_EQ(Apply().size(), 9u); // nine states, each pair's second bit wins
    for (const RenderStateRecord& r : Apply())
        EXPECT_TRUE(r.value == 0 || r.state == D3DRS_ZENABLE) << r.state;
}

TEST_F(RenderStates, ApplyAndRestoreSetEveryRecordUncached) {
    NullDevice* dev = scope.device();
    set->AddState(D3DRS_FOGENABLE, 1, "a");
    set->AddState(D3DRS_FOGCOLOR, 0xFF112233u, "b");
    set->AddRestoreState(D3DRS_FOGENABLE, 0, "a");
    dev->ClearCalls();
    set->ApplyStates();
    set->ApplyStates();
    EXPECT_EQ(dev->Find("SetRenderState"),
              (std::vector<std::string>{"SetRenderState(28, 1)", "SetRenderState(34, 4279312947)",
                                        "SetRenderState(28, 1)", "SetRenderState(34, 4279312947)"}));
    set->RestoreStates();
    EXPECT_EQ(dev->state().rs[D3DRS_FOGENABLE], 0u);
    EXPECT_EQ(dev->state().rs[D3DRS_FOGCOLOR], 0xFF112233u);
}

TEST_F(RenderStates, TheOwnersEndReleasesTheSetOnce) {
    auto* owner = TEngineObject::New<TEngineObject>();
    RenderStateManagerClass* owned = RenderStateManagerClass::Create(owner);
    owned->AddRef(); // someone else still holds it
    const size_t live = LiveEngineObjectCount();
    owner->Free();
    EXPECT_EQ(LiveEngineObjectCount(), live - 1);
    EXPECT_EQ(owned->Owner(), nullptr);
    EXPECT_EQ(owned->RefCount(), 1u);
    owned->ReleaseRef();
    EXPECT_EQ(LiveEngineObjectCount(), live - 2);
}

TEST_F(Shaders, LoadedOncePerExactFileName) {
    ShadersManagerClass manager(ShaderKind::Pixel, Device.Get());
    const std::string file = Write("shaders/tint.txt", kTint);
    ShaderClass* a = nullptr;
    ShaderClass* b = nullptr;
    ASSERT_EQ(manager.GetShader(file, a), 0);
    ASSERT_EQ(manager.GetShader(file, b), 0);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(a->Loaded());
    EXPECT_NE(a->GetD3DShader(), nullptr);
    EXPECT_EQ(a->FileName(), file);
    EXPECT_EQ(scope.device()->CountCalls("CreatePixelShader"), 1u);

    // The file layer finds the file under another case; the list does not.
    std::string upper = file;
    upper.replace(upper.size() - 8, 8, "TINT.TXT");
    ShaderClass* c = nullptr;
    ASSERT_EQ(manager.GetShader(upper, c), 0);
    EXPECT_NE(c, a);
    EXPECT_EQ(manager.Shaders().size(), 2u);

    // Copies of manager shaders are the shaders themselves; releasing them keeps them.
    EXPECT_EQ(a->Copy(), a);
    ShaderClass* ref = a;
    ReleaseShader(ref);
    EXPECT_EQ(ref, nullptr);
    EXPECT_EQ(manager.Shaders().size(), 2u);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Shaders, FailuresAreLoggedNotReported) {
    ShadersManagerClass manager(ShaderKind::Pixel, Device.Get());
    ShaderClass* s = nullptr;
    const std::string missing = DataPath + "shaders/none.txt";
    EXPECT_EQ(manager.GetShader(missing, s), -1);
    EXPECT_EQ(s, nullptr);
    const std::string bad = Write("shaders/bad.txt", "void main() {}\n"); // no kind line
    EXPECT_EQ(manager.GetShader(bad, s), -1);
    EXPECT_TRUE(manager.Shaders().empty());

    // Code the device refuses: loaded, listed, but without a device shader.
    scope.device()->SetFailShaderBuild(true);
    const std::string refused = Write("shaders/refused.txt", kTint);
    ASSERT_EQ(manager.GetShader(refused, s), 0);
    EXPECT_EQ(s->GetD3DShader(), nullptr);
    EXPECT_EQ(manager.Shaders().size(), 1u);

    const std::string log = Log(kErrLogFileName);
    EXPECT_NE(log.find("ShaderClass.LoadFromFile: D3DXAssembleShaderFromFile: " + missing),
              std::string::npos);
    EXPECT_NE(log.find("ShaderClass.LoadFromFile: D3DXAssembleShaderFromFile: " + bad), std::string::npos);
    EXPECT_NE(log.find("ShaderClass.LoadFromFile: " + refused + "\n"), std::string::npos);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Shaders, ShadersOutsideTheManagerAreCopiedAndFreed) {
    auto* own = TEngineObject::New<PixelShaderClass>(Device.Get());
    ASSERT_EQ(own->LoadFromFile(Write("shaders/tint.txt", kTint)), 0);
    ShaderClass* copy = own->Copy();
    ASSERT_NE(copy, own);
    EXPECT_EQ(copy->GetD3DShader(), own->GetD3DShader());
    EXPECT_EQ(copy->Code(), own->Code());
    const size_t live = LiveEngineObjectCount();
    ReleaseShader(copy);
    EXPECT_EQ(LiveEngineObjectCount(), live - 1);
    ShaderClass* s = own;
    ReleaseShader(s);
    EXPECT_EQ(LiveEngineObjectCount(), live - 2);
}
