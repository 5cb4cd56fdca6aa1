// The desktop's frame: a tick of a tree of 600 buttons with 100 running
// variators under it, the mouse motion dispatched through it, and one key
// press and release.
#include <benchmark/benchmark.h>

#include <string>

#include "interface/desktop.h"
#include "interface/variators.h"

namespace vesk {
namespace {

struct Desk {
    TDeskTop* desk = nullptr;
    TDrawRecorder recorder;
    Desk() {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        StartInterfaceCore();
        desk = TEngineObject::New<TDeskTop>();
        InterfaceTools->SetDesktop(desk);
        TSimpleNode* layer = desk->CreateChild("TMegaButton", "");
        layer->SetProperty("NAME", "CursorLayer");
        layer->CreateChild("TMegaButton", "")->SetProperty("NAME", "arrow");
        desk->Cursor().Init(desk);
        for (int i = 0; i < 600; ++i) {
            TSimpleNode* b = desk->CreateChild("TMegaButton", "");
            b->SetProperty("NAME", "b" + std::to_string(i));
            b->SetProperty("LEFT", std::to_string(i % 1000));
            b->SetProperty("WIDTH", "20");
            b->SetProperty("HEIGHT", "20");
        }
        for (int i = 0; i < 100; ++i) {
            auto* v = static_cast<TVariator*>(desk->CreateChild("TVarLeft", ""));
            v->SetProperty("NAME", "v" + std::to_string(i));
            v->SetProperty("CONTROL", "b" + std::to_string(i));
            v->SetProperty("REPEAT", "0");
            v->Start();
        }
    }
    ~Desk() {
        InterfaceTools->SetDesktop(nullptr);
        desk->Free();
        EndInterfaceCore();
    }
};

void BM_FrameTick(benchmark::State& state) {
    Desk d;
    for (auto _ : state) d.desk->FrameTick(16);
}
BENCHMARK(BM_FrameTick);

void BM_MouseMove(benchmark::State& state) {
    Desk d;
    int dx = 3;
    for (auto _ : state) {
        d.desk->MouseMoveEvent(dx, 1);
        dx = -dx;
    }
}
BENCHMARK(BM_MouseMove);

void BM_KeyPressRelease(benchmark::State& state) {
    Desk d;
    for (auto _ : state) {
        d.desk->KeyEvent(30, true);
        d.desk->KeyEvent(30, false);
    }
}
BENCHMARK(BM_KeyPressRelease);

} // namespace
} // namespace vesk
