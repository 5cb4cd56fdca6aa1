// Loading a dialog of 100 NPC levels with 5 cues and 5 answers each from disk,
// and walking it by always taking the first answer (no Lua host: conditions
// are TRUE or FALSE texts).
#include "game/dialogs.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

using namespace vesk;

std::string Folder() {
    static std::string folder = [] {
        char tmpl[] = "/tmp/vesk_bench_dialog_XXXXXX";
        const char* dir = mkdtemp(tmpl);
        return dir ? std::string(dir) + "/" : std::string();
    }();
    return folder;
}

void WriteDialog() {
    std::string text = "<HEAD NAME=\"bench\" AUTH=\"bench\">\n<DIALOG>\n";
    for (int l = 0; l < 100; ++l) {
        text += "<LEVEL AUTH=\"npc\" LABEL=\"l" + std::to_string(l) + "\">\n";
        for (int c = 0; c < 5; ++c)
            text += "<CUE LABEL=\"c" + std::to_string(c) + "\">Line " + std::to_string(c) +
                    "<SCRIPT TYPE=\"CONDITION\">" + (c < 4 ? "FALSE" : "TRUE") + "</SCRIPT> // line\n";
        text += "<LEVEL>\n";
        for (int a = 0; a < 5; ++a)
            text += "<CUE JUMP=\"l" + std::to_string((l + 1) % 100) + "\">Answer " + std::to_string(a) + "\n";
        text += "</LEVEL>\n</LEVEL>\n";
    }
    platform::WriteFile(Folder() + "bench.dlg", text);
}

void BM_DialogLoad(benchmark::State& state) {
    WriteDialog();
    TGameDialog dialog;
    dialog.SetDialogsPath(Folder());
    for (auto _ : state) benchmark::DoNotOptimize(dialog.LoadDialog("bench.dlg", "", ""));
}
BENCHMARK(BM_DialogLoad);

void BM_DialogChooseAnswer(benchmark::State& state) {
    WriteDialog();
    TGameDialog dialog;
    dialog.SetDialogsPath(Folder());
    dialog.LoadDialog("bench.dlg", "", "");
    for (auto _ : state) {
        // Each first answer jumps to the next level, found by label from the root.
        dialog.ChooseAnswer(0);
        benchmark::DoNotOptimize(dialog.ChooseAnswer(0));
    }
}
BENCHMARK(BM_DialogChooseAnswer);

} // namespace
