#pragma once
// A game folder with the generated pictures and a headless GL back buffer at
// half the virtual screen's size, on which the interface service draws a frame
// that is read back; pixels are asked for at virtual-screen points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/services.h"
#include "platform/files.h"
#include "platform/gfx/gl_device.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/texture.h"

namespace vesk::test {

using namespace platform;

struct Rgb {
    int r, g, b;
};

class InterfaceScreen {
public:
    static constexpr uint32_t kW = 512, kH = 384;

    // Writes the generated content into the folder, makes it current and opens
    // the device; false (with a test failure) when either fails.
    bool Open(const std::string& folder) {
        oldFolder_ = platform::CurrentFolder();
        const std::string gen =
            "'" + std::string(VESK_BUILD_DIR) + "/contentgen' '" + folder + "' >/dev/null";
        EXPECT_EQ(std::system(gen.c_str()), 0);
        platform::SetCurrentFolder(folder);
        DataPath.clear();
        const D3DPRESENT_PARAMETERS pp = gltest::MakeHeadlessDevice(kW, kH, d3d_, dev_);
        EXPECT_TRUE(dev_);
        if (!dev_) return false;
        Device = dev_;
        PresentParameters = pp;
        ResetDeviceStateCache();
        RE_CreateTextureManager();
        return true;
    }
    void Close() {
        RE_FreeTextureManager();
        ClearCachedTextures();
        Device = nullptr;
        PresentParameters = {};
        if (!oldFolder_.empty()) platform::SetCurrentFolder(oldFolder_);
    }

    // One interface frame on a black target, read back; written as a picture
    // when the environment variable names a file.
    void Draw(IDesktop& desktop, const char* dumpVariable) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        dev_->BeginScene();
        desktop.Update();
        desktop.Render();
        dev_->EndScene();
        Ref<IDirect3DSurface9> rt, sys;
        dev_->GetRenderTarget(0, rt.Put());
        EXPECT_EQ(
            dev_->CreateOffscreenPlainSurface(kW, kH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr),
            D3D_OK);
        EXPECT_EQ(dev_->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        frame_.assign(size_t(kW) * kH * 4, 0);
        for (uint32_t y = 0; y < kH; ++y)
            std::memcpy(frame_.data() + size_t(y) * kW * 4,
                        static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch, kW * 4);
        sys->UnlockRect();
        if (const char* dump = std::getenv(dumpVariable)) {
            std::string ppm = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
            for (size_t i = 0; i < frame_.size(); i += 4) {
                ppm += static_cast<char>(frame_[i + 2]);
                ppm += static_cast<char>(frame_[i + 1]);
                ppm += static_cast<char>(frame_[i]);
            }
            platform::WriteFile(dump, ppm);
        }
    }
    // A pixel at a virtual-screen point.
    Rgb At(int vx, int vy) const {
        const uint8_t* p = frame_.data() + (size_t(vy / 2) * kW + size_t(vx / 2)) * 4;
        return {p[2], p[1], p[0]};
    }
    // Pixels of a virtual-screen rectangle (kept to the screen) that pass a test.
    template <class Pred> int Count(int left, int top, int right, int bottom, Pred pred) const {
        int n = 0;
        for (int y = std::max(0, top / 2); y < std::min<int>(kH, bottom / 2); ++y)
            for (int x = std::max(0, left / 2); x < std::min<int>(kW, right / 2); ++x) {
                const uint8_t* p = frame_.data() + (size_t(y) * kW + size_t(x)) * 4;
                n += pred(Rgb{p[2], p[1], p[0]}) ? 1 : 0;
            }
        return n;
    }
    IDirect3DDevice9* Dev() const { return dev_.Get(); }

private:
    Ref<IDirect3D9> d3d_;
    Ref<IDirect3DDevice9> dev_;
    std::vector<uint8_t> frame_;
    std::string oldFolder_;
};

} // namespace vesk::test
