// Pixel checks of textures, materials and fog on the GL device (llvmpipe, headless).
#include <gtest/gtest.h>

#include "core/paths.h"
#include "platform/files.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/fog.h"
#include "render/material.h"
#include "render/texture.h"
#include "support/image_files.h"

using namespace vesk;
using namespace vesk::gltest;
using vesk::test::TempDir;

namespace {

class RenderGL : public GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || !dev_) return;
        Device = dev_;
        ResetDeviceStateCache();
        ClearCachedTextures();
        DataPath = dir.path() + "/data/";
        RE_CreateTextureManager();
    }
    void TearDown() override {
        RE_FreeTextureManager();
        DataPath.clear();
        Device = nullptr;
        GfxGL::TearDown();
    }
    void Put(const std::string& relative, const std::string& bytes) {
        const std::string path = DataPath + relative;
        CreateFolders(path.substr(0, path.rfind('/')));
        ASSERT_TRUE(WriteFile(path, bytes));
    }
    vesk::test::ErrorTrap trap;
    TempDir dir;
};

} // namespace

TEST_F(RenderGL, TexturedQuadFromADdsThroughAMaterial) {
    // One DXT1 block, its rows red, blue, 2/3 red + 1/3 blue and 1/3 red + 2/3 blue.
    Put("textures/ships/block.dds", vesk::test::DxtDds(4, 4, D3DFMT_DXT1, vesk::test::kDxt1Block));
    MaterialClass* m = MaterialClass::Create();
    m->SetTechnique(20); // the texture alone
    m->SetTexture(0, TextureManager->GetTexture("ships\\block", D3DFMT_UNKNOWN, false));
    m->GetTextureProp(0)->SetFilters(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE);
    ASSERT_EQ(m->GetTexture(0)->GetImageInfo().Format, D3DFMT_DXT1);
    m->SetTwoSided(true);
    m->Apply();
    FullQuad(D3DCOLOR_XRGB(0, 255, 0)); // the vertex colour must not show
    m->Restore();
    const auto f = Frame();
    const int rowY[4] = {H / 8, 3 * H / 8, 5 * H / 8, 7 * H / 8};
    const int expect[4][3] = {{255, 0, 0}, {0, 0, 255}, {170, 0, 85}, {85, 0, 170}};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_NEAR_COLOR(Pixel(f, W / 2, rowY[row]), expect[row][0], expect[row][1], expect[row][2], 2);
    }
    m->Free();
}

TEST_F(RenderGL, OpaquePictureStoredCompressedDrawsItsColour) {
    Put("textures/hull.bmp", vesk::test::FlatBmp(8, 8, D3DCOLOR_XRGB(200, 100, 50)));
    MaterialClass* m = MaterialClass::Create();
    m->SetTechnique(20);
    m->SetTexture(0, TextureManager->GetTexture("hull", D3DFMT_X8R8G8B8, true));
    ASSERT_EQ(m->GetTexture(0)->GetImageInfo().Format, D3DFMT_DXT1);
    m->SetTwoSided(true); // the quad's winding would be culled otherwise
    m->Apply();
    FullQuad(D3DCOLOR_XRGB(0, 0, 0));
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 200, 100, 50, 6);
    m->Free();
}

TEST_F(RenderGL, FoggedQuadThroughTheRenderStateSet) {
    auto* owner = TEngineObject::New<TEngineObject>();
    RenderStateManagerClass* set = RenderStateManagerClass::Create(owner);
    FogClass* fog = FogClass::Create(set, owner);
    fog->SetFogType(D3DFOG_LINEAR);
    fog->SetColor(D3DCOLOR_XRGB(0, 0, 255));
    fog->SetDistStart(0.0f);
    fog->SetDistEnd(10.0f);
    fog->FogOn();

    SetSimpleCamera();
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetFVF(kColorFvf);
    auto draw = [&](float z) {
        const D3DCOLOR white = D3DCOLOR_XRGB(255, 255, 255);
        ColorVertex q[4] = {{-z, z, z, white}, {z, z, z, white}, {-z, -z, z, white}, {z, -z, z, white}};
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        set->ApplyStates();
        ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex)), D3D_OK);
        set->RestoreStates();
    };
    // Linear fog from 0 to 10: three quarters of the way the quad is mostly fog colour.
    draw(7.5f);
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 64, 64, 255, 2);
    // The restore record switched fog off for whatever is drawn next.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    const D3DCOLOR white = D3DCOLOR_XRGB(255, 255, 255);
    ColorVertex q[4] = {{-5, 5, 5, white}, {5, 5, 5, white}, {-5, -5, 5, white}, {5, -5, 5, white}};
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex)), D3D_OK);
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 255, 255, 255, 1);
    // Switched off, the same quad is drawn unfogged.
    fog->FogOff();
    draw(7.5f);
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 255, 255, 255, 1);

    fog->ReleaseRef();
    owner->Free();
}
