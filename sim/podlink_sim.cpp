// podlink-sim: a simulated PODLINK board behind a pseudo-terminal. Prints the
// slave's path as its first line, then serves until SIGINT or SIGTERM.
#include "Board.h"
#include "Config.h"
#include "PtyServer.h"

#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

namespace {

void usage(std::ostream& out) {
    out << "usage: podlink-sim [--config FILE] [--trace] [--usb] [--KEY VALUE]...\n"
           "Serves a simulated PODLINK board on a pseudo-terminal and prints the\n"
           "path of its slave side. --usb serves the USB board as the kernel's FTDI\n"
           "driver offers it: 8N2 with RTS/CTS, 921600 baud unless --baud says\n"
           "otherwise. Every config key is also an option: --KEY VALUE,\n"
           "with '-' for '_' allowed (--latency-us 500, --native-bitmask 0x3F,\n"
           "--firmware 1.5.47, --baud 38400, --banner \"Kelvo X\\r\\n\").\n"
           "Options are applied in order, after the config file wherever it appears.\n\n"
           "Keys:\n";
    for (const auto& [key, help] : podsim::Config::keys()) {
        out << "  " << key << std::string(key.size() < 20 ? 20 - key.size() : 1, ' ') << help
            << "\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    podsim::Config cfg;
    bool trace = false;
    bool usb = false;
    std::vector<std::pair<std::string, std::string>> settings;
    std::string configFile;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(std::cout);
            return 0;
        }
        if (arg == "--trace") {
            trace = true;
            continue;
        }
        if (arg == "--usb") {
            usb = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0 || i + 1 >= argc) {
            std::cerr << "podlink-sim: bad argument '" << arg << "' (try --help)\n";
            return 2;
        }
        std::string key = arg.substr(2);
        std::string value = argv[++i];
        if (key == "config") {
            configFile = value;
            continue;
        }
        for (auto& c : key) {
            if (c == '-') c = '_';
        }
        settings.emplace_back(key, value);
    }
    try {
        if (!configFile.empty()) cfg = podsim::Config::fromFile(configFile);
        for (const auto& [key, value] : settings)
            cfg.set(key, value);
    } catch (const podsim::ConfigError& e) {
        std::cerr << "podlink-sim: " << e.what() << "\n";
        return 2;
    }

    // Signals are taken synchronously below, so no thread is interrupted.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (usb && cfg.baud == 0) cfg.baud = podsim::kDefaultUsbBaud;
    podsim::Board board(cfg);
    podsim::PtyServer server(board);
    server.setUsb(usb);
    if (trace) server.setTrace(&std::cerr);
    if (!server.start()) {
        std::cerr << "podlink-sim: " << server.error() << "\n";
        return 1;
    }
    std::cout << server.slavePath() << std::endl;
    int sig = 0;
    sigwait(&stopSignals, &sig);
    server.stop();
    return 0;
}
