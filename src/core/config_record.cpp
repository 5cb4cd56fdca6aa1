#include "core/config_record.h"

#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vesk {

ConfigRecord SetupRecord;

namespace {

namespace off = config_offset;

// The record's integers are little-endian whatever the host is.
void PutInt(std::string& b, size_t at, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

int32_t GetInt(std::string_view b, size_t at) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return static_cast<int32_t>(u);
}

uint8_t GetByte(std::string_view b, size_t at) {
    return static_cast<uint8_t>(b[at]);
}
void PutByte(std::string& b, size_t at, uint8_t v) {
    b[at] = static_cast<char>(v);
}

// Largest sizes a window or back buffer may take; beyond them the device layer
// would overflow its own size arithmetic.
constexpr int32_t kMaxScreenSide = 16384;
constexpr int32_t kMaxRefreshRate = 1000;
constexpr int32_t kMaxMultisampleType = 16;

void Halt() {
    ErrorHooks& hooks = GetErrorHooks();
    if (hooks.halt) {
        hooks.halt();
        return; // only a test's halt comes back
    }
    std::fflush(nullptr);
    std::_Exit(1);
}

} // namespace

std::string ConfigRecord::AdapterDescription() const {
    const char* begin = adapterDescription.data();
    const char* end = std::find(begin, begin + adapterDescription.size(), '\0');
    return std::string(begin, end);
}

void ConfigRecord::SetAdapterDescription(std::string_view text) {
    adapterDescription.fill('\0');
    size_t n = std::min(text.size(), adapterDescription.size() - 1);
    std::memcpy(adapterDescription.data(), text.data(), n);
}

std::string ConfigRecord::Language() const {
    size_t n = std::min<size_t>(languageLength, language.size());
    return std::string(language.data(), n);
}

void ConfigRecord::SetLanguage(std::string_view text) {
    language.fill('\0');
    size_t n = std::min(text.size(), language.size());
    std::memcpy(language.data(), text.data(), n);
    languageLength = static_cast<uint8_t>(n);
}

ConfigRecord DefaultConfigRecord() {
    ConfigRecord r;
    r.reserved0 = -1;
    r.fullScreen = 0;
    r.soundOn = 0;
    r.deviceType = 1;
    r.width = 1024;
    r.height = 768;
    r.refreshRate = 60;
    r.backBufferFormat = 22;
    r.depthStencilFormat = 0;
    r.textureDivider = 0;
    r.nozzlesEnabled = 1;
    r.multisampleType = 0;
    r.adapterOrdinal = 0;
    r.postProcess = 0;
    return r;
}

std::string EncodeConfigRecord(const ConfigRecord& r) {
    std::string b(kConfigRecordSize, '\0');
    PutInt(b, off::kReserved0, r.reserved0);
    PutByte(b, off::kFullScreen, r.fullScreen);
    PutByte(b, off::kReserved5, r.reserved5);
    PutByte(b, off::kSoundOn, r.soundOn);
    PutInt(b, off::kDeviceType, r.deviceType);
    PutInt(b, off::kWidth, r.width);
    PutInt(b, off::kHeight, r.height);
    PutInt(b, off::kRefreshRate, r.refreshRate);
    PutInt(b, off::kBackBufferFormat, r.backBufferFormat);
    PutInt(b, off::kReserved27, r.reserved27);
    PutInt(b, off::kDepthStencilFormat, r.depthStencilFormat);
    std::memcpy(b.data() + off::kAdapterDescription, r.adapterDescription.data(), kAdapterDescriptionSize);
    PutInt(b, off::kTextureDivider, r.textureDivider);
    PutByte(b, off::kNozzlesEnabled, r.nozzlesEnabled);
    PutByte(b, off::kBSphereDisplay, r.bsphereDisplay);
    PutByte(b, off::kShowBSpheres, r.showBSpheres);
    PutByte(b, off::kReserved555, r.reserved555[0]);
    PutByte(b, off::kReserved555 + 1, r.reserved555[1]);
    PutByte(b, off::kMemLog, r.memLog);
    PutInt(b, off::kMultisampleType, r.multisampleType);
    PutInt(b, off::kAdapterOrdinal, r.adapterOrdinal);
    PutByte(b, off::kPostProcess, r.postProcess);
    PutByte(b, off::kLanguage, r.languageLength);
    b[off::kLanguage + 1] = r.language[0];
    b[off::kLanguage + 2] = r.language[1];
    return b;
}

bool DecodeConfigRecord(std::string_view b, ConfigRecord& r) {
    if (b.size() != kConfigRecordSize) return false;
    r.reserved0 = GetInt(b, off::kReserved0);
    r.fullScreen = GetByte(b, off::kFullScreen);
    r.reserved5 = GetByte(b, off::kReserved5);
    r.soundOn = GetByte(b, off::kSoundOn);
    r.deviceType = GetInt(b, off::kDeviceType);
    r.width = GetInt(b, off::kWidth);
    r.height = GetInt(b, off::kHeight);
    r.refreshRate = GetInt(b, off::kRefreshRate);
    r.backBufferFormat = GetInt(b, off::kBackBufferFormat);
    r.reserved27 = GetInt(b, off::kReserved27);
    r.depthStencilFormat = GetInt(b, off::kDepthStencilFormat);
    std::memcpy(r.adapterDescription.data(), b.data() + off::kAdapterDescription, kAdapterDescriptionSize);
    r.textureDivider = GetInt(b, off::kTextureDivider);
    r.nozzlesEnabled = GetByte(b, off::kNozzlesEnabled);
    r.bsphereDisplay = GetByte(b, off::kBSphereDisplay);
    r.showBSpheres = GetByte(b, off::kShowBSpheres);
    r.reserved555 = {GetByte(b, off::kReserved555), GetByte(b, off::kReserved555 + 1)};
    r.memLog = GetByte(b, off::kMemLog);
    r.multisampleType = GetInt(b, off::kMultisampleType);
    r.adapterOrdinal = GetInt(b, off::kAdapterOrdinal);
    r.postProcess = GetByte(b, off::kPostProcess);
    r.languageLength = GetByte(b, off::kLanguage);
    r.language = {b[off::kLanguage + 1], b[off::kLanguage + 2]};
    return true;
}

namespace {

// The fields a game cannot run with outside their ranges.
struct CheckedField {
    const char* name;
    int32_t ConfigRecord::*field;
    int32_t lo, hi;
};
constexpr CheckedField kCheckedFields[] = {
    {"width", &ConfigRecord::width, 1, kMaxScreenSide},
    {"height", &ConfigRecord::height, 1, kMaxScreenSide},
    {"refresh rate", &ConfigRecord::refreshRate, 0, kMaxRefreshRate},
    {"texture divider", &ConfigRecord::textureDivider, 0, INT32_MAX},
    {"multisample type", &ConfigRecord::multisampleType, 0, kMaxMultisampleType},
    {"adapter ordinal", &ConfigRecord::adapterOrdinal, 0, INT32_MAX},
};

bool FieldUsable(const ConfigRecord& r, const CheckedField& f) {
    return r.*f.field >= f.lo && r.*f.field <= f.hi;
}

} // namespace

std::vector<std::string> ConfigRecordProblems(const ConfigRecord& r) {
    std::vector<std::string> problems;
    for (const CheckedField& f : kCheckedFields)
        if (!FieldUsable(r, f))
            problems.push_back(std::string("Setup record \"config.bin\": ") + f.name + " " +
                               std::to_string(r.*f.field) + " is outside " + std::to_string(f.lo) + ".." +
                               std::to_string(f.hi));
    return problems;
}

std::string CheckConfigRecord(const ConfigRecord& r) {
    const std::vector<std::string> problems = ConfigRecordProblems(r);
    return problems.empty() ? std::string() : problems.front();
}

ConfigRecord RepairConfigRecord(const ConfigRecord& r, const ConfigRecord& defaults) {
    ConfigRecord out = r;
    for (const CheckedField& f : kCheckedFields)
        if (!FieldUsable(r, f)) out.*f.field = defaults.*f.field;
    return out;
}

bool WriteConfigRecordFile(std::string_view path, const ConfigRecord& record) {
    return platform::WriteFile(path, EncodeConfigRecord(record));
}

void SetConfigDefaults() {
    SetupRecord = DefaultConfigRecord();
}

std::string SetupProgramPath() {
    return platform::ExeFolder() + "/setup";
}

void RunSetupAndHalt() {
    std::string path = SetupProgramPath();
    if (!platform::StartProgram(path))
        platform::ShowMessageBox("Can not start the setup program: " + path, "error");
    Halt();
}

void LoadConfigBin() {
    SetupRecord = ConfigRecord{};
    if (!platform::FileExists(kConfigFileName) || platform::FileSize(kConfigFileName) != kConfigRecordSize) {
        SetConfigDefaults();
        RunSetupAndHalt();
        return;
    }
    std::string bytes;
    ConfigRecord read;
    if (!platform::ReadFile(kConfigFileName, bytes) || !DecodeConfigRecord(bytes, read)) {
        RunSetupAndHalt();
        return;
    }
    // A record the game cannot run with is as good as none: say which field and
    // let the player choose again.
    std::string problem = CheckConfigRecord(read);
    if (!problem.empty()) {
        ErrorReport(problem, "");
        platform::ShowMessageBox(problem, "error");
        SetConfigDefaults();
        RunSetupAndHalt();
        return;
    }
    SetupRecord = read;
    // The record's switches and facts that the logs and error reports read.
    SetMemLogEnabled(SetupRecord.memLog != 0);
    ErrorLogSources& sources = GetErrorLogSources();
    sources.videoCard = [] { return SetupRecord.AdapterDescription(); };
    sources.resolution = [] {
        return std::to_string(SetupRecord.width) + "x" + std::to_string(SetupRecord.height);
    };
}

} // namespace vesk
