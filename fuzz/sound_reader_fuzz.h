#pragma once
// One fuzz pass of the sound-file reader over bytes in memory: open, read to
// the end in odd-sized pieces, rewind and read again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shared/errors.h"
#include "sound/wave_file.h"

namespace fuzz {

inline volatile std::size_t g_sink = 0;

inline int FuzzSoundReader(const uint8_t* data, size_t size, bool ogg) {
    static bool ready = [] {
        vesk::GetErrorHooks().halt = [] {}; // fatal reports return here
        return true;
    }();
    (void)ready;
    vesk::TWaveFile3 reader;
    if (reader.OpenMemory("fuzz", std::vector<uint8_t>(data, data + size), ogg)) {
        std::vector<uint8_t> buf(5003);
        std::size_t total = 0;
        // Bounded: a small input may claim hours of sound.
        for (int i = 0; i < 64; ++i) {
            const uint32_t got = reader.Read(buf.data(), static_cast<uint32_t>(buf.size()));
            if (got == 0) break;
            total += got + buf[got - 1];
        }
        g_sink = g_sink + total + reader.IsEnd() + reader.GetDurationMs() + reader.GetFormat().nChannels;
        reader.Rewind();
        g_sink = g_sink + reader.IsAtDataStart() + reader.Read(buf.data(), 100);
    }
    vesk::PendingErrorTexts.clear();
    return 0;
}

} // namespace fuzz
