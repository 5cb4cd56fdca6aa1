#include "interface/interface_tools.h"

#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "interface/desktop.h"
#include "interface/variators.h"
#include "shared/errors.h"

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

void TiTools::LogReport(const std::string& message) {
    ErrorReport(message, "");
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
    if (!SysColorTable) SysColorTable = std::make_unique<TSysColorTable>();
    if (!InterfaceTools) InterfaceTools = std::make_unique<TiTools>();
    RegisterInterfaceNodeClasses();
    RegisterVariatorClasses();
    ClassManager.RegisterClass<TNodeKind, TDeskTop>();
}

void EndInterfaceCore() {
    InterfaceTools.reset();
    SysColorTable.reset();
}

} // namespace vesk
