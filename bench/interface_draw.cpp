// One interface frame of a menu/HUD-like tree of 50 nodes (panels with
// pictures, framed buttons, labels with wrapped and aligned text, bars, a
// timer), ticked, laid out and drawn through the interface service on the
// null device: with the labels' layout kept from frame to frame, and with
// every label's text changing each frame so it is laid out again.
#include <benchmark/benchmark.h>

#include <string>

#include "core/lua_machine.h"
#include "core/services.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "null_screen.h"
#include "render/device.h"
#include "render/texture.h"

using namespace vesk;
using namespace vesk::platform;

namespace {

struct Menu {
    // First made, last gone: the device outlives what draws on it.
    bench::NullScreen screen;
    Menu() {
        CreateLuaMachine();
        InstallInterfaceServices(services);
        services.desktop->InitCore();
        services.desktop->Create();
        LuaMachine->RunString(R"(
            local D = engine_Desktop
            local n = 0
            local function add(name, parent, class, ...)
              D("insert", name, parent, "", class)
              D("update", name, unpack(arg))
              n = n + 1
            end
            for p = 1, 4 do
              local panel = "panel" .. p
              add(panel, "desktop", "TMegaButton", "LEFT", tostring(p * 200), "TOP", "40", "WIDTH", "190",
                  "HEIGHT", "600", "IMAGE", "interface\\panel", "COLOR", "80203040", "FRAMECOLOR", "FF5AA0DC")
              add(panel .. "t", panel, "TLabelNode", "LEFT", "10", "TOP", "8", "WIDTH", "170", "HEIGHT", "40",
                  "FONTSIZE", "16", "TEXT", "Panel " .. p, "TEXTALIGN", "CENTER", "TEXTVERTALIGN", "CENTER",
                  "TEXTSTYLE", "SHADOW")
              for b = 1, 4 do
                add(panel .. "b" .. b, panel, "TMegaButton", "LEFT", "10", "TOP", tostring(40 + b * 50),
                    "WIDTH", "170", "HEIGHT", "40", "COLOR", "C0183050", "FRAMECOLOR", "FF5AA0DC",
                    "TEXT", "Button " .. b, "FONTSIZE", "14", "TEXTALIGN", "CENTER", "TEXTVERTALIGN", "CENTER")
              end
              add(panel .. "n", panel, "TLabelNode", "LEFT", "10", "TOP", "300", "WIDTH", "170", "HEIGHT", "120",
                  "FONTSIZE", "12", "TEXT", "A note that wraps over #2several#0 rows of this narrow panel.")
              add(panel .. "bar", panel, "TActiveHelperBar", "LEFT", "10", "TOP", "440", "WIDTH", "170",
                  "HEIGHT", "10", "BARVALUE", "0.4", "DCOLOR1_50", "FFE0C040", "DCOLOR2_50", "60203040")
              for i = 1, 2 do
                add(panel .. "v" .. i, panel, "TLabelNode", "LEFT", "10", "TOP", tostring(450 + i * 20),
                    "WIDTH", "170", "HEIGHT", "18", "FONTSIZE", "12", "TEXT", "Value " .. i * 25 .. "%",
                    "TEXTALIGN", "RIGHT")
              end
              add("Bar_1", panel .. "bar", "TMegaButton", "HEIGHT", "10")
              add("Bar_2", panel .. "bar", "TMegaButton", "HEIGHT", "10")
            end
            add("header", "desktop", "TLabelNode", "LEFT", "200", "TOP", "8", "WIDTH", "600", "HEIGHT", "24",
                "FONTSIZE", "18", "TEXT", "VESK ANNALS", "TEXTALIGN", "CENTER")
            add("timer", "desktop", "TGameTimer", "LEFT", "900", "TOP", "8", "WIDTH", "100", "HEIGHT", "16",
                "TIMER", "90")
            nodes = n
        )");
        services.desktop->SetScriptsLoaded();
        services.desktop->EndStartup();
    }
    ~Menu() {
        services.desktop->Release();
        services.desktop->FreeCore();
        TEODestroyManager->Flush();
        FreeLuaMachine();
    }
    void Frame() {
        services.desktop->FrameTick(16);
        services.desktop->Update();
        services.desktop->Render();
    }

    CoreServices services;
};

// The nodes the script made (50).
double NodeCount() {
    lua_getglobal(LuaMachine->State(), "nodes");
    const double n = lua_tonumber(LuaMachine->State(), -1);
    lua_pop(LuaMachine->State(), 1);
    return n;
}

void BM_MenuFrame(benchmark::State& state) {
    Menu menu;
    for (auto _ : state) menu.Frame();
    state.counters["nodes"] = NodeCount();
}
BENCHMARK(BM_MenuFrame)->Unit(benchmark::kMicrosecond);

void BM_MenuFrameTextsChanging(benchmark::State& state) {
    Menu menu;
    int frame = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string n = std::to_string(++frame % 100);
        for (int p = 1; p <= 4; ++p) {
            const std::string panel = "panel" + std::to_string(p);
            LuaMachine->RunString("setfast_text('" + panel + "t', 'Panel " + n + "') setfast_text('" + panel +
                                  "n', 'Note " + n + " wraps over #2several#0 rows of this narrow panel.')");
            for (int b = 1; b <= 4; ++b)
                LuaMachine->RunString("setfast_text('" + panel + "b" + std::to_string(b) + "', 'Button " + n +
                                      "')");
        }
        state.ResumeTiming();
        menu.Frame();
    }
    state.counters["nodes"] = NodeCount();
}
BENCHMARK(BM_MenuFrameTextsChanging)->Unit(benchmark::kMicrosecond);

} // namespace
