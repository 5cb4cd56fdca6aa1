#pragma once
// The engine's command console: a buffer of output lines mirrored into the
// script object "iConsole", and a one-line interpreter for the debug panel,
// quitting, Lua, clearing, listing and setting the settings variables.
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class TConsole {
public:
    static constexpr int kMaxLines = 10000;
    static constexpr float kLineWidth = 983.0f;

    TConsole();

    void Clear();
    void AddLine(const std::string& text);
    // Runs a console file from the program folder.
    void ExecFile(const std::string& name);
    // The value the file's last "name=value" line gives the variable, without
    // running anything; empty when no line sets it (or the file is missing).
    std::string PeekValue(const std::string& file, const std::string& name);
    void Execute(const std::string& line);
    // Called once after the start-up files; nothing to do.
    void EmptyHook() {}

    int LineCount() const { return lineCount_; }
    // 1-based, as the scripts count them.
    const std::string& Line(int index) const { return lines_[static_cast<size_t>(index - 1)]; }
    bool Changed() const { return changed_; }
    int LastUpdateCount() const { return lastUpdateCount_; }
    float FontSize() const { return fontSize_; }

private:
    std::string ReadToken(const std::string& extraDelimiters);
    bool Command(const std::string& word);
    void ListVariables(const std::string& line);
    void SetOrQuery(const std::string& trimmed);

    bool active_ = true;
    float fontSize_ = 11.0f;
    bool changed_ = false;
    int lineCount_ = 0;
    std::vector<std::string> lines_;
    int lastUpdateCount_ = 0;

    // The token reader's text and position.
    std::string text_;
    size_t pos_ = 0;
};

// The one console, made by InstallConsole.
extern std::unique_ptr<TConsole> Console;

// Makes the console and gives the interface its console part.
void InstallConsole();
// Makes the interface's text layer (the interface text font) and lets the
// visual nodes draw text through it; the desktop calls these.
void CreateTextLayer();
void FreeTextLayer();

} // namespace vesk
