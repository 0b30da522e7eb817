// Connects to the interface board and prints what it learnt: a quick check
// of the board link on real hardware or, with --simulator, on the simulated kit.
#include "rerodada.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    std::string dir = path;
    return dir.substr(0, dir.rfind('/'));
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--simulator") == 0) {
            std::string sim = ExecutableDirectory() + "/../lib/libpodlink-d2xx.so";
            setenv("RERODADA_D2XX_LIBRARY", sim.c_str(), 1);
            setenv("RERODADA_SERIAL_PORTS", "", 1);
            setenv("RERODADA_USB_TTYS", "", 1);
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
