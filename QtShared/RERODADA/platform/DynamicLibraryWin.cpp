#include "platform/DynamicLibrary.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace rerodada::platform {

namespace {

// Invalid sequences become U+FFFD: such a name then names no file.
std::wstring WideFromUtf8(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

std::string Utf8FromWide(const wchar_t* text, int count) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, count, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

} // namespace

void* LibraryLoad(const char* fileName) {
    return reinterpret_cast<void*>(LoadLibraryW(WideFromUtf8(fileName).c_str()));
}

bool LibraryFromEnvironment(const char* name, std::string* fileName) {
    // The C runtime's wide environment, which _wputenv_s and _putenv_s both
    // keep up to date; the narrow one holds the ANSI code page's lossy copy.
    const wchar_t* value = _wgetenv(WideFromUtf8(name).c_str());
    if (!value) return false;
    *fileName = Utf8FromWide(value, static_cast<int>(wcslen(value)));
    return true;
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
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = "error " + std::to_string(error);
    if (length && text) result += ": " + Utf8FromWide(text, static_cast<int>(length));
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

} // namespace rerodada::platform
