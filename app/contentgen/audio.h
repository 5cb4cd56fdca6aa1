#pragma once
// Sounds for the demo: PCM made by small synthesis helpers, written as RIFF
// WAVE files or encoded as Ogg Vorbis. The Vorbis stream always carries the
// same serial number and settings, so the same samples give the same bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace vesk::contentgen {

// Samples in [-1, 1]; stereo buffers interleave left and right.
struct Pcm {
    int rate = 22050;
    int channels = 1;
    std::vector<float> samples;

    size_t Frames() const { return samples.size() / static_cast<size_t>(channels); }
};

// The serial number of every generated Ogg stream.
inline constexpr int kOggSerial = 0x56534B41;

// A WAVE file with 16-bit samples, or 8-bit unsigned ones when bits is 8.
std::string EncodeWave(const Pcm& pcm, int bits = 16);
// An Ogg Vorbis file at the given quality (-0.1 .. 1.0).
std::string EncodeOgg(const Pcm& pcm, float quality);

// Synthesis helpers.
Pcm Silence(int rate, int channels, float seconds);
// White noise from a deterministic seed.
float NoiseSample(uint32_t seed, size_t i);
// A one-pole low-pass over a mono buffer, in place.
void LowPass(std::vector<float>& samples, float cutoff, int rate);
// Scales the buffer so its largest sample has the given magnitude.
void Normalize(std::vector<float>& samples, float peak);

} // namespace vesk::contentgen
