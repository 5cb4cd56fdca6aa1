#pragma once
// Makes the central error report observable in tests: records every report
// and message box, and turns the halt into an exception.
#include <stdexcept>
#include <string>
#include <vector>

namespace vesk::test {

struct Halted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Report {
    std::string text;
    std::string flags;
};

class ErrorTrap {
public:
    ErrorTrap();
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    std::vector<Report> reports;
    std::vector<Report> boxes; // text, caption
    int displayReleases = 0;
    int shutdowns = 0;
    // Text of the last report with "h" (what the program ended on).
    std::string lastFatal;
    bool HasReport(const std::string& text) const;
};

// A fresh folder under the system temp folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace vesk::test
