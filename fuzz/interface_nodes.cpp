// Drives a small interface tree with arbitrary script input: property sets
// and reads by key, key presses into an edit field, clicks, ticks, copies
// from patterns and drawing. Fatal reports end the run, never the process.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "interface/draw_nodes.h"
#include "interface/interface_tools.h"
#include "platform/system.h"
#include "shared/errors.h"

namespace {

volatile size_t g_sink;
struct HaltedRun {};

class View : public vesk::IDesktopView {
public:
    vesk::TSimpleNode* Root() override { return nullptr; } // no dump files
    bool DoubleClickFlag() override { return doubleClick; }
    uint8_t ModifierState() override { return modifiers; }
    vesk::TIPoint CursorPosition() override { return cursor; }
    bool doubleClick = false;
    uint8_t modifiers = 0;
    vesk::TIPoint cursor{0, 0};
};

View g_view;
vesk::TDrawRecorder g_draw;

void PrepareOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    char tmpl[] = "/tmp/vesk_fuzz_iface_XXXXXX";
    if (const char* dir = mkdtemp(tmpl)) vesk::SetLogFolder(dir);
    vesk::platform::SetMessageBoxHandler(
        [](const std::string& text, const std::string&) { g_sink = text.size(); });
    vesk::GetErrorHooks().halt = [] { throw HaltedRun{}; };
    vesk::TEODestroyManager = std::make_unique<vesk::TEODestroyManagerClass>();
    vesk::StartInterfaceCore();
    vesk::InterfaceTools->SetDesktop(&g_view);
    vesk::InterfaceDrawer = &g_draw;
    vesk::InterfaceTextDrawer = &g_draw;
}

int Number(const std::string& s) {
    int v = 0;
    for (char c : s)
        if (c >= '0' && c <= '9') v = (v * 10 + (c - '0')) % 100000;
    return v;
}

void RunLine(vesk::TMegaButton* root, const std::string& line) {
    if (line.empty()) return;
    const std::string rest = line.substr(1);
    vesk::TSimpleNode* node =
        root->ChildCount() ? root->ChildAt(Number(rest.substr(0, 1)) % root->ChildCount()) : root;
    auto* button = dynamic_cast<vesk::TMegaButton*>(node);
    switch (line[0]) {
    case 's': { // s<node><key>=<value>
        const size_t eq = rest.find('=');
        if (eq != std::string::npos && rest.size() > 1)
            node->SetProperty(rest.substr(1, eq - 1), rest.substr(eq + 1));
        break;
    }
    case 'g': {
        std::string v;
        if (rest.size() > 1) node->GetProperty(rest.substr(1), v);
        g_sink = v.size();
        break;
    }
    case 'k':
        if (button) button->KeyDown(Number(rest) % 256);
        break;
    case 'm':
        g_view.modifiers = static_cast<uint8_t>(Number(rest));
        break;
    case 'c':
        g_view.cursor = {Number(rest) % 1100, Number(rest) / 7 % 800};
        vesk::DispatchMouseMove(root, g_view.cursor.x, g_view.cursor.y);
        vesk::DispatchMouseButton(root, g_view.cursor.x, g_view.cursor.y, 0, Number(rest) % 3);
        vesk::DispatchMouseButton(root, g_view.cursor.x, g_view.cursor.y, 1, Number(rest) % 3);
        break;
    case 't':
        vesk::TickTree(root, Number(rest) % 2000);
        break;
    case 'n': // a new child, a copy of an existing node when named
        if (root->ChildCount() < 16) {
            vesk::TSimpleNode* n = root->CreateChild("TMegaButton", rest.size() > 1 ? rest.substr(1) : "");
            if (n) n->SetProperty("NAME", "n" + std::to_string(root->ChildCount()));
        }
        break;
    case 'x':
        if (node != root) root->DeleteChild(node->Name());
        break;
    case 'e':
        if (button) button->Execute(rest.substr(rest.empty() ? 0 : 1));
        break;
    case 'd':
        g_draw.calls.clear();
        g_draw.images.clear();
        g_draw.texts.clear();
        vesk::DrawTree(root);
        g_sink = g_draw.calls.size();
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareOnce();
    auto* root = vesk::TEngineObject::New<vesk::TMegaButton>();
    root->SetName("desktop");
    root->SetWidth(1024);
    root->SetHeight(768);
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        root->CreateChild("TMegaButton", "")->SetProperty("NAME", "edit");
        size_t start = 0;
        for (int lines = 0; start < text.size() && lines < 64; ++lines) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            RunLine(root, text.substr(start, end - start));
            start = end + 1;
        }
    } catch (const HaltedRun&) {
    }
    root->Free();
    vesk::TEODestroyManager->Flush();
    vesk::PendingErrorTexts.clear();
    return 0;
}
