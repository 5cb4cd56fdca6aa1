#include "core/extra_settings.h"

#include "platform/files.h"
#include "platform/text.h"
#include "shared/errors.h"

namespace vesk {

uint16_t PfxAcceptModes = 0;

int ModeNameToIndex(std::string_view name) {
    int index = 0;
    for (const char* mode : kDesktopModeNames) {
        if (platform::SameTextCp1251(name, mode)) return index;
        ++index;
    }
    return 0;
}

void ApplyExtraSettings(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find_first_of("\r\n", pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (eol < text.size() && text[eol] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;

        size_t eq = line.find('=');
        std::string key = platform::LowerCaseCp1251(line.substr(0, eq));
        std::string value =
            eq == std::string_view::npos ? std::string() : platform::LowerCaseCp1251(line.substr(eq + 1));
        if (key == "pfxacceptlist") {
            PfxAcceptModes = 0;
            size_t from = 0;
            while (from <= value.size()) {
                size_t semi = value.find(';', from);
                if (semi == std::string::npos) semi = value.size();
                // Empty items (a trailing ";") name no mode.
                if (semi > from)
                    PfxAcceptModes |=
                        static_cast<uint16_t>(1u << ModeNameToIndex(value.substr(from, semi - from)));
                from = semi + 1;
            }
        } else if (key == "log_enable") {
            LogEnabled = value == "true";
        }
    }
}

void LoadExtraSettings() {
    std::string path = platform::ExeFolder() + "/" + kExtraSettingsFileName;
    std::string text;
    if (!platform::FileExists(path) || !platform::ReadFile(path, text)) return;
    ApplyExtraSettings(text);
}

} // namespace vesk
