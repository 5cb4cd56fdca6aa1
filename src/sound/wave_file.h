#pragma once
// Sound files: one reader gives PCM bytes and their format from a RIFF WAVE
// file or, when a file of the same name ending in "ogg" exists, from that Ogg
// Vorbis file instead.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/dsound.h"

namespace vesk {

// Where a reader takes its bytes from: a file or bytes in memory.
class SoundByteSource {
public:
    virtual ~SoundByteSource() = default;
    virtual size_t Read(void* dest, size_t bytes) = 0;
    virtual bool Seek(int64_t offset, int whence) = 0;
    virtual int64_t Tell() = 0;
    virtual int64_t Size() = 0;
};
std::unique_ptr<SoundByteSource> OpenSoundFileSource(const std::string& path); // nullptr when absent
std::unique_ptr<SoundByteSource> MemorySoundSource(std::vector<uint8_t> bytes);

class WaveFileBase {
public:
    virtual ~WaveFileBase() = default;
    virtual bool Open(const std::string& name) = 0;
    virtual uint32_t Read(void* dest, uint32_t bytes) = 0;
    virtual void Close() = 0;
    virtual void Rewind() = 0;
    virtual bool IsAtDataStart() = 0;
    virtual bool IsEnd() = 0;

    uint8_t GetSilenceValue() const { return format_.wBitsPerSample == 8 ? 128 : 0; }
    uint32_t GetDataSize() const { return dataSize_; }
    const platform::WAVEFORMATEX& GetFormat() const { return format_; }
    uint32_t GetDurationMs() const { return duration_; }
    const std::string& GetFileName() const { return fileName_; }

protected:
    std::string fileName_;
    uint32_t dataStart_ = 0;
    uint32_t dataSize_ = 0;
    platform::WAVEFORMATEX format_{};
    uint32_t duration_ = 0;
};

class TWaveFile3 final : public WaveFileBase {
public:
    TWaveFile3();
    ~TWaveFile3() override;
    TWaveFile3(const TWaveFile3&) = delete;
    TWaveFile3& operator=(const TWaveFile3&) = delete;

    bool Open(const std::string& name) override;
    // Reads bytes already in memory; ogg tells which of the two formats they hold.
    bool OpenMemory(const std::string& name, std::vector<uint8_t> bytes, bool ogg);
    uint32_t Read(void* dest, uint32_t bytes) override;
    void Close() override;
    void Rewind() override;
    bool IsAtDataStart() override;
    bool IsEnd() override;

    bool IsOgg() const { return ogg_; }
    bool IsOpen() const { return open_; }

    static constexpr uint32_t kDecodeBufferSize = 16384;

private:
    struct Vorbis;
    bool OpenOgg(std::unique_ptr<SoundByteSource> source);
    bool OpenWave(std::unique_ptr<SoundByteSource> source);

    bool ogg_ = false;
    std::unique_ptr<SoundByteSource> source_;
    std::unique_ptr<Vorbis> vorbis_;
    std::vector<uint8_t> decode_;
    int32_t leftoverOffset_ = 0;
    int32_t leftoverCount_ = 0;
    bool open_ = false;
};

// The name with its last three characters replaced by "ogg".
std::string OggTwinName(const std::string& name);
// The file or its "ogg" twin exists.
bool SoundFileExists(const std::string& name);
// Duration in milliseconds; a missing file is a fatal report and 0.
uint32_t SoundDuration(const std::string& name);

inline void SetFlag(uint32_t& value, uint32_t bits) {
    value |= bits;
}
inline bool HasFlag(uint32_t value, uint32_t bits) {
    return (value & bits) != 0;
}

} // namespace vesk
