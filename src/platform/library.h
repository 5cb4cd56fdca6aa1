#pragma once
// Native libraries loaded at run time (plug-ins).
#include <string>

namespace vesk::platform {

// nullptr when the library can not be loaded.
void* LoadLibrary(const std::string& path);
void* LibrarySymbol(void* library, const char* name);
void FreeLibrary(void* library);
// The loader's text for the last failure.
std::string LibraryError();

} // namespace vesk::platform
