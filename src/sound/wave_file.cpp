#include "sound/wave_file.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/files.h"
#include "shared/errors.h"

namespace vesk {

using namespace platform;

// ---- byte sources ---------------------------------------------------------------
namespace {

class FileSource final : public SoundByteSource {
public:
    explicit FileSource(std::FILE* f) : f_(f) {}
    ~FileSource() override { std::fclose(f_); }
    size_t Read(void* dest, size_t bytes) override { return std::fread(dest, 1, bytes, f_); }
    bool Seek(int64_t offset, int whence) override { return fseeko(f_, offset, whence) == 0; }
    int64_t Tell() override { return ftello(f_); }
    int64_t Size() override {
        const int64_t here = Tell();
        fseeko(f_, 0, SEEK_END);
        const int64_t size = Tell();
        fseeko(f_, here, SEEK_SET);
        return size;
    }

private:
    std::FILE* f_;
};

class MemorySource final : public SoundByteSource {
public:
    explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    size_t Read(void* dest, size_t bytes) override {
        const size_t n = pos_ < bytes_.size() ? std::min(bytes, bytes_.size() - pos_) : 0;
        if (n) std::memcpy(dest, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    bool Seek(int64_t offset, int whence) override {
        int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(pos_) : Size();
        const int64_t to = base + offset;
        if (to < 0) return false;
        pos_ = static_cast<size_t>(to);
        return true;
    }
    int64_t Tell() override { return static_cast<int64_t>(pos_); }
    int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
};

size_t OvRead(void* ptr, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    return static_cast<SoundByteSource*>(source)->Read(ptr, size * count) / size;
}
int OvSeek(void* source, ogg_int64_t offset, int whence) {
    return static_cast<SoundByteSource*>(source)->Seek(offset, whence) ? 0 : -1;
}
long OvTell(void* source) {
    return static_cast<long>(static_cast<SoundByteSource*>(source)->Tell());
}

void CheckVorbisResult(int r, const std::string& fileName) {
    const char* text = nullptr;
    switch (r) {
    case OV_EVERSION:
        text = "Vorbis version mismatch.";
        break;
    case OV_EBADHEADER:
        text = "Invalid Vorbis bitstream header.";
        break;
    case OV_ENOTVORBIS:
        text = "Bitstream is not Vorbis data.";
        break;
    case OV_EFAULT:
        text = "Internal logic fault; indicates a bug or heap/stack corruption.";
        break;
    case OV_EREAD:
        text = "A read from media returned an error.";
        break;
    default:
        break;
    }
    if (text) ErrorReport(NamingFile(text, fileName), "mhl");
}

// Milliseconds of a byte count, 0 for a format without a byte rate.
uint32_t DurationOf(uint32_t bytes, uint32_t bytesPerSecond) {
    if (bytesPerSecond == 0) return 0;
    return static_cast<uint32_t>(std::llround(static_cast<double>(bytes) * 1000.0 / bytesPerSecond));
}

bool ReadU32(SoundByteSource& s, uint32_t& v) {
    uint8_t b[4];
    if (s.Read(b, 4) != 4) return false;
    v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

} // namespace

std::unique_ptr<SoundByteSource> OpenSoundFileSource(const std::string& path) {
    std::FILE* f = std::fopen(NativePath(path).c_str(), "rb");
    if (!f) return nullptr;
    return std::make_unique<FileSource>(f);
}

std::unique_ptr<SoundByteSource> MemorySoundSource(std::vector<uint8_t> bytes) {
    return std::make_unique<MemorySource>(std::move(bytes));
}

// ---- the reader -------------------------------------------------------------------
struct TWaveFile3::Vorbis {
    OggVorbis_File file{};
    bool valid = false;
    ~Vorbis() {
        if (valid) ov_clear(&file);
    }
};

TWaveFile3::TWaveFile3() = default;
TWaveFile3::~TWaveFile3() {
    Close();
}

std::string OggTwinName(const std::string& name) {
    if (name.size() < 3) return name;
    return name.substr(0, name.size() - 3) + "ogg";
}

bool SoundFileExists(const std::string& name) {
    return FileExists(name) || FileExists(OggTwinName(name));
}

bool TWaveFile3::Open(const std::string& name) {
    Close();
    ogg_ = false;
    fileName_ = name;
    bool ok = false;
    const std::string twin = OggTwinName(name);
    if (FileExists(twin)) {
        fileName_ = twin;
        ogg_ = true;
        auto source = OpenSoundFileSource(twin);
        ok = source && OpenOgg(std::move(source));
    } else if (FileExists(name)) {
        auto source = OpenSoundFileSource(name);
        if (!source) {
            ErrorReport("TWaveFile3.LoadHeader: cant open " + name, "mhl");
            return false;
        }
        ok = OpenWave(std::move(source));
    } else {
        ErrorReport("Sound file not found: \"" + name + "\". Check game data.", "mhl");
    }
    open_ = ok;
    if (!ok) Close();
    return ok;
}

bool TWaveFile3::OpenMemory(const std::string& name, std::vector<uint8_t> bytes, bool ogg) {
    Close();
    fileName_ = name;
    ogg_ = ogg;
    auto source = MemorySoundSource(std::move(bytes));
    const bool ok = ogg ? OpenOgg(std::move(source)) : OpenWave(std::move(source));
    open_ = ok;
    if (!ok) Close();
    return ok;
}

bool TWaveFile3::OpenOgg(std::unique_ptr<SoundByteSource> source) {
    source_ = std::move(source);
    vorbis_ = std::make_unique<Vorbis>();
    const ov_callbacks callbacks{OvRead, OvSeek, nullptr, OvTell};
    int r = ov_test_callbacks(source_.get(), &vorbis_->file, nullptr, 0, callbacks);
    if (r != 0) {
        // A failed open leaves nothing to clear.
        CheckVorbisResult(r, fileName_);
        return false;
    }
    vorbis_->valid = true;
    r = ov_test_open(&vorbis_->file);
    if (r != 0) {
        CheckVorbisResult(r, fileName_);
        return false;
    }
    const vorbis_info* info = ov_info(&vorbis_->file, -1);
    if (!info || info->channels < 1 || info->channels > 0x7FFF || info->rate <= 0) return false;
    format_ = {};
    format_.wFormatTag = WAVE_FORMAT_PCM;
    format_.nChannels = static_cast<uint16_t>(info->channels);
    format_.nSamplesPerSec = static_cast<uint32_t>(info->rate);
    format_.wBitsPerSample = 16;
    format_.nBlockAlign = static_cast<uint16_t>(format_.nChannels * 2);
    format_.nAvgBytesPerSec = format_.nSamplesPerSec * format_.nBlockAlign;
    format_.cbSize = 0;
    dataStart_ = 0;
    const ogg_int64_t frames = ov_pcm_total(&vorbis_->file, -1);
    const uint64_t bytes = frames > 0 ? static_cast<uint64_t>(frames) * format_.nBlockAlign : 0;
    dataSize_ = static_cast<uint32_t>(std::min<uint64_t>(bytes, 0xFFFFFFFFu));
    duration_ = DurationOf(dataSize_, format_.nAvgBytesPerSec);
    if (decode_.empty()) decode_.resize(kDecodeBufferSize);
    leftoverOffset_ = leftoverCount_ = 0;
    return true;
}

bool TWaveFile3::OpenWave(std::unique_ptr<SoundByteSource> source) {
    source_ = std::move(source);
    SoundByteSource& s = *source_;
    const int64_t fileSize = s.Size();
    char id[4];
    if (!s.Seek(8, SEEK_SET) || s.Read(id, 4) != 4 || std::memcmp(id, "WAVE", 4) != 0) return false;
    bool haveFormat = false;
    while (true) {
        uint32_t size = 0;
        if (s.Read(id, 4) != 4 || !ReadU32(s, size)) return false;
        const int64_t here = s.Tell();
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (size < 16 || s.Read(&format_, 16) != 16) return false;
            format_.cbSize = 0;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!haveFormat) return false;
            dataStart_ = static_cast<uint32_t>(here);
            // A size past the end of the file is cut to what the file holds.
            dataSize_ = static_cast<uint32_t>(std::min<int64_t>(size, std::max<int64_t>(0, fileSize - here)));
            duration_ = DurationOf(dataSize_, format_.nAvgBytesPerSec);
            return true;
        }
        // Chunks are padded to an even length.
        if (!s.Seek(here + size + (size & 1), SEEK_SET) || here + size > fileSize) return false;
    }
}

uint32_t TWaveFile3::Read(void* dest, uint32_t bytes) {
    if (!open_ || !dest || bytes == 0) return 0;
    auto* out = static_cast<uint8_t*>(dest);
    if (!ogg_) {
        const int64_t pos = source_->Tell();
        const int64_t left = static_cast<int64_t>(dataStart_) + dataSize_ - pos;
        if (left <= 0) return 0;
        return static_cast<uint32_t>(source_->Read(out, static_cast<size_t>(std::min<int64_t>(bytes, left))));
    }
    if (leftoverCount_ < 0) {
        ErrorReport(NamingFile("oggbufBytesToCopy<0", fileName_), "mhl");
        return 0;
    }
    uint32_t done = 0;
    if (leftoverCount_ > 0) {
        const uint32_t n = std::min<uint32_t>(bytes, static_cast<uint32_t>(leftoverCount_));
        std::memcpy(out, decode_.data() + leftoverOffset_, n);
        leftoverOffset_ += static_cast<int32_t>(n);
        leftoverCount_ -= static_cast<int32_t>(n);
        done = n;
    }
    int holes = 0;
    while (done < bytes) {
        int section = 0;
        const long got = ov_read(&vorbis_->file, reinterpret_cast<char*>(decode_.data()),
                                 static_cast<int>(decode_.size()), 0, 2, 1, &section);
        if (got == OV_HOLE && ++holes < 64) continue; // a gap in the stream: decoding goes on after it
        if (got <= 0) break;
        const uint32_t n = std::min<uint32_t>(bytes - done, static_cast<uint32_t>(got));
        std::memcpy(out + done, decode_.data(), n);
        done += n;
        if (n < static_cast<uint32_t>(got)) {
            leftoverOffset_ = static_cast<int32_t>(n);
            leftoverCount_ = static_cast<int32_t>(got - n);
        }
    }
    return done;
}

void TWaveFile3::Close() {
    vorbis_.reset();
    source_.reset();
    decode_.clear();
    decode_.shrink_to_fit();
    leftoverOffset_ = leftoverCount_ = 0;
    open_ = false;
}

void TWaveFile3::Rewind() {
    if (!open_) return;
    if (ogg_) {
        leftoverOffset_ = leftoverCount_ = 0;
        ov_time_seek(&vorbis_->file, 0);
    } else {
        source_->Seek(dataStart_, SEEK_SET);
    }
}

bool TWaveFile3::IsAtDataStart() {
    if (!open_) return false;
    if (ogg_) return ov_pcm_tell(&vorbis_->file) == 0 && leftoverCount_ == 0;
    return source_->Tell() == static_cast<int64_t>(dataStart_);
}

bool TWaveFile3::IsEnd() {
    if (!open_) return true;
    if (ogg_) {
        if (leftoverCount_ > 0) return false;
        // The raw position may stop short of the last page: all samples decoded is the end too.
        OggVorbis_File* f = &vorbis_->file;
        return ov_raw_tell(f) == ov_raw_total(f, -1) || ov_pcm_tell(f) >= ov_pcm_total(f, -1);
    }
    return source_->Tell() >= static_cast<int64_t>(dataStart_) + dataSize_;
}

uint32_t SoundDuration(const std::string& name) {
    if (!SoundFileExists(name)) {
        ErrorReport("function SoundDuration fault. File not found - " + name, "mhl");
        return 0;
    }
    TWaveFile3 reader;
    uint32_t ms = 0;
    if (reader.Open(name)) ms = reader.GetDurationMs();
    reader.Close();
    return ms;
}

} // namespace vesk
