#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <cstdlib>

namespace rerodada::platform {

void* LibraryLoad(const char* fileName) {
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

bool LibraryFromEnvironment(const char* name, std::string* fileName) {
    const char* value = std::getenv(name);
    if (!value) return false;
    *fileName = value;
    return true;
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
