// Console command lines and label texts from arbitrary bytes: each input line
// goes through the console interpreter (settings lists, listing, commands) and
// the text layer's wrapping, glyph pass and label runs over a fixed-width
// font. Fatal reports end the run, never the process.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/string_tables.h"
#include "core/var_list.h"
#include "interface/console.h"
#include "interface/text_layer.h"
#include "platform/system.h"
#include "shared/errors.h"

namespace {

volatile size_t g_sink;
struct HaltedRun {};

void PrepareOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    char tmpl[] = "/tmp/vesk_fuzz_console_XXXXXX";
    if (const char* dir = mkdtemp(tmpl)) vesk::SetLogFolder(dir);
    vesk::platform::SetMessageBoxHandler(
        [](const std::string& text, const std::string&) { g_sink = text.size(); });
    vesk::GetErrorHooks().halt = [] { throw HaltedRun{}; };
    vesk::TextLayer = std::make_unique<vesk::TTextLayer>(vesk::tlGDI, [](const std::string&, int size) {
        return vesk::platform::MakeFixedWidthFont(size, 6);
    });
    vesk::Console = std::make_unique<vesk::TConsole>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareOnce();
    vesk::InitVarLists();
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        const std::string line = input.substr(start, end - start);
        start = end + 1;
        try {
            // "quit" would ask an absent core to end; nothing else is skipped.
            vesk::Console->Execute(line);
            // A lone "#" at the end is a fatal report by design (and a slow one).
            size_t hashes = 0;
            while (hashes < line.size() && line[line.size() - 1 - hashes] == '#') ++hashes;
            if (hashes % 2 == 0 && vesk::IsWellFormedHexText(line)) {
                vesk::TextLayer->AddText({0, 0, 200, 0}, line, false, static_cast<int>(line.size() % 5));
                vesk::TSmartText st([] { return vesk::TSmartTextBox{.textWidth = 120, .textHeight = 40}; },
                                    vesk::TextLayer.get());
                st.SetText(vesk::HexStr2WideString(line));
                g_sink = g_sink + st.Runs().size();
            }
        } catch (const HaltedRun&) {
        }
    }
    try {
        vesk::TextLayer->Draw();
    } catch (const HaltedRun&) {
    }
    g_sink = g_sink + static_cast<size_t>(vesk::Console->LineCount());
    // Every run frees what it made, so the leak check has nothing to chase.
    vesk::TextLayer->Clear();
    vesk::Console->Clear();
    return 0;
}
