// The demo's sounds under "sounds/": the engine hum, shots, hits,
// explosions, interface clicks, a space ambience and the music theme. The
// long and stereo ones are Ogg Vorbis files; the game names every sound by
// its ".wav" name and takes the ".ogg" twin where one exists.
#include "assets.h"
#include "audio.h"

#include <cmath>

namespace vesk::contentgen {
namespace {

constexpr float kTwoPi = 6.28318530718f;

// Fills a mono buffer sample by sample from f(t in seconds, i).
template <class F> Pcm Mono(int rate, float seconds, F f) {
    Pcm p = Silence(rate, 1, seconds);
    for (size_t i = 0; i < p.samples.size(); ++i)
        p.samples[i] = f(static_cast<float>(i) / static_cast<float>(rate), i);
    return p;
}

// Low-passed noise scaled by an envelope, for rumbles and hisses.
std::vector<float> Rumble(int rate, float seconds, uint32_t seed, float cutoff) {
    std::vector<float> n(static_cast<size_t>(seconds * static_cast<float>(rate)));
    for (size_t i = 0; i < n.size(); ++i) n[i] = NoiseSample(seed, i);
    LowPass(n, cutoff, rate);
    LowPass(n, cutoff, rate);
    Normalize(n, 1);
    return n;
}

void WriteEffects(const AssetSink& sink) {
    const int rate = 22050;
    // Engine: harmonics of 55 Hz that repeat exactly every two seconds, so the hum loops.
    Pcm hum = Mono(rate, 2.0f, [](float t, size_t) {
        const float wobble = 1 + 0.15f * std::sin(kTwoPi * 2 * t);
        return 0.3f * wobble *
               (std::sin(kTwoPi * 55 * t) + 0.5f * std::sin(kTwoPi * 110 * t) +
                0.25f * std::sin(kTwoPi * 165.5f * t));
    });
    sink("sounds/engine_hum.wav", EncodeWave(hum));

    Pcm laser = Mono(rate, 0.35f, [](float t, size_t) {
        // The pitch falls from 1800 Hz towards 300 Hz.
        const float phase = kTwoPi * (300 * t + 1500 * (1 - std::exp(-t * 12)) / 12);
        const float s = std::sin(phase) + 0.3f * std::sin(3 * phase);
        return 0.6f * s * std::exp(-t * 9);
    });
    sink("sounds/laser_shot.wav", EncodeWave(laser));

    std::vector<float> hiss = Rumble(rate, 0.45f, 11, 3000);
    Pcm plasma = Mono(rate, 0.45f, [&](float t, size_t i) {
        return 0.5f * hiss[i] * std::exp(-t * 10) + 0.5f * std::sin(kTwoPi * 90 * t) * std::exp(-t * 14);
    });
    sink("sounds/plasma_shot.wav", EncodeWave(plasma));

    std::vector<float> roar = Rumble(rate, 1.2f, 12, 900);
    Pcm rocket = Mono(rate, 1.2f, [&](float t, size_t i) {
        const float env = std::min(1.0f, t * 10) * std::exp(-t * 2);
        return 0.7f * env * roar[i] + 0.15f * env * std::sin(kTwoPi * (800 + 400 * t) * t);
    });
    sink("sounds/rocket_launch.wav", EncodeWave(rocket));

    std::vector<float> blast = Rumble(rate, 1.0f, 13, 1200);
    Pcm small = Mono(rate, 1.0f, [&](float t, size_t i) {
        return 0.8f * blast[i] * std::exp(-t * 4.5f) + 0.5f * std::sin(kTwoPi * 48 * t) * std::exp(-t * 6);
    });
    sink("sounds/explosion_small.wav", EncodeWave(small));

    // A big explosion in stereo: the two sides rumble apart.
    const float bigSeconds = 2.5f;
    std::vector<float> left = Rumble(rate, bigSeconds, 14, 500), right = Rumble(rate, bigSeconds, 15, 500);
    Pcm big = Silence(rate, 2, bigSeconds);
    for (size_t i = 0; i < big.Frames(); ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(rate);
        const float env = std::min(1.0f, t * 40) * std::exp(-t * 1.6f);
        const float thump = 0.5f * std::sin(kTwoPi * 38 * t) * std::exp(-t * 3);
        big.samples[i * 2] = 0.8f * env * left[i] + thump;
        big.samples[i * 2 + 1] = 0.8f * env * right[i] + thump;
    }
    sink("sounds/explosion_big.ogg", EncodeOgg(big, 0.1f));

    Pcm shield = Mono(rate, 0.5f, [](float t, size_t) {
        return 0.3f * std::exp(-t * 7) *
               (std::sin(kTwoPi * 620 * t) + 0.7f * std::sin(kTwoPi * 1430 * t) +
                0.5f * std::sin(kTwoPi * 2210 * t));
    });
    sink("sounds/shield_hit.wav", EncodeWave(shield));

    Pcm hull = Mono(rate, 0.3f, [](float t, size_t i) {
        return 0.7f * std::sin(kTwoPi * 70 * t) * std::exp(-t * 18) +
               0.3f * NoiseSample(16, i) * std::exp(-t * 30);
    });
    sink("sounds/hull_hit.wav", EncodeWave(hull));
}

void WriteInterfaceSounds(const AssetSink& sink) {
    Pcm click = Mono(22050, 0.05f, [](float t, size_t i) {
        return 0.6f * std::exp(-t * 120) * (std::sin(kTwoPi * 2400 * t) + 0.4f * NoiseSample(17, i));
    });
    sink("sounds/interface/click.wav", EncodeWave(click));
    // An 8-bit beep, as older interface sounds were kept.
    Pcm beep = Mono(11025, 0.15f, [](float t, size_t) {
        return 0.5f * std::sin(kTwoPi * 880 * t) * std::min(1.0f, (0.15f - t) * 60);
    });
    sink("sounds/interface/beep.wav", EncodeWave(beep, 8));
}

// A soft drone for the ambience channel.
void WriteAmbience(const AssetSink& sink) {
    const int rate = 22050;
    std::vector<float> air = Rumble(rate, 12, 18, 250);
    Pcm amb = Mono(rate, 12, [&](float t, size_t i) {
        const float swell = 0.6f + 0.4f * std::sin(kTwoPi * t / 12);
        return swell *
               (0.4f * air[i] + 0.15f * std::sin(kTwoPi * 41 * t) + 0.1f * std::sin(kTwoPi * 61.5f * t));
    });
    sink("sounds/ambience/space_drone.ogg", EncodeOgg(amb, 0.0f));
}

// The theme: eight bars over A minor, F, C and G with a pad, a bass line and
// an arpeggio, panned a little apart; thirty seconds.
void WriteMusic(const AssetSink& sink) {
    const int rate = 22050;
    const float bar = 3.75f;
    const float chords[4][3] = {{220.0f, 261.63f, 329.63f},
                                {174.61f, 220.0f, 261.63f},
                                {130.81f, 164.81f, 196.0f},
                                {196.0f, 246.94f, 293.66f}};
    Pcm music = Silence(rate, 2, bar * 8);
    for (size_t i = 0; i < music.Frames(); ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(rate);
        const int b = static_cast<int>(t / bar) % 4;
        const float inBar = std::fmod(t, bar);
        const float* chord = chords[b];
        // Pad: each note twice, slightly detuned, one to each side.
        float l = 0, r = 0;
        for (int k = 0; k < 3; ++k) {
            const float f = chord[k];
            const float swell = std::min(1.0f, inBar * 2) * std::min(1.0f, (bar - inBar) * 2);
            l += 0.08f * swell * (std::sin(kTwoPi * f * t) + 0.3f * std::sin(kTwoPi * 2 * f * t));
            r += 0.08f * swell *
                 (std::sin(kTwoPi * f * 1.004f * t) + 0.3f * std::sin(kTwoPi * 2.008f * f * t));
        }
        const float bass =
            0.18f * std::sin(kTwoPi * chord[0] / 2 * t) * std::exp(-std::fmod(inBar, bar / 4) * 1.5f);
        // Arpeggio in eighths through the chord, an octave up.
        const float step = bar / 8;
        const int note = static_cast<int>(inBar / step);
        const float inNote = std::fmod(inBar, step);
        const float arp = 0.09f * std::sin(kTwoPi * chord[note % 3] * 2 * t) * std::exp(-inNote * 6);
        // The theme fades in and out.
        const float total = bar * 8;
        const float fade = std::min(1.0f, t / 2) * std::min(1.0f, (total - t) / 3);
        music.samples[i * 2] = fade * (l + bass + arp * 0.7f);
        music.samples[i * 2 + 1] = fade * (r + bass + arp * 1.3f);
    }
    sink("sounds/music/vesk_theme.ogg", EncodeOgg(music, -0.1f));
}

void WriteSounds(const AssetSink& sink) {
    WriteEffects(sink);
    WriteInterfaceSounds(sink);
    WriteAmbience(sink);
    WriteMusic(sink);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(sounds, vesk::contentgen::WriteSounds);
