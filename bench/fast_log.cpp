// One fast-log line written at once (the file opened, appended and closed per
// line) against the buffered log the game runs with.
#include "shared/errors.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void WriteLines(benchmark::State& state, bool buffered) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("vesk_bench_log_" + std::to_string(getpid()));
    vesk::SetLogFolder(folder.string());
    vesk::LogEnabled = true;
    vesk::SetFastLogBuffered(buffered);
    const std::string line = "TEngineClass.Init: ObjManagerClass.Init(3DEngine)[3000] a typical line";
    for (auto _ : state) vesk::FastLogAdd(line);
    vesk::SetFastLogBuffered(false);
    vesk::LogEnabled = false;
    vesk::SetLogFolder("logs/def");
    std::filesystem::remove_all(folder);
}

void BM_LogLineWrittenAtOnce(benchmark::State& state) {
    WriteLines(state, false);
}
BENCHMARK(BM_LogLineWrittenAtOnce);

void BM_LogLineBuffered(benchmark::State& state) {
    WriteLines(state, true);
}
BENCHMARK(BM_LogLineBuffered);

} // namespace
