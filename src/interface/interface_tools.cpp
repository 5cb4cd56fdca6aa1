#include "interface/interface_tools.h"

#include <cmath>
#include <set>
#include <stdexcept>

#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "game/dialogs.h"
#include "interface/desktop.h"
#include "interface/draw_nodes.h"
#include "interface/hud_markers.h"
#include "interface/hud_nodes.h"
#include "interface/radar.h"
#include "interface/service_router.h"
#include "interface/ship_controller.h"
#include "interface/tool_functions.h"
#include "interface/variators.h"
#include "interface/video_node.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "vesk_version.h"

namespace vesk {

std::unique_ptr<TiTools> InterfaceTools;

void TiTools::FaultReport(const std::string& message, int level) {
    dumpWriteFlag_ = 0;
    if (desktop_ && desktop_->Root()) DumpTreeToFile(desktop_->Root(), "ALL");
    ErrorReport(message, level == 2 ? "mh" : "m");
}

void TiTools::RunHandler(const std::string& nodeName, const std::string& text) {
    currentNode_ = nodeName;
    RunLua("slf=" + LuaQuote(nodeName));
    RunLua(text);
}

void TiTools::RunLua(const std::string& text) {
    if (LuaMachine && LuaMachine->IsOpen()) LuaMachine->RunString(text);
}

void TiTools::RunLua(const std::string& text, std::initializer_list<double> args) {
    if (LuaMachine && LuaMachine->IsOpen())
        LuaMachine->RunStringWith(text, std::span(args.begin(), args.size()));
}

void TiTools::LogReport(const std::string& message) {
    ErrorReport(message, "");
}

TSimpleNode* TiTools::GetChild(const std::string& name) {
    TSimpleNode* root = desktop_ ? desktop_->Root() : nullptr;
    if (!root) return nullptr;
    if (TSimpleNode* hit = cache_.Find(name)) return hit;
    int status = 0;
    TSimpleNode* n = root->ChildByName(name, status, false, true);
    if (n) {
        cache_.Add(n);
        return n;
    }
    dumpWriteFlag_ = 0;
    FaultReport("TDesktop.GetChild fault: control not found. See file \"[DesktopTree]_All_For_Debug\"... ",
                1);
    return nullptr;
}

void TiTools::RunNodeCommand(const std::string& command) {
    const size_t sep = command.find("::");
    if (sep == std::string::npos) {
        TSimpleNode* n = GetChild(currentNode_);
        if (!n) {
            FaultReport("TDesktop.RunScript fault. 1", 1);
            return;
        }
        if (auto* s = dynamic_cast<TScriptNode*>(n)) s->Execute(command);
        return;
    }
    const std::string path = command.substr(0, sep);
    const std::string cmd = command.substr(sep + 2);
    if (platform::UpperCaseCp1251(path) == "INHERITED") {
        // The node runs its pattern's handler for the event.
        TSimpleNode* n = GetChild(currentNode_);
        if (!n) {
            FaultReport("TDesktop.RunScript fault. 2", 1);
            return;
        }
        std::string text;
        if (auto* pattern = dynamic_cast<TScriptNode*>(n->Pattern())) pattern->HandlerText(cmd, text);
        if (TSimpleNode* self = n->FindInTree(n->Name(), false)) RunHandler(self->Name(), text);
        return;
    }
    TSimpleNode* n = GetChild(path);
    if (!n) {
        FaultReport("TDesktop.RunScript fault. 3", 1);
        return;
    }
    if (auto* s = dynamic_cast<TScriptNode*>(n)) s->Execute(cmd);
}

bool TiTools::RunScript(const std::vector<std::string>& args) {
    if (args.empty()) return true;
    const std::string& a0 = args[0];
    try {
        if (args.size() == 1) {
            RunNodeCommand(a0);
            return false;
        }
        if (args.size() == 2 && a0 != "delete") {
            const size_t sep = a0.find("::");
            const std::string path = sep == std::string::npos ? currentNode_ : a0.substr(0, sep);
            const std::string key = sep == std::string::npos ? a0 : a0.substr(sep + 2);
            TSimpleNode* n = GetChild(path);
            if (!n) {
                FaultReport("TDesktop.RunScript fault. 4", 1);
                return true;
            }
            n->SetProperty(key, args[1]);
            return false;
        }
        if (a0 == "delete") {
            TSimpleNode* n = GetChild(args[1]);
            if (!n) {
                FaultReport("TDesktop.RunScript fault. 5", 1);
                return true;
            }
            if (TSimpleNode* parent = n->Parent())
                parent->DeleteChild(args[1]);
            else
                n->Release();
            return false;
        }
        if (a0 == "update") {
            TSimpleNode* n = GetChild(args[1]);
            if (!n) {
                FaultReport("TDesktop.RunScript fault. 6", 1);
                return true;
            }
            for (size_t i = 2; i + 1 < args.size(); i += 2) n->SetProperty(args[i], args[i + 1]);
            return false;
        }
        if (a0 == "insert") {
            if (args.size() < 3) throw std::invalid_argument("insert without a parent");
            TSimpleNode* parent = GetChild(args[2]);
            if (!parent) {
                FaultReport("TDesktop.RunScript fault. 7", 1);
                return true;
            }
            int status = 0;
            if (parent->ChildByName(args[1], status, true, false)) return false;
            TSimpleNode* pattern = nullptr;
            if (args.size() > 3 && !args[3].empty()) {
                pattern = GetChild(args[3]);
                if (!pattern) {
                    FaultReport("TDesktop.RunScript fault. 8", 1);
                    return true;
                }
            }
            TSimpleNode* node = NewNodeOfClass(args.size() > 4 ? args[4] : "TMegaButton");
            if (!node) return true;
            node->SetParent(parent);
            if (pattern) {
                pattern->CopyTo(node);
                node->SetPattern(pattern);
            }
            node->SetName(args[1]);
            parent->AddChild(node);
            return false;
        }
        ErrorReport("TiTools.RunScript fault - incorrect command: " + a0, "m");
        return true;
    } catch (const std::exception&) {
        ErrorReport("TiTools.RunScript fault. Unknow error. Script: " + a0, "m");
        return true;
    }
}

void TiTools::FrameTick(float& frameMs) {
    ++frameCounter_;
    accumulated_ += frameMs;
    if (accumulated_ > 1000.0f) {
        framesLastSecond_ = frameCounter_;
        excessLastSecond_ = excessMs_;
        accumulated_ = 0;
        frameCounter_ = 0;
        excessMs_ = 0;
    }
    if (frameCap_ && frameMs > static_cast<float>(maxFrameMs_)) {
        excessMs_ += static_cast<int>(frameMs - static_cast<float>(maxFrameMs_));
        frameMs = static_cast<float>(maxFrameMs_);
    }
}

void TiTools::ReadFileVersion() {
    version_ = VESK_VERSION_TEXT;
}

void TiTools::UpdateTextureMemory() {
    textureMemory_ = distinctTextures_ = sharedTextures_ = 0;
    TSimpleNode* root = desktop_ ? desktop_->Root() : nullptr;
    if (!root || !InterfaceDrawer) return;
    std::set<uint64_t> seen;
    int64_t bits = 0;
    auto walk = [&](auto&& self, TSimpleNode* n) -> void {
        if (auto* image = dynamic_cast<TImageNode*>(n); image && !image->Image().empty()) {
            uint64_t identity = 0;
            int w = 0, h = 0;
            if (InterfaceDrawer->TextureInfo(image->Image(), identity, w, h)) {
                if (!seen.insert(identity).second)
                    ++sharedTextures_;
                else
                    bits += static_cast<int64_t>(w) * h * 32;
            }
        }
        for (int i = 0; i < n->ChildCount(); ++i)
            if (TSimpleNode* c = n->ChildAt(i)) self(self, c);
    };
    walk(walk, root);
    textureMemory_ = static_cast<int>(bits / 8);
    distinctTextures_ = static_cast<int>(seen.size());
}

void InterfaceFault(const std::string& message, int level) {
    if (InterfaceTools)
        InterfaceTools->FaultReport(message, level);
    else
        ErrorReport(message, level == 2 ? "mh" : "m");
}

TIPoint InterfaceCursor() {
    if (InterfaceTools && InterfaceTools->Desktop()) return InterfaceTools->Desktop()->CursorPosition();
    return {511, 383};
}

void StartInterfaceCore() {
    DialogFileName = kDefaultDialogFile;
    if (!InterfaceViewports) InterfaceViewports = std::make_unique<TViewportList>();
    if (!SysColorTable) SysColorTable = std::make_unique<TSysColorTable>();
    if (!InterfaceTools) {
        InterfaceTools = std::make_unique<TiTools>();
        InterfaceTools->ReadFileVersion();
    }
    RegisterInterfaceNodeClasses();
    RegisterVariatorClasses();
    RegisterHudNodeClasses();
    RegisterHudMarkerClasses();
    RegisterRadarClasses();
    RegisterVideoNodeClasses();
    InstallToolFunctions();
    InstallServiceRouter();
    if (!ShipController) ShipController = std::make_unique<TShipController>();
    ClassManager.RegisterClass<TNodeKind, TDeskTop>();
}

void EndInterfaceCore() {
    ShipController.reset();
    InterfaceTools.reset();
    SysColorTable.reset();
    InterfaceViewports.reset();
}

} // namespace vesk
