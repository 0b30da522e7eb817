// Connects to the interface board and prints what it learnt: a quick check
// of the board link on real hardware or, with --simulator, on the simulated kit.
#include "rerodada.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
// The stand-in DLL lies beside the program.
std::string SimulatorLibrary() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = n > 0 && n < sizeof path ? std::string(path, n) : std::string(".\\x");
    return dir.substr(0, dir.find_last_of("\\/")) + "\\podlink-d2xx.dll";
}

void SetEnvironment(const char* name, const char* value) {
    _putenv_s(name, value);
}
#else
std::string ExecutableDirectory() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    std::string dir = path;
    return dir.substr(0, dir.rfind('/'));
}

std::string SimulatorLibrary() {
    return ExecutableDirectory() + "/../lib/libpodlink-d2xx.so";
}

void SetEnvironment(const char* name, const char* value) {
    setenv(name, value, 1);
}
#endif

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--simulator") == 0) {
            SetEnvironment("RERODADA_D2XX_LIBRARY", SimulatorLibrary().c_str());
            // ":" lists no port; an empty value would remove the variable on Windows.
            SetEnvironment("RERODADA_SERIAL_PORTS", ":");
            SetEnvironment("RERODADA_USB_TTYS", ":");
        } else {
            fprintf(stderr, "usage: %s [--simulator]\n", argv[0]);
            return 2;
        }
    }
    if (!BrimBoardConnect()) {
        fprintf(stderr, "No board found.\n");
        return 1;
    }
    char banner[256] = {};
    char port[256] = {};
    BrimBoardGetBanner(banner, sizeof banner);
    BrimBoardGetPortName(port, sizeof port);
    banner[strcspn(banner, "\r\n")] = 0;
    printf("Connected on %s at %u baud\nBanner: %s\nNative commands: %s\n", port,
           BrimBoardGetBaud(), banner, BrimSupportsNativeSMBusCommands() ? "yes" : "no");
    BrimBoardDisconnect();
    return 0;
}
