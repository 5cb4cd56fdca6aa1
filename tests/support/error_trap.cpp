#include "support/error_trap.h"

#include "platform/system.h"
#include "shared/errors.h"

#include <cstdlib>
#include <filesystem>

namespace vesk::test {

ErrorTrap::ErrorTrap() {
    ErrorHooks& h = GetErrorHooks();
    h.onReport = [this](const std::string& text, const std::string& flags) {
        reports.push_back({text, flags});
        if (flags.find('h') != std::string::npos) lastFatal = text;
    };
    h.releaseDisplay = [this] { ++displayReleases; };
    h.shutdown = [this] { ++shutdowns; };
    h.halt = [this] { throw Halted(lastFatal); };
    platform::SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption) { boxes.push_back({text, caption}); });
}

ErrorTrap::~ErrorTrap() {
    GetErrorHooks() = ErrorHooks{};
    platform::SetMessageBoxHandler(nullptr);
    PendingErrorTexts.clear();
}

bool ErrorTrap::HasReport(const std::string& text) const {
    for (const auto& r : reports)
        if (r.text == text) return true;
    return false;
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vesk_test_XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    path_ = made ? std::string(made) : std::string();
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

} // namespace vesk::test
