#include "platform/DynamicLibrary.h"

#include <windows.h>

namespace rerodada::platform {

void* LibraryLoad(const char* fileName) {
    return reinterpret_cast<void*>(LoadLibraryA(fileName));
}

void* LibrarySymbol(void* module, const char* name) {
    return module ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name))
                  : nullptr;
}

void LibraryFree(void* module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::string LibraryError() {
    const DWORD error = GetLastError();
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = "error " + std::to_string(error);
    if (length && text) result += ": " + std::string(text, length);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

} // namespace rerodada::platform
