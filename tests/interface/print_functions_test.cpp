// The interface's engine functions reached from Lua: the status text and its
// two fault texts.
#include "interface/print_functions.h"

#include "interface_fixture.h"

namespace vesk::test {
namespace {

using PrintFunctions = InterfaceTest;

TEST_F(PrintFunctions, SetStatusTakesOneTextAndReportsAnythingElse) {
    InstallPrintFunctions();
    Lua("engine_SetStatus('on patrol')");
    EXPECT_EQ(InterfaceStatusText(), "on patrol");
    Lua("engine_SetStatus(12)"); // a number reads as its text
    EXPECT_EQ(InterfaceStatusText(), "12");
    const struct {
        const char* chunk;
        const char* fatal;
    } cases[] = {
        {"engine_SetStatus()", "engine_SetStatus fault - wrong param count: 0"},
        {"engine_SetStatus('a', 'b')", "engine_SetStatus fault - wrong param count: 2"},
        {"engine_SetStatus({})", "engine_SetStatus fault - wrong param value, check script."},
        {"engine_SetStatus(nil)", "engine_SetStatus fault - wrong param value, check script."},
    };
    for (const auto& c : cases) {
        trap.reports.clear();
        EXPECT_THROW(Lua(c.chunk), Halted) << c.chunk;
        ASSERT_FALSE(trap.reports.empty());
        EXPECT_EQ(trap.reports.front().text, c.fatal); // what the program ends on
        EXPECT_EQ(trap.reports.front().flags, "mhl");
    }
    EXPECT_EQ(InterfaceStatusText(), "12");
}

} // namespace
} // namespace vesk::test
