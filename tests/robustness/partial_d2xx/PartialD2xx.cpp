// A D2XX driver library that lists one device and opens and closes it, and
// has nothing to set, read or write with.
#include <cstdint>

#if defined(_WIN32)
#define PARTIAL_EXPORT extern "C" __declspec(dllexport)
#define PARTIAL_CALL __stdcall
#else
#define PARTIAL_EXPORT extern "C" __attribute__((visibility("default")))
#define PARTIAL_CALL
#endif

static int g_device;

PARTIAL_EXPORT uint32_t PARTIAL_CALL FT_ListDevices(void* count, void*, uint32_t flags) {
    if (flags & 0x80000000) *static_cast<uint32_t*>(count) = 1; // the number only
    return 0;
}

PARTIAL_EXPORT uint32_t PARTIAL_CALL FT_Open(int index, void** handle) {
    if (index != 0) return 2; // not found
    *handle = &g_device;
    return 0;
}

PARTIAL_EXPORT uint32_t PARTIAL_CALL FT_Close(void*) {
    return 0;
}
