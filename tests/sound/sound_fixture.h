#pragma once
// Sound tests run on the recording null device with a manual clock: WAV bytes
// are written by the test, Ogg files come from tests/data/sound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio/null_sound.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/engine_object.h"
#include "sound/sound_core.h"
#include "support/error_trap.h"

namespace vesk::test {

struct WavFormat {
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    uint32_t frames = 1000;
    // A chunk placed between "fmt " and "data" (id + bytes), none when the id is empty.
    std::string extraId;
    std::string extraBytes;
    // The size written into the data chunk; 0 writes the real size.
    uint32_t claimedDataSize = 0;
};

inline void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void PutU16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

// A RIFF WAVE file whose samples count up (sample i of channel c is i + c), so
// tests can tell which bytes arrived where.
inline std::string MakeWav(const WavFormat& w) {
    std::string data;
    for (uint32_t i = 0; i < w.frames; ++i)
        for (uint16_t c = 0; c < w.channels; ++c) {
            if (w.bits == 8)
                data.push_back(static_cast<char>((i + c) & 0xFF));
            else
                PutU16(data, static_cast<uint16_t>(i + c));
        }
    std::string body = "WAVE";
    body += "fmt ";
    PutU32(body, 16);
    PutU16(body, 1);
    PutU16(body, w.channels);
    PutU32(body, w.rate);
    const uint16_t align = static_cast<uint16_t>(w.channels * w.bits / 8);
    PutU32(body, w.rate * align);
    PutU16(body, align);
    PutU16(body, w.bits);
    if (!w.extraId.empty()) {
        body += w.extraId;
        PutU32(body, static_cast<uint32_t>(w.extraBytes.size()));
        body += w.extraBytes;
        if (w.extraBytes.size() & 1) body.push_back('\0');
    }
    body += "data";
    PutU32(body, w.claimedDataSize ? w.claimedDataSize : static_cast<uint32_t>(data.size()));
    body += data;
    std::string file = "RIFF";
    PutU32(file, static_cast<uint32_t>(body.size()));
    return file + body;
}

inline std::string SoundDataDir() {
    return std::string(VESK_TEST_DATA_DIR) + "/sound";
}

inline std::string CopyDataFile(const std::string& from, const std::string& to) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadFile(SoundDataDir() + "/" + from, bytes));
    EXPECT_TRUE(platform::WriteFile(to, bytes));
    return to;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        platform::UseNullSound(Config());
        SoundCore = std::make_unique<TSoundCore>();
        ASSERT_EQ(SoundCore->Init(nullptr), 0);
        device = platform::LastNullSoundDevice();
        ASSERT_TRUE(device);
    }
    void TearDown() override {
        TEODestroyManager->Flush();
        SoundCore.reset();
        platform::SetDirectSoundFactory({});
    }
    virtual platform::NullSoundConfig Config() { return {}; }

    std::string Wav(const std::string& name, const WavFormat& format = {}) {
        const std::string path = dir / name;
        EXPECT_TRUE(platform::WriteFile(path, MakeWav(format)));
        return path;
    }
    // Calls of the null device that start with the prefix.
    std::vector<std::string> CallsStarting(const std::string& prefix) {
        std::vector<std::string> out;
        for (auto& c : device->Calls())
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }

    ErrorTrap trap;
    TempDir dir;
    platform::ManualClock clock;
    platform::ScopedClock scopedClock{clock};
    std::shared_ptr<platform::NullSoundDevice> device;
};

} // namespace vesk::test
