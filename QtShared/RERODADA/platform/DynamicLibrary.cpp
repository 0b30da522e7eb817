#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace rerodada::platform {

void* LibraryLoad(const char* fileName) {
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(void* module, const char* name) {
    return module ? dlsym(module, name) : nullptr;
}

void LibraryFree(void* module) {
    if (module) dlclose(module);
}

std::string LibraryError() {
    const char* text = dlerror();
    return text ? text : "";
}

} // namespace rerodada::platform
