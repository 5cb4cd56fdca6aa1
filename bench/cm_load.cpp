// Loading model files: a 50,000-triangle grid and a big one (a million
// triangles, about 28 MB) parsed from memory and loaded from a file, and the
// game's own models and animations loaded from the game folder, each beside a
// plain copy of the same bytes so the ratio can be read off one run.
#include "physics/cm_tree.h"
#include "physics/cm_writer.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vesk;

// A cols x rows quad surface (2 * cols * rows triangles) in one object.
std::string GridModel(uint32_t cols, uint32_t rows) {
    CMSceneClass scene("grid");
    CMGeomObjClass* o = scene.NewGeomObj();
    o->SetNames("grid", "", "");
    o->SetVertices((cols + 1) * (rows + 1));
    for (uint32_t r = 0; r <= rows; ++r)
        for (uint32_t c = 0; c <= cols; ++c) {
            const float x = static_cast<float>(c), y = static_cast<float>(r);
            o->SetVertex(r * (cols + 1) + c, {x, y, std::sin(x * 0.1f) * std::cos(y * 0.1f)}, {0, 0, 1},
                         x / static_cast<float>(cols), y / static_cast<float>(rows));
        }
    o->SetIndices(cols * rows * 6);
    uint32_t i = 0;
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < cols; ++c) {
            const uint32_t a = r * (cols + 1) + c, b = a + 1, d = a + cols + 1, e = d + 1;
            for (uint32_t v : {a, d, b, b, d, e}) o->SetIndex(i++, v);
        }
    return scene.ToBytes();
}

const std::string& SmallModel() {
    static const std::string bytes = GridModel(125, 200); // 50,000 triangles
    return bytes;
}
const std::string& BigModel() {
    static const std::string bytes = GridModel(500, 1000); // 1,000,000 triangles
    return bytes;
}

// The big model written once to a file of its own.
const std::string& BigModelFile() {
    static const std::string path = [] {
        const std::string file =
            (std::filesystem::temp_directory_path() / ("vesk_bench_grid_" + std::to_string(getpid()) + ".cm"))
                .string();
        platform::WriteFile(file, BigModel());
        std::atexit([] { std::filesystem::remove(BigModelFile()); });
        return file;
    }();
    return path;
}

void SetBytes(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// The yardstick: a copy of the same bytes into a buffer that stays allocated.
void CopyBytes(benchmark::State& state, const std::string& bytes) {
    std::string target(bytes.size(), '\0');
    for (auto _ : state) {
        std::memcpy(target.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, bytes.size());
}

void ParseBytes(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        CMTreeClass tree;
        tree.Parse(bytes, "grid.cm");
        benchmark::DoNotOptimize(tree.GeomObjects().data());
    }
    SetBytes(state, bytes.size());
}

void BM_MemcpySmallModel(benchmark::State& state) {
    CopyBytes(state, SmallModel());
}
BENCHMARK(BM_MemcpySmallModel)->Unit(benchmark::kMicrosecond);

void BM_LoadModel50kTriangles(benchmark::State& state) {
    ParseBytes(state, SmallModel());
    state.counters["triangles"] = 50000;
}
BENCHMARK(BM_LoadModel50kTriangles)->Unit(benchmark::kMicrosecond);

// The same through the engine's load path (its log lines and memory mark included).
void BM_LoadFromMemory50kTriangles(benchmark::State& state) {
    const std::string& bytes = SmallModel();
    for (auto _ : state) {
        CMTreeClass tree;
        tree.LoadFromMemory(bytes, "grid.cm");
        benchmark::DoNotOptimize(tree.GeomObjects().data());
    }
    SetBytes(state, bytes.size());
}
BENCHMARK(BM_LoadFromMemory50kTriangles)->Unit(benchmark::kMicrosecond);

void BM_MemcpyBigModel(benchmark::State& state) {
    CopyBytes(state, BigModel());
}
BENCHMARK(BM_MemcpyBigModel)->Unit(benchmark::kMillisecond);

void BM_ParseBigModel(benchmark::State& state) {
    ParseBytes(state, BigModel());
}
BENCHMARK(BM_ParseBigModel)->Unit(benchmark::kMillisecond);

// From the file (warm in the page cache) through the engine's file path.
void BM_LoadBigModelFromFile(benchmark::State& state) {
    const std::string& file = BigModelFile();
    for (auto _ : state) {
        CMTreeClass tree;
        tree.LoadFromFile(file);
        benchmark::DoNotOptimize(tree.GeomObjects().data());
    }
    SetBytes(state, BigModel().size());
}
BENCHMARK(BM_LoadBigModelFromFile)->Unit(benchmark::kMillisecond);

// ---- the game's own models ------------------------------------------------------

namespace fs = std::filesystem;

// Every model and animation file of the built game folder, named as the game
// names them (relative to the folder, a model without its ".cm"), with its bytes.
struct GameModels {
    std::string folder;
    std::vector<std::string> names;
    std::vector<std::string> bytes;
    size_t total = 0, largest = 0;
};

const GameModels& TheGameModels() {
    static const GameModels set = [] {
        GameModels m;
        const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
        std::error_code ec;
        if (!fs::is_directory(folder / "models", ec)) return m;
        m.folder = folder.string();
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(folder / "models", ec))
            if (e.is_regular_file() && (e.path().extension() == ".cm" || e.path().extension() == ".cma"))
                files.push_back(fs::relative(e.path(), folder));
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            std::string bytes;
            if (!platform::ReadFile((folder / f).string(), bytes)) continue;
            std::string name = f.generic_string();
            if (f.extension() == ".cm") name.resize(name.size() - 3);
            m.total += bytes.size();
            m.largest = std::max(m.largest, bytes.size());
            m.names.push_back(std::move(name));
            m.bytes.push_back(std::move(bytes));
        }
        return m;
    }();
    return set;
}

// Runs `each`(file index) over the whole set per iteration, from the game
// folder as the current folder (the game's names are relative to it).
template <class Each> void OverGameModels(benchmark::State& state, Each&& each) {
    const GameModels& set = TheGameModels();
    if (set.names.empty())
        return state.SkipWithError("no game folder with models (build the target game_folder first)");
    const std::string before = platform::CurrentFolder();
    platform::SetCurrentFolder(set.folder);
    for (auto _ : state)
        for (size_t i = 0; i < set.names.size(); ++i) each(i);
    platform::SetCurrentFolder(before);
    SetBytes(state, set.total);
    state.counters["files"] = static_cast<double>(set.names.size());
    state.counters["per_file"] =
        benchmark::Counter(static_cast<double>(state.iterations() * set.names.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The yardstick: each file's bytes copied into one buffer that stays allocated.
void BM_MemcpyGameModels(benchmark::State& state) {
    const GameModels& set = TheGameModels();
    std::string target(set.largest, '\0');
    OverGameModels(state, [&](size_t i) {
        std::memcpy(target.data(), set.bytes[i].data(), set.bytes[i].size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    });
}
BENCHMARK(BM_MemcpyGameModels)->Unit(benchmark::kMicrosecond);

// The same bytes parsed from memory: the reader alone.
void BM_ParseGameModels(benchmark::State& state) {
    const GameModels& set = TheGameModels();
    OverGameModels(state, [&](size_t i) {
        CMTreeClass tree;
        tree.Parse(set.bytes[i], set.names[i]);
        benchmark::DoNotOptimize(tree.GeomObjects().data());
    });
}
BENCHMARK(BM_ParseGameModels)->Unit(benchmark::kMicrosecond);

// Only the files' bytes read, through the same path layer and file view: what
// loading from files costs before any parsing.
void BM_ReadGameModelFiles(benchmark::State& state) {
    const GameModels& set = TheGameModels();
    OverGameModels(state, [&](size_t i) {
        const std::string& name = set.names[i];
        platform::FileView view;
        view.Open(name.find(".cm") == std::string::npos ? name + ".cm" : name);
        benchmark::DoNotOptimize(view.Bytes().data());
    });
}
BENCHMARK(BM_ReadGameModelFiles)->Unit(benchmark::kMicrosecond);

// The floor under any load from files: each file opened, its size asked and
// closed again, with no path work, no read and no parse. Whatever a load of
// the set does beyond these system calls comes on top of this.
void BM_OpenGameModelFiles(benchmark::State& state) {
    const GameModels& set = TheGameModels();
    std::vector<std::string> files;
    for (const std::string& name : set.names)
        files.push_back(set.folder + "/" + (name.find(".cm") == std::string::npos ? name + ".cm" : name));
    OverGameModels(state, [&](size_t i) {
        const int fd = ::open(files[i].c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0) {
            ::fstat(fd, &st);
            ::close(fd);
        }
        benchmark::DoNotOptimize(st.st_size);
    });
}
BENCHMARK(BM_OpenGameModelFiles)->Unit(benchmark::kMicrosecond);

// Loaded as the game loads them: by name from the game folder, through the
// path layer, the file view and the load's logs (off, as a player has them).
void BM_LoadGameModelsFromFiles(benchmark::State& state) {
    const GameModels& set = TheGameModels();
    OverGameModels(state, [&](size_t i) {
        CMTreeClass tree;
        tree.LoadFromFile(set.names[i]);
        benchmark::DoNotOptimize(tree.GeomObjects().data());
    });
}
BENCHMARK(BM_LoadGameModelsFromFiles)->Unit(benchmark::kMicrosecond);

} // namespace
