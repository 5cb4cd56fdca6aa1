#pragma once
// The texture, material and fog tests: a null device, a data folder of their
// own, the texture manager and the fast logs written into the test folder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/paths.h"
#include "null_device_scope.h"
#include "platform/files.h"
#include "platform/video.h"
#include "render/texture.h"
#include "shared/errors.h"
#include "support/error_trap.h"
#include "support/image_files.h"

namespace vesk::test {

// An 8 x 8 video of one frame per colour (A8R8G8B8), five frames a second.
inline bool WriteColourVideo(const std::string& path, const std::vector<uint32_t>& colours) {
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t c : colours) {
        std::vector<uint8_t> px(8 * 8 * 4);
        for (size_t i = 0; i < px.size(); i += 4) std::memcpy(&px[i], &c, 4);
        frames.push_back(px);
    }
    return platform::WriteVideoFile(path, "rawvideo", 8, 8, 5, frames);
}

class TextureFixture : public ::testing::Test {
protected:
    void SetUp() override {
        scope.Init();
        // Fatal reports are expected in these tests; the device stays for the next steps.
        GetErrorHooks().releaseDisplay = nullptr;
        DataPath = dir.path() + "/data/";
        SetLogFolder(dir / "logs");
        LogEnabled = true;
        RE_CreateTextureManager();
    }
    void TearDown() override {
        RE_FreeTextureManager();
        DataPath.clear();
        LogEnabled = false;
        SetLogFolder("logs/def");
    }
    // Writes a file under the data folder.
    void Put(const std::string& relative, const std::string& bytes) {
        const std::string path = DataPath + relative;
        platform::CreateFolders(path.substr(0, path.rfind('/')));
        ASSERT_TRUE(platform::WriteFile(path, bytes));
    }
    std::string Log(const char* file) {
        std::string text;
        platform::ReadFile(dir / ("logs/" + std::string(file)), text);
        return text;
    }
    size_t Created() const { return scope.device()->CountCalls("CreateTexture"); }

    ErrorTrap trap;
    TempDir dir;
    NullDeviceScope scope;
};

} // namespace vesk::test
