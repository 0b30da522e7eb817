// A D2XX driver library that lacks most functions: it lists one device and
// opens and closes it, and has nothing to set, read or write with.
#include <cstdint>

#if defined(_WIN32)
#define PARTIAL_EXPORT extern "C" __declspec(dllexport)
#define PARTIAL_CALL __stdcall
#else
#define PARTIAL_EXPORT extern "C" __attribute__((visibility("default")))
#define PARTIAL_CALL
#endif

namespace {
int g_device;
constexpr uint32_t kListNumberOnly = 0x80000000;
} // namespace

PARTIAL_EXPORT uint32_t PARTIAL_CALL FT_ListDevices(void* arg1, void*, uint32_t flags) {
    if (flags & kListNumberOnly) *static_cast<uint32_t*>(arg1) = 1;
    return 0;
}

PARTIAL_EXPORT uint32_t PARTIAL_CALL FT_Open(int index, void** handle) {
    if (index != 0) return 2;
    *handle = &g_device;
    return 0;
}

PARTIAL_EXPORT uint32_t PARTIAL_CALL FT_Close(void*) {
    return 0;
}
