// The interface node tree: a name lookup walking a menu tree of 2,100 buttons
// against the recently-used cache in front of it, a mouse move reaching every
// node, a tree tick and a draw into the recorder.
#include <benchmark/benchmark.h>

#include <string>

#include "interface/draw_nodes.h"
#include "interface/interface_tools.h"

namespace vesk {
namespace {

struct Tree {
    TMegaButton* root = nullptr;
    TDrawRecorder recorder;
    Tree() {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        StartInterfaceCore();
        root = TEngineObject::New<TMegaButton>();
        root->SetName("desktop");
        root->SetWidth(1024);
        root->SetHeight(768);
        // 30 windows of 10 panels of 6 buttons each.
        for (int w = 0; w < 30; ++w) {
            TSimpleNode* win = root->CreateChild("TMegaButton", "");
            win->SetProperty("NAME", "win" + std::to_string(w));
            win->SetProperty("WIDTH", "400");
            win->SetProperty("HEIGHT", "300");
            for (int p = 0; p < 10; ++p) {
                TSimpleNode* panel = win->CreateChild("TMegaButton", "");
                panel->SetProperty("NAME", "panel" + std::to_string(w) + "_" + std::to_string(p));
                panel->SetProperty("TOP", std::to_string(p * 30));
                panel->SetProperty("WIDTH", "400");
                panel->SetProperty("HEIGHT", "30");
                for (int b = 0; b < 6; ++b) {
                    TSimpleNode* btn = panel->CreateChild("TMegaButton", "");
                    btn->SetProperty("NAME", "btn" + std::to_string(w) + "_" + std::to_string(p) + "_" +
                                                 std::to_string(b));
                    btn->SetProperty("LEFT", std::to_string(b * 60));
                    btn->SetProperty("WIDTH", "50");
                    btn->SetProperty("HEIGHT", "20");
                    btn->SetProperty("COLOR", "FF404040");
                    btn->SetProperty("TEXT", "Button");
                }
            }
        }
        InterfaceDrawer = &recorder;
        InterfaceTextDrawer = &recorder;
    }
    ~Tree() {
        InterfaceDrawer = nullptr;
        InterfaceTextDrawer = nullptr;
        root->Free();
        EndInterfaceCore();
    }
};

void BM_LookupWalk(benchmark::State& state) {
    Tree t;
    int status = 0;
    for (auto _ : state) benchmark::DoNotOptimize(t.root->ChildByName("btn29_9_5", status, false, true));
}
BENCHMARK(BM_LookupWalk);

void BM_LookupCached(benchmark::State& state) {
    Tree t;
    THashEngine& cache = InterfaceTools->NodeCache();
    for (int i = 0; i < 19; ++i) cache.Add(t.root->GetChild(i));
    int status = 0;
    cache.Add(t.root->ChildByName("btn29_9_5", status, false, true));
    for (auto _ : state) benchmark::DoNotOptimize(cache.Find("btn29_9_5"));
}
BENCHMARK(BM_LookupCached);

void BM_MouseMoveAllNodes(benchmark::State& state) {
    Tree t;
    for (auto _ : state) DispatchMouseMove(t.root, 100, 100);
}
BENCHMARK(BM_MouseMoveAllNodes);

void BM_TickTree(benchmark::State& state) {
    Tree t;
    for (auto _ : state) TickTree(t.root, 16);
}
BENCHMARK(BM_TickTree);

void BM_DrawTree(benchmark::State& state) {
    Tree t;
    for (auto _ : state) {
        t.recorder.calls.clear();
        t.recorder.texts.clear();
        DrawTree(t.root);
    }
}
BENCHMARK(BM_DrawTree);

} // namespace
} // namespace vesk
