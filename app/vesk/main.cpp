// The game program. The application object is not built yet: this start only
// proves the engine libraries link and the program folder is found.
#include "platform/files.h"

#include <cstdio>

int main() {
    std::printf("Vesk Annals engine: program folder %s\n", vesk::platform::ExeFolder().c_str());
    std::printf("The application start-up is not built yet; nothing more to run.\n");
    return 0;
}
