#pragma once
// The setup record "config.bin": the display, sound and a few switches chosen
// by the setup program. The file is exactly 570 bytes, little-endian, packed;
// the game only reads it, the setup program writes it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

inline constexpr size_t kConfigRecordSize = 570;
inline constexpr const char* kConfigFileName = "config.bin";
inline constexpr size_t kAdapterDescriptionSize = 513;
inline constexpr size_t kLanguageMaxLength = 2;

// Byte offsets of the fields inside the file.
namespace config_offset {
inline constexpr size_t kReserved0 = 0;
inline constexpr size_t kFullScreen = 4;
inline constexpr size_t kReserved5 = 5;
inline constexpr size_t kSoundOn = 6;
inline constexpr size_t kDeviceType = 7;
inline constexpr size_t kWidth = 11;
inline constexpr size_t kHeight = 15;
inline constexpr size_t kRefreshRate = 19;
inline constexpr size_t kBackBufferFormat = 23;
inline constexpr size_t kReserved27 = 27;
inline constexpr size_t kDepthStencilFormat = 31;
inline constexpr size_t kAdapterDescription = 35;
inline constexpr size_t kTextureDivider = 548;
inline constexpr size_t kNozzlesEnabled = 552;
inline constexpr size_t kBSphereDisplay = 553;
inline constexpr size_t kShowBSpheres = 554;
inline constexpr size_t kReserved555 = 555;
inline constexpr size_t kMemLog = 557;
inline constexpr size_t kMultisampleType = 558;
inline constexpr size_t kAdapterOrdinal = 562;
inline constexpr size_t kPostProcess = 566;
inline constexpr size_t kLanguage = 567; // length byte, then up to two characters
} // namespace config_offset

// Every field of the record; the ones nothing reads are kept so that a record
// read and written again is unchanged.
struct ConfigRecord {
    int32_t reserved0 = 0;
    uint8_t fullScreen = 0; // 0 window with frame, 1 full screen; other values create no device
    uint8_t reserved5 = 0;
    uint8_t soundOn = 0;
    int32_t deviceType = 0; // 1 = hardware
    int32_t width = 0;
    int32_t height = 0;
    int32_t refreshRate = 0;
    int32_t backBufferFormat = 0; // device format code, 22 = X8R8G8B8
    int32_t reserved27 = 0;
    int32_t depthStencilFormat = 0;
    std::array<char, kAdapterDescriptionSize> adapterDescription{}; // zero-terminated
    int32_t textureDivider = 0;
    uint8_t nozzlesEnabled = 0;
    uint8_t bsphereDisplay = 0;
    uint8_t showBSpheres = 0;
    std::array<uint8_t, 2> reserved555{};
    uint8_t memLog = 0;
    int32_t multisampleType = 0;
    int32_t adapterOrdinal = 0;
    uint8_t postProcess = 0;
    uint8_t languageLength = 0;
    std::array<char, kLanguageMaxLength> language{};

    // The description up to its terminating zero, never past its 513 bytes.
    std::string AdapterDescription() const;
    // Longer texts are cut to 512 characters so the terminating zero fits.
    void SetAdapterDescription(std::string_view text);
    // The language prefix; a length byte above 2 is read as 2.
    std::string Language() const;
    // Keeps at most two characters.
    void SetLanguage(std::string_view text);

    bool operator==(const ConfigRecord&) const = default;
};

// The record every field of which holds its default (what the game assumes
// before the setup program has run).
ConfigRecord DefaultConfigRecord();

// Field values written as the file holds them.
std::string EncodeConfigRecord(const ConfigRecord& record);
// False when the bytes are not exactly one record.
bool DecodeConfigRecord(std::string_view bytes, ConfigRecord& out);
// The first field a game cannot run with, as a message; empty when the record is usable.
std::string CheckConfigRecord(const ConfigRecord& record);
// Every such field, one message each, in the record's order.
std::vector<std::string> ConfigRecordProblems(const ConfigRecord& record);
// The record with each field a game cannot run with taken from `defaults`;
// every usable field is kept.
ConfigRecord RepairConfigRecord(const ConfigRecord& record, const ConfigRecord& defaults);
// Where the setup program keeps a record it could not use as it was.
inline constexpr const char* kConfigBackupFileName = "config.bin.bak";

bool WriteConfigRecordFile(std::string_view path, const ConfigRecord& record);

// The setup record read at start-up; only read afterwards.
extern ConfigRecord SetupRecord;

// Reads "config.bin" from the current folder into SetupRecord. A missing file,
// one of another size or one with unusable values starts the setup program
// and ends the game.
void LoadConfigBin();
void SetConfigDefaults();
// Starts the setup program beside the game and ends the game with a failure status.
void RunSetupAndHalt();
// "setup" in the program folder.
std::string SetupProgramPath();

} // namespace vesk
