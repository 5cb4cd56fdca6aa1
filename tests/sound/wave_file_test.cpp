#include "sound/wave_file.h"

#include "sound_fixture.h"

namespace vesk {
namespace {

using test::Halted;
using test::MakeWav;
using test::WavFormat;

class WaveFileTest : public test::SoundTest {};

TEST_F(WaveFileTest, ReadsFormatAndDataPastAListChunk) {
    WavFormat format;
    format.channels = 2;
    format.rate = 11025;
    format.frames = 500;
    format.extraId = "LIST";
    format.extraBytes = "INFOjunk!"; // odd length: the chunk carries a pad byte
    TWaveFile3 r;
    ASSERT_TRUE(r.Open(Wav("a.wav", format)));
    EXPECT_FALSE(r.IsOgg());
    EXPECT_EQ(r.GetFormat().nChannels, 2);
    EXPECT_EQ(r.GetFormat().nSamplesPerSec, 11025u);
    EXPECT_EQ(r.GetFormat().nBlockAlign, 4);
    EXPECT_EQ(r.GetDataSize(), 2000u);
    EXPECT_EQ(r.GetDurationMs(), 45u); // 2000 * 1000 / 44100 = 45.35
    EXPECT_TRUE(r.IsAtDataStart());
    std::vector<uint16_t> samples(4);
    EXPECT_EQ(r.Read(samples.data(), 8), 8u);
    EXPECT_EQ(samples, (std::vector<uint16_t>{0, 1, 1, 2}));
    EXPECT_FALSE(r.IsAtDataStart());
}

TEST_F(WaveFileTest, ReadOfMoreThanTheRestGivesTheRest) {
    TWaveFile3 r;
    ASSERT_TRUE(r.Open(Wav("a.wav")));
    std::vector<uint8_t> buf(5000);
    EXPECT_EQ(r.Read(buf.data(), 1500), 1500u);
    EXPECT_EQ(r.Read(buf.data(), 5000), 500u);
    EXPECT_TRUE(r.IsEnd());
    EXPECT_EQ(r.Read(buf.data(), 10), 0u);
    r.Rewind();
    EXPECT_TRUE(r.IsAtDataStart());
    EXPECT_EQ(r.Read(buf.data(), 5000), 2000u);
}

TEST_F(WaveFileTest, MalformedWaveFilesFailWithoutReadingOutside) {
    struct Case {
        const char* what;
        std::string bytes;
        bool opens;
        uint32_t dataSize;
    };
    std::string shortFmt = MakeWav({});
    shortFmt[16] = 8; // "fmt " claims 8 bytes
    std::string notWave = MakeWav({});
    notWave.replace(8, 4, "AVI ");
    WavFormat tooLong;
    tooLong.claimedDataSize = 0x7FFFFFF0;
    std::string noData = MakeWav({}).substr(0, 36);
    const Case cases[] = {
        {"not WAVE", notWave, false, 0},
        {"short fmt chunk", shortFmt, false, 0},
        {"no data chunk", noData, false, 0},
        {"empty file", "", false, 0},
        {"data size past the end", MakeWav(tooLong), true, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TWaveFile3 r;
        const std::string path = dir / "bad.wav";
        ASSERT_TRUE(platform::WriteFile(path, c.bytes));
        EXPECT_EQ(r.Open(path), c.opens);
        if (c.opens) {
            EXPECT_EQ(r.GetDataSize(), c.dataSize);
        }
    }
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(WaveFileTest, MissingFileIsAFatalReportNamingIt) {
    TWaveFile3 r;
    const std::string path = dir / "none.wav";
    EXPECT_THROW(r.Open(path), Halted);
    EXPECT_EQ(trap.lastFatal, "Sound file not found: \"" + path + "\". Check game data.");
    EXPECT_THROW(SoundDuration(path), Halted);
    EXPECT_EQ(trap.lastFatal, "function SoundDuration fault. File not found - " + path);
}

TEST_F(WaveFileTest, OggTwinIsPreferredAndDecodedToTheEnd) {
    // Only the twin exists, then both: the Ogg file is read either way.
    const std::string wav = dir / "theme.wav";
    test::CopyDataFile("theme.ogg", dir / "theme.ogg");
    EXPECT_TRUE(SoundFileExists(wav));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        TWaveFile3 r;
        ASSERT_TRUE(r.Open(wav));
        EXPECT_TRUE(r.IsOgg());
        EXPECT_EQ(r.GetFileName(), dir / "theme.ogg");
        EXPECT_EQ(r.GetFormat().nChannels, 2);
        EXPECT_EQ(r.GetFormat().nBlockAlign, 4);
        EXPECT_EQ(r.GetFormat().nAvgBytesPerSec, 176400u);
        EXPECT_EQ(r.GetDataSize(), 132300u * 4);
        EXPECT_EQ(r.GetDurationMs(), 3000u);
        // Odd-sized reads cross the decode buffer's leftovers.
        std::vector<uint8_t> buf(7001);
        uint64_t total = 0;
        while (uint32_t got = r.Read(buf.data(), static_cast<uint32_t>(buf.size()))) total += got;
        EXPECT_EQ(total, r.GetDataSize());
        EXPECT_TRUE(r.IsEnd());
        r.Rewind();
        EXPECT_EQ(r.Read(buf.data(), 4000), 4000u);
        Wav("theme.wav"); // now both exist
    }
    EXPECT_EQ(SoundDuration(wav), 3000u);
}

TEST_F(WaveFileTest, MonoOggHasHalfTheByteRate) {
    TWaveFile3 r;
    ASSERT_TRUE(r.Open(test::CopyDataFile("blip.ogg", dir / "blip.ogg")));
    EXPECT_EQ(r.GetFormat().nChannels, 1);
    EXPECT_EQ(r.GetFormat().nBlockAlign, 2);
    EXPECT_EQ(r.GetFormat().nAvgBytesPerSec, 88200u);
}

TEST_F(WaveFileTest, BadOggBytesAreFatalWithTheDecoderText) {
    std::string bytes;
    ASSERT_TRUE(platform::ReadFile(test::SoundDataDir() + "/blip.ogg", bytes));
    TWaveFile3 r;
    EXPECT_THROW(r.OpenMemory("x.ogg", std::vector<uint8_t>(100, 'x'), true), Halted);
    EXPECT_EQ(trap.lastFatal, "Bitstream is not Vorbis data. (file: x.ogg)");
    // Cut inside the headers.
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 60);
    trap.lastFatal.clear();
    EXPECT_THROW(r.OpenMemory("x.ogg", cut, true), Halted);
    EXPECT_FALSE(trap.lastFatal.empty());
    EXPECT_FALSE(r.IsOpen());
}

TEST(OggTwinName, ReplacesTheLastThreeCharacters) {
    EXPECT_EQ(OggTwinName("Data\\Sounds\\shot.wav"), "Data\\Sounds\\shot.ogg");
    EXPECT_EQ(OggTwinName("a.WAV"), "a.ogg");
    EXPECT_EQ(OggTwinName("ab"), "ab");
}

} // namespace
} // namespace vesk
