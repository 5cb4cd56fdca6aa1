// One 50 ms round of the sound engine with 5 streamed channels playing and 32
// 3D sounds in the space channel: the worker's streaming pass plus the frame's
// update (ranking, fades, listener commit). On the recording null device the
// figure is the engine's own cost; on an OpenAL loopback device it includes
// mixing 50 ms of output.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/audio/al_sound.h"
#include "platform/audio/null_sound.h"
#include "platform/files.h"
#include "shared/engine_object.h"
#include "sound/sound_engine.h"

namespace {

using namespace vesk;
using namespace vesk::platform;

void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A tone of the given length as a 16-bit WAV file.
void WriteTone(const std::string& path, uint16_t channels, double seconds, double hz) {
    const uint32_t rate = 44100, frames = static_cast<uint32_t>(rate * seconds);
    std::string data;
    data.reserve(frames * channels * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * hz / rate));
        for (uint16_t c = 0; c < channels; ++c) {
            data.push_back(static_cast<char>(v & 0xFF));
            data.push_back(static_cast<char>((v >> 8) & 0xFF));
        }
    }
    std::string f = "RIFF";
    PutU32(f, 36 + static_cast<uint32_t>(data.size()));
    f += "WAVEfmt ";
    PutU32(f, 16);
    f += std::string("\x01\x00", 2);
    f.push_back(static_cast<char>(channels));
    f.push_back('\0');
    PutU32(f, rate);
    PutU32(f, rate * channels * 2);
    f.push_back(static_cast<char>(channels * 2));
    f.push_back('\0');
    f += std::string("\x10\x00", 2);
    f += "data";
    PutU32(f, static_cast<uint32_t>(data.size()));
    WriteFile(path, f + data);
}

struct Scene {
    std::string folder;
    std::unique_ptr<TSoundEngine> engine;

    explicit Scene(bool loopback) {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        folder = (std::filesystem::temp_directory_path() / "vesk_bench_sound").string();
        CreateFolders(folder);
        for (int i = 0; i < 5; ++i)
            WriteTone(folder + "/theme" + std::to_string(i) + ".wav", 2, 6.0, 220 + 55 * i);
        for (int i = 0; i < 8; ++i)
            WriteTone(folder + "/fx" + std::to_string(i) + ".wav", 1, 1.0, 300 + 40 * i);
        if (loopback)
            SetDirectSoundFactory([](std::shared_ptr<IDirectSound8>* out) -> Result {
                *out = CreateALDirectSound(ALSoundConfig{true, 44100});
                return *out ? S_OK : DSERR_NODRIVER;
            });
        else
            UseNullSound();
        SoundCore.reset();
        engine = std::make_unique<TSoundEngine>(false);
        engine->Init(nullptr);
        engine->SetFileFolder(folder + "/");
        engine->SetVolume(0, 1.0f);
        engine->Mute(7, false);
        engine->Update(3000);
        for (int c = 1; c <= 5; ++c) {
            engine->SetLoop(c, true);
            engine->Play(c, "theme" + std::to_string(c - 1) + ".wav", 0, 0, "");
        }
        for (int i = 0; i < 8; ++i) engine->Add(7, "fx" + std::to_string(i) + ".wav", 0, 0, "", true);
        ISoundController* controller = nullptr;
        for (int n = 0; n < 32; ++n) {
            const int index = engine->Play3DSound(7, n % 8, 10, 1000, 1, nullptr, controller);
            if (auto* b = dynamic_cast<TCustom3DSoundBuffer*>(engine->SpaceChannel()->Buffer(index)))
                b->SetPosition({static_cast<float>(n * 7 % 50), 0, static_cast<float>(n)});
        }
        engine->SetMaxPlayCount(7, 31); // every 3D sound audible
        engine->Update(1);
    }
    ~Scene() {
        engine->Done();
        engine.reset();
        SoundCore.reset();
        SetDirectSoundFactory({});
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

void BM_SoundRoundNullDevice(benchmark::State& state) {
    Scene scene(false);
    auto device = LastNullSoundDevice();
    for (auto _ : state) {
        device->AdvanceMs(50);
        scene.engine->WorkerPass();
        scene.engine->Update(50);
        device->ClearCalls();
    }
    state.counters["playing3d"] = scene.engine->SpaceChannel()->PlayCount();
}
BENCHMARK(BM_SoundRoundNullDevice)->Unit(benchmark::kMicrosecond);

void BM_SoundRoundLoopbackMix(benchmark::State& state) {
    Scene scene(true);
    std::vector<int16_t> out(2205 * 2);
    for (auto _ : state) {
        RenderLoopback(SoundCore->Device(), out.data(), 2205);
        scene.engine->WorkerPass();
        scene.engine->Update(50);
    }
    state.counters["playing3d"] = scene.engine->SpaceChannel()->PlayCount();
}
BENCHMARK(BM_SoundRoundLoopbackMix)->Unit(benchmark::kMicrosecond);

} // namespace
