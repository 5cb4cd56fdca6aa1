// The device-state cache meets a new device: what it remembers of the old one
// must not keep the first bindings from reaching the new one.
#include "render/render_fixture.h"

namespace vesk::test {
namespace {

class DeviceCacheTest : public RenderTest {};

TEST_F(DeviceCacheTest, ANewDeviceGetsItsFirstBindingsAfterTheReset) {
    CachedSetFVF(platform::D3DFVF_XYZ | platform::D3DFVF_DIFFUSE);
    EXPECT_EQ(Dev().state().fvf, uint32_t(platform::D3DFVF_XYZ | platform::D3DFVF_DIFFUSE));
    // A second device in the same process, as a run of several scenes has.
    auto d3d = platform::CreateNullDirect3D();
    platform::D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    platform::Ref<platform::IDirect3DDevice9> second;
    ASSERT_EQ(d3d->CreateDevice(0, platform::D3DDEVTYPE_HAL, nullptr,
                                platform::D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, second.Put()),
              platform::D3D_OK);
    platform::Ref<platform::IDirect3DDevice9> first = Device;
    Device = second;
    ResetDeviceStateCache();
    CachedSetFVF(platform::D3DFVF_XYZ | platform::D3DFVF_DIFFUSE);
    EXPECT_EQ(static_cast<platform::DeviceBase*>(second.Get())->state().fvf,
              uint32_t(platform::D3DFVF_XYZ | platform::D3DFVF_DIFFUSE));
    Device = first;
    ResetDeviceStateCache();
}

} // namespace
} // namespace vesk::test
