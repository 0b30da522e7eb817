// The few dlfcn calls the tests use, over the Windows loader, so that the
// test programs load the D2XX stand-in the same way on both systems.
#ifndef TESTS_SUPPORT_WINDOWS_DLFCN_H
#define TESTS_SUPPORT_WINDOWS_DLFCN_H

#include <windows.h>

#include <string>

#define RTLD_LAZY 0x1
#define RTLD_NOW 0x2
#define RTLD_LOCAL 0x0
#define RTLD_GLOBAL 0x100
#define RTLD_NOLOAD 0x4

inline std::string& dlfcnLastError() {
    static std::string text;
    return text;
}

inline void* dlopen(const char* path, int flags) {
    // As with dlopen, a module found already loaded gets one more reference.
    HMODULE module =
        (flags & RTLD_NOLOAD) && !GetModuleHandleA(path) ? nullptr : LoadLibraryA(path);
    if (!module)
        dlfcnLastError() = std::string("cannot load ") + (path ? path : "(null)") + ": error " +
                           std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}

inline void* dlsym(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

inline int dlclose(void* module) {
    return FreeLibrary(static_cast<HMODULE>(module)) ? 0 : -1;
}

inline const char* dlerror() {
    static std::string shown;
    shown = dlfcnLastError();
    dlfcnLastError().clear();
    return shown.empty() ? nullptr : shown.c_str();
}

#endif
