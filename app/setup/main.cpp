// The setup program: chooses the display, sound and post-processing settings
// and writes the setup record "config.bin" into the current folder, where the
// game reads it. On a terminal it asks; with options it writes at once.
#include "core/config_record.h"
#include "platform/display_modes.h"
#include "platform/files.h"
#include "platform/text.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using vesk::ConfigRecord;

constexpr int32_t kDepthFormatD24S8 = 75;
constexpr const char* kDefaultAdapterName = "Default display adapter";

const char* kUsage = "usage: setup [options]\n"
                     "Writes the setup record \"config.bin\" into the current folder.\n"
                     "It starts from the usable values of the record already there (a record it\n"
                     "cannot use as it is stays beside as \"config.bin.bak\"); without options it\n"
                     "asks on a terminal and keeps those values otherwise.\n"
                     "  --defaults            start from a window of 1024x768, sound on, no post-processing\n"
                     "  --ask                 ask even when the input is not a terminal\n"
                     "  --width N, --height N size of the window or full screen in pixels\n"
                     "  --refresh N           full-screen refresh rate in Hz\n"
                     "  --fullscreen, --windowed\n"
                     "  --sound, --no-sound\n"
                     "  --postprocess, --no-postprocess\n"
                     "  --language XX         language prefix of the text files (up to 2 letters)\n"
                     "  --texture-divider N   texture size divider\n"
                     "  --multisample N       multisample type (0 = none)\n"
                     "  --memlog              write the memory log\n";

// The record a fresh installation starts from.
ConfigRecord SetupDefaults() {
    ConfigRecord r = vesk::DefaultConfigRecord();
    r.soundOn = 1;
    r.depthStencilFormat = kDepthFormatD24S8;
    r.SetAdapterDescription(kDefaultAdapterName);
    return r;
}

bool ParseNumber(const std::string& text, int32_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

// ---- questions on the terminal ---------------------------------------------

std::optional<std::string> AskLine(const std::string& question) {
    std::cout << question << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool AskYesNo(const std::string& question, bool def) {
    for (;;) {
        auto answer = AskLine(question + (def ? " [Y/n] " : " [y/N] "));
        if (!answer || answer->empty()) return def;
        char c = (*answer)[0];
        if (c == 'y' || c == 'Y') return true;
        if (c == 'n' || c == 'N') return false;
        std::cout << "Please answer y or n.\n";
    }
}

int32_t AskNumber(const std::string& question, int32_t def, int32_t lo, int32_t hi) {
    for (;;) {
        auto answer = AskLine(question + " [" + std::to_string(def) + "] ");
        if (!answer || answer->empty()) return def;
        int32_t v = 0;
        if (ParseNumber(*answer, v) && v >= lo && v <= hi) return v;
        std::cout << "Please enter a number from " << lo << " to " << hi << ".\n";
    }
}

void AskDisplay(ConfigRecord& r) {
    std::vector<vesk::platform::DisplayMode> modes = vesk::platform::DesktopDisplayModes();
    std::string name = vesk::platform::DesktopDisplayName();
    // The terminal and SDL speak UTF-8; the record holds the game's own text.
    if (!name.empty()) r.SetAdapterDescription(vesk::platform::Utf8ToCp1251(name));
    int32_t chosen = 0;
    if (!modes.empty()) {
        std::cout << "Display modes" << (name.empty() ? "" : " of " + name) << ":\n";
        int32_t def = 0;
        for (size_t i = 0; i < modes.size(); ++i) {
            const auto& m = modes[i];
            std::cout << "  " << i + 1 << ") " << m.width << "x" << m.height;
            if (m.refreshRate > 0) std::cout << " " << m.refreshRate << " Hz";
            std::cout << "\n";
            if (def == 0 && m.width == r.width && m.height == r.height) def = static_cast<int32_t>(i + 1);
        }
        std::cout << "  0) another size\n";
        chosen = AskNumber("Display mode", def, 0, static_cast<int32_t>(modes.size()));
    }
    if (chosen > 0) {
        const auto& m = modes[static_cast<size_t>(chosen - 1)];
        r.width = m.width;
        r.height = m.height;
        if (m.refreshRate > 0) r.refreshRate = m.refreshRate;
    } else {
        r.width = AskNumber("Width in pixels", r.width, 1, 16384);
        r.height = AskNumber("Height in pixels", r.height, 1, 16384);
    }
}

void AskAll(ConfigRecord& r) {
    AskDisplay(r);
    r.fullScreen = AskYesNo("Full screen?", r.fullScreen == 1) ? 1 : 0;
    r.soundOn = AskYesNo("Sound?", r.soundOn != 0) ? 1 : 0;
    r.postProcess = AskYesNo("Post-processing effects?", r.postProcess != 0) ? 1 : 0;
    for (;;) {
        auto lang =
            AskLine("Language prefix of the text files (up to 2 letters, empty for the game's own) [" +
                    vesk::platform::Cp1251ToUtf8(r.Language()) + "] ");
        if (!lang || lang->empty()) break;
        std::string prefix = vesk::platform::Utf8ToCp1251(*lang);
        if (prefix.size() <= vesk::kLanguageMaxLength) {
            r.SetLanguage(prefix);
            break;
        }
        std::cout << "At most two letters, please.\n";
    }
}

// ---- options -----------------------------------------------------------------

struct Options {
    bool ask = false;
    bool any = false;
    bool defaults = false;
};

// Applies the options to the record; false (with a message) on a bad one.
bool ApplyOptions(int argc, char** argv, ConfigRecord& r, Options& opt, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        opt.any = true;
        auto number = [&](int32_t& field) {
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], field)) {
                error = a + " needs a number";
                return false;
            }
            ++i;
            return true;
        };
        if (a == "--defaults") {
            opt.defaults = true;
        } else if (a == "--ask") {
            opt.ask = true;
        } else if (a == "--width") {
            if (!number(r.width)) return false;
        } else if (a == "--height") {
            if (!number(r.height)) return false;
        } else if (a == "--refresh") {
            if (!number(r.refreshRate)) return false;
        } else if (a == "--texture-divider") {
            if (!number(r.textureDivider)) return false;
        } else if (a == "--multisample") {
            if (!number(r.multisampleType)) return false;
        } else if (a == "--fullscreen") {
            r.fullScreen = 1;
        } else if (a == "--windowed") {
            r.fullScreen = 0;
        } else if (a == "--sound") {
            r.soundOn = 1;
        } else if (a == "--no-sound") {
            r.soundOn = 0;
        } else if (a == "--postprocess") {
            r.postProcess = 1;
        } else if (a == "--no-postprocess") {
            r.postProcess = 0;
        } else if (a == "--memlog") {
            r.memLog = 1;
        } else if (a == "--language") {
            std::string prefix = i + 1 < argc ? vesk::platform::Utf8ToCp1251(argv[i + 1]) : std::string();
            if (i + 1 >= argc || prefix.size() > vesk::kLanguageMaxLength) {
                error = "--language needs a prefix of at most two letters";
                return false;
            }
            r.SetLanguage(prefix);
            ++i;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    return true;
}

// The record already in the folder, its usable fields kept and the others
// set to the defaults, so that a record the game refused for one field does
// not cost the player every other choice. A record that cannot be used as it
// is stays beside as "config.bin.bak". False when there is no record.
bool StartFromCurrentRecord(ConfigRecord& record) {
    std::string bytes;
    if (!vesk::platform::ReadFile(vesk::kConfigFileName, bytes)) return false;
    ConfigRecord current;
    const bool decoded = vesk::DecodeConfigRecord(bytes, current);
    const std::vector<std::string> problems =
        decoded ? vesk::ConfigRecordProblems(current) : std::vector<std::string>();
    if (!decoded || !problems.empty()) {
        if (vesk::platform::WriteFile(vesk::kConfigBackupFileName, bytes))
            std::cout << "The old " << vesk::kConfigFileName << " is kept as " << vesk::kConfigBackupFileName
                      << ".\n";
        if (!decoded) {
            std::cout << "It is not a setup record (" << bytes.size()
                      << " bytes): starting from the defaults.\n";
            return false;
        }
        for (const std::string& p : problems) std::cout << p << ": the default is used.\n";
    }
    record = vesk::RepairConfigRecord(current, SetupDefaults());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
    }
    ConfigRecord record = SetupDefaults();
    Options opt;
    std::string error;
    if (!ApplyOptions(argc, argv, record, opt, error)) {
        std::cerr << "setup: " << error << "\n" << kUsage;
        return 2;
    }
    bool fromCurrent = false;
    if (!opt.defaults && StartFromCurrentRecord(record)) {
        fromCurrent = true;
        ApplyOptions(argc, argv, record, opt, error);
    }
    // Ask only a terminal this program has to itself: the game starts it and
    // ends at once, leaving it in the background, where a read must fail (and
    // take the defaults) rather than stop the program.
    std::signal(SIGTTIN, SIG_IGN);
    bool ownTerminal = isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp();
    if (opt.ask || (!opt.any && ownTerminal)) {
        AskAll(record); // the record's values are the answers' defaults
    } else if (!opt.any) {
        std::cout << (fromCurrent ? "No terminal to ask on: keeping the current settings.\n"
                                  : "No terminal to ask on: writing the default settings.\n");
    }
    std::string problem = vesk::CheckConfigRecord(record);
    if (!problem.empty()) {
        std::cerr << "setup: " << problem << "\n";
        return 2;
    }
    if (!vesk::WriteConfigRecordFile(vesk::kConfigFileName, record)) {
        std::cerr << "setup: can not write " << vesk::kConfigFileName << " in the current folder\n";
        return 1;
    }
    std::cout << "Wrote " << vesk::kConfigFileName << ": " << record.width << "x" << record.height << " "
              << (record.fullScreen ? "full screen" : "window") << ", sound "
              << (record.soundOn ? "on" : "off") << ", post-processing "
              << (record.postProcess ? "on" : "off");
    if (!record.Language().empty())
        std::cout << ", language " << vesk::platform::Cp1251ToUtf8(record.Language());
    std::cout << "\n";
    return 0;
}
