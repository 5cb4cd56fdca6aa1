#include <gtest/gtest.h>

#include "platform/gfx/null_device.h"

using namespace vesk::platform;

TEST(GfxNullDevice, CreatesWindowedDevice) {
    auto d3d = CreateNullDirect3D();
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    Ref<IDirect3DDevice9> dev;
    ASSERT_EQ(
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev.Put()),
        D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, 800u);
}
