// A model built into a render object and drawn on the GL device: the quad
// covers the pixels its vertices and indices name, and nothing else.
#include <gtest/gtest.h>

#include "core/lua_machine.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/ro_builders.h"
#include "support/error_trap.h"

namespace vesk::test {
namespace {

using namespace platform;
using gltest::H;
using gltest::W;

class RenderObjectGL : public gltest::GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Device = dev_;
        ResetDeviceStateCache();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        CreateLuaMachine();
        LuaMachine->RunString("function length(t) if t == nil then return 0 end local n = 0 for _ in "
                              "pairs(t) do n = n + 1 end return n end\n"
                              "materials = { checker = { id = '1', texture_technique = 10, diffuse_color = "
                              "'FFFFFF', specular_color = '0', ambient_color = '0', emissive_color = '0', "
                              "power = 0 } }");
    }
    void TearDown() override {
        if (ro) ro->Free();
        FreeLuaMachine();
        BuffersManager.reset();
        ClearCachedTextures();
        Device = nullptr;
    }
    ErrorTrap trap;
    TRenderObject* ro = nullptr;
};

TEST_F(RenderObjectGL, BuiltQuadCoversItsPixels) {
    // The left half of the screen in clip space (identity transforms), as two
    // triangles of one material without a name (it falls back to the checker material).
    ROModelNode node;
    node.objectName = "panel";
    node.vertices = {{-1, -1, 0.5f, 0, 0, -1, 0, 0},
                     {-1, 1, 0.5f, 0, 0, -1, 0, 0},
                     {0, 1, 0.5f, 0, 0, -1, 0, 0},
                     {0, -1, 0.5f, 0, 0, -1, 0, 0}};
    // Wound so the material's clockwise culling keeps them.
    node.materials.push_back({"", false, {0, 2, 1, 0, 3, 2}});
    // Depth test on, lighting off: the material's diffuse colour shows as it is.
    ROModelBuild build;
    build.applyState = 0x9;
    ro = BuildModelRenderObject(node, build);
    ASSERT_EQ(ro->MaterialCount(), 1u);
    const Matrix identity;
    dev_->SetTransform(D3DTS_WORLD, &identity);
    dev_->SetTransform(D3DTS_VIEW, &identity);
    dev_->SetTransform(D3DTS_PROJECTION, &identity);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(dev_->BeginScene(), D3D_OK);
    ro->Render();
    ASSERT_EQ(dev_->EndScene(), D3D_OK);
    const std::vector<uint8_t> frame = Frame();
    auto at = [&](uint32_t x, uint32_t y) { return frame[(size_t(y) * W + x) * 4 + 2]; };
    EXPECT_GT(at(W / 4, H / 2), 200);
    EXPECT_GT(at(2, 2), 200);
    EXPECT_EQ(at(W * 3 / 4, H / 2), 0);
    EXPECT_EQ(at(W - 2, H - 2), 0);
    EXPECT_TRUE(trap.reports.empty());
}

} // namespace
} // namespace vesk::test
