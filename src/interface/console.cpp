#include "interface/console.h"

#include "core/lua_readers.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/application.h"
#include "core/lua_machine.h"
#include "core/string_tables.h"
#include "core/var_list.h"
#include "interface/interface_parts.h"
#include "interface/simple_node.h"
#include "interface/text_layer.h"
#include "platform/files.h"
#include "platform/text.h"
#include "shared/errors.h"

namespace vesk {

std::unique_ptr<TConsole> Console;

namespace {

void RunLua(const std::string& chunk, const std::string& guard = "") {
    if (LuaMachine && LuaMachine->IsOpen()) LuaMachine->RunString(chunk, guard);
}

// The scripts' mirror of the lines: the engine writes lines (the sound
// engine's start-up message) before the main script has made it, and those
// stay in the console alone.
void RunMirror(const std::string& chunk) {
    RunLua(chunk, "iConsole");
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool Same(const std::string& a, const char* b) {
    return platform::SameTextCp1251(a, b);
}

std::string ValueText(const VarValue& v) {
    return v.IsEmpty() ? "#NULL#" : v.AsString();
}

std::string VectorText(const Vec3& v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "v(%.1f %.1f %.1f)", static_cast<double>(v.x), static_cast<double>(v.y),
                  static_cast<double>(v.z));
    return buf;
}

// Reads a number the way the settings do; "" when it converts, else the message.
std::string ConvertValue(const std::string& text, VarType type, VarValue& out) {
    const VarValue source{text};
    bool ok = true;
    switch (type) {
    case VarType::Integer: {
        // A number beyond 32 bits is an overflow, not bad input.
        errno = 0;
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (end != text.c_str() && *end == '\0' && (errno == ERANGE || d > 2147483647.0 || d < -2147483648.0))
            return "ERROR: Variant type overflow";
        const int32_t v = source.AsInteger(&ok);
        if (!ok) return "ERROR: Ivalid numeric input";
        out = VarValue(v);
        return "";
    }
    case VarType::Single: {
        const float v = source.AsSingle(&ok);
        if (!ok) return "ERROR: Ivalid numeric input";
        if (!std::isfinite(v)) return "ERROR: Variant type overflow";
        out = VarValue(v);
        return "";
    }
    case VarType::Boolean: {
        const bool v = source.AsBoolean(&ok);
        if (!ok) return "ERROR: Variant type conversion error";
        out = VarValue(v);
        return "";
    }
    case VarType::String:
    case VarType::Empty:
        out = VarValue(text);
        return "";
    }
    return "ERROR: Variant error";
}

} // namespace

TConsole::TConsole() {
    lines_.reserve(64);
}

void TConsole::Clear() {
    lineCount_ = 0;
    lines_.clear();
    lastUpdateCount_ = 0;
    changed_ = true;
    RunMirror("iConsole.Clear()");
}

void TConsole::AddLine(const std::string& text) {
    if (!TextLayer) return;
    changed_ = true;
    std::vector<std::string> display;
    const int oldSize = TextLayer->FontSize();
    TextLayer->SelectFont(fontSize_);
    // Typed lines are echoed: an "@" in them that does not open hex-text is
    // shown as it stands rather than failing the decoder.
    const std::u16string wide = DrawnText(text);
    TextLayer->SplitToLines(std::u16string_view(wide), kLineWidth, display);
    TextLayer->SelectFont(static_cast<float>(oldSize));
    // An empty text is still one (empty) line of output.
    if (display.empty()) display.emplace_back();
    for (const std::string& line : display) {
        if (lineCount_ == kMaxLines) Clear();
        ++lineCount_;
        lines_.push_back(line);
        RunMirror("iConsole.AddLine(" + LuaQuote(line) + ")");
    }
    lastUpdateCount_ = lineCount_;
}

namespace {
// The command lines of a console file (comments left out); false when it cannot be read.
bool ConsoleFileLines(const std::string& path, std::vector<std::string>& lines) {
    std::string bytes;
    if (!platform::FileExists(path) || !platform::ReadFile(path, bytes)) return false;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != ';') lines.push_back(std::move(line));
        start = end + 1;
    }
    return true;
}
} // namespace

void TConsole::ExecFile(const std::string& name) {
    const std::string path = platform::ExeFolder() + "\\" + name;
    std::vector<std::string> lines;
    if (!ConsoleFileLines(path, lines)) {
        AddLine("ERROR: Console file not exists: " + path);
        return;
    }
    for (const std::string& line : lines) Execute(line);
}

std::string TConsole::PeekValue(const std::string& file, const std::string& name) {
    std::vector<std::string> lines;
    std::string value;
    if (!ConsoleFileLines(platform::ExeFolder() + "\\" + file, lines)) return value;
    for (const std::string& line : lines) {
        text_ = Trim(line) + "\r";
        pos_ = 0;
        if (!Same(ReadToken(" ="), name.c_str())) continue;
        const std::string v = ReadToken("(");
        if (!v.empty()) value = v;
    }
    return value;
}

std::string TConsole::ReadToken(const std::string& extraDelimiters) {
    const std::string delimiters = "\r\n" + extraDelimiters;
    auto isDelimiter = [&](char c) { return delimiters.find(c) != std::string::npos; };
    std::string result;
    if (!(pos_ + 1 < text_.size() && text_.size() != 1)) return result;
    if (text_[pos_] == '"') {
        result += text_[pos_++];
        while (pos_ < text_.size() && text_[pos_] != '"') result += text_[pos_++];
        if (pos_ < text_.size()) result += text_[pos_++];
        result = result.size() >= 2 ? result.substr(1, result.size() - 2) : std::string();
    } else {
        while (pos_ < text_.size() && !isDelimiter(text_[pos_])) result += text_[pos_++];
    }
    while (pos_ < text_.size() && isDelimiter(text_[pos_])) ++pos_;
    return result;
}

bool TConsole::Command(const std::string& word) {
    if (Same(word, "debug")) {
        const std::string arg = ReadToken(" ");
        if (Same(arg, "on"))
            RunLua("iDebug.SetVisible(true)");
        else if (Same(arg, "off"))
            RunLua("iDebug.SetVisible(false)");
        else
            AddLine(arg);
    } else if (Same(word, "quit") || Same(word, "exit")) {
        if (Core) Core->Shutdown(false);
    } else if (Same(word, "lua")) {
        RunLua("log(" + ReadToken("") + ")");
    } else if (Same(word, "clear")) {
        Clear();
    } else if (Same(word, "clearlog")) {
        FastLogClearFiles();
        AddLine("Logfile cleared...");
    } else {
        return false;
    }
    return true;
}

void TConsole::ListVariables(const std::string& line) {
    std::string filter = line;
    filter.erase(filter.find('*'), 1);
    filter = Trim(filter);
    AddLine(filter + "* ...");
    const std::string lowerFilter = platform::LowerCaseCp1251(filter);
    for (const auto& list : AllVarLists()) {
        for (const auto& [name, index] : list->Names()) {
            if (!filter.empty() && platform::LowerCaseCp1251(name).find(lowerFilter) == std::string::npos)
                continue;
            AddLine("  " + name + "=" + ValueText(list->Values()[static_cast<size_t>(index)]));
        }
    }
    AddLine("");
}

void TConsole::SetOrQuery(const std::string& trimmed) {
    const std::string name = ReadToken(" =");
    const std::string value = ReadToken("(");
    TVarList* list = nullptr;
    for (const auto& candidate : AllVarLists())
        if (candidate->Exists(name) || candidate->Exists(name + ".x")) {
            list = candidate.get();
            break;
        }
    if (!list) {
        AddLine("unknown variable name: " + name);
        return;
    }
    const bool vector = list->Exists(name + ".x") && list->Exists(name + ".y") && list->Exists(name + ".z");
    if (value.empty()) {
        if (vector)
            AddLine(name + "=" + VectorText(list->GetVector(name)));
        else
            AddLine(name + "=" + ValueText(list->Get(name)));
        return;
    }
    if (value == "v" && vector) {
        float parts[3] = {};
        for (float& p : parts) {
            VarValue converted;
            const std::string message = ConvertValue(ReadToken(" )"), VarType::Single, converted);
            if (!message.empty()) {
                AddLine(trimmed);
                AddLine(message);
                return;
            }
            p = converted.AsSingle();
        }
        list->SetVector(name, {parts[0], parts[1], parts[2]});
        AddLine(trimmed);
        return;
    }
    if (!list->Exists(name)) {
        AddLine("ERROR: " + trimmed);
        return;
    }
    VarValue converted;
    const std::string message = ConvertValue(value, list->Get(name).Type(), converted);
    if (!message.empty()) {
        AddLine(trimmed);
        AddLine(message);
        return;
    }
    list->Put(name, converted);
    AddLine(trimmed);
}

void TConsole::Execute(const std::string& rawLine) {
    const std::string trimmed = Trim(rawLine);
    if (trimmed.empty()) return;
    text_ = trimmed + "\r";
    pos_ = 0;
    // A command ends its line: its word is not a variable to look up.
    if (Command(ReadToken(" .["))) return;
    if (trimmed.find('*') != std::string::npos) {
        ListVariables(trimmed);
        return;
    }
    pos_ = 0;
    SetOrQuery(trimmed);
}

void InstallConsole() {
    Console = std::make_unique<TConsole>();
    GetInterfaceParts().execConsoleFile = [](const std::string& file) {
        if (Console) Console->ExecFile(file);
    };
    GetInterfaceParts().peekConsoleValue = [](const std::string& file, const std::string& name) {
        return Console ? Console->PeekValue(file, name) : std::string();
    };
}

void CreateTextLayer() {
    TextLayer = std::make_unique<TTextLayer>(tlGDI);
    // Text added without a colour of its own takes the interface's colour 2.
    if (SysColorTable) TextLayer->SetFont(SysColorTable->GetColor(2), 11.0f);
    InterfaceTextDrawer = TextLayer.get();
}

void FreeTextLayer() {
    if (InterfaceTextDrawer == TextLayer.get()) InterfaceTextDrawer = nullptr;
    TextLayer.reset();
}

} // namespace vesk
