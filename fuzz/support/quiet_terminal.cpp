// Linked into every fuzz target: malformed inputs end in fatal reports all the
// time, and a line on stderr for each would drown the fuzzer's own output and
// slow every run down.
#include "shared/errors.h"

#include <string>

namespace {

const bool g_quietTerminal = [] {
    vesk::GetErrorHooks().terminal = [](const std::string&) {};
    return true;
}();

} // namespace
