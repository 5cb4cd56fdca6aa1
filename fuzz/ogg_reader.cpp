// The sound-file reader over Ogg Vorbis bytes: the decoder's opening, decoding
// with leftovers, rewinding.
#include "sound_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::FuzzSoundReader(data, size, true);
}
