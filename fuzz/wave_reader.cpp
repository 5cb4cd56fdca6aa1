// The sound-file reader over RIFF WAVE bytes: the chunk walk, the format and
// data chunks, reading to the end.
#include "sound_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::FuzzSoundReader(data, size, false);
}
