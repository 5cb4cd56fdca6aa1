#include "platform/library.h"

#include <dlfcn.h>

namespace vesk::platform {

void* LoadLibrary(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(void* library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

void FreeLibrary(void* library) {
    if (library) dlclose(library);
}

std::string LibraryError() {
    const char* e = dlerror();
    return e ? e : "";
}

} // namespace vesk::platform
