// Command lines, as a script file holds them, into the interpreter against
// the simulated kit. Each line of the input is one command; lines naming
// "wait" are left out, since they only sleep.
#include "AppManager.h"
#include "Board.h"
#include "CommandTokenizer.h"
#include "DeviceAccess.h"
#include "processCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <dlfcn.h>

#include <cstdlib>

namespace {

constexpr int kMaxLines = 16;

podsim::Board* simulatedBoard() {
    using BoardHook = podsim::Board* (*)(unsigned);
    static void* const standIn = dlopen(PODSIM_D2XX_LIBRARY, RTLD_NOW);
    if (!standIn) std::abort();
    const auto hook = reinterpret_cast<BoardHook>(dlsym(standIn, "podsim_d2xx_board"));
    return hook ? hook(0) : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("RERODADA_D2XX_LIBRARY", PODSIM_D2XX_LIBRARY, 1);
    setenv("RERODADA_SERIAL_PORTS", "", 1);
    setenv("RERODADA_USB_TTYS", "", 1);
    setenv("PODLINK_SIM_CONFIG", "", 1);
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) std::abort();
    if (!simulatedBoard() || !boardConnect()) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    podsim::Board* board = simulatedBoard();
    if (!boardConnected() && !boardConnect()) std::abort();
    AppManager::setDeviceAddress(0x2A);
    board->clearTraffic();

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size() && i < kMaxLines; ++i) {
        // Script lines keep their line break.
        const QString line = lines[i] + QLatin1Char('\n');
        const QStringList words = tokenizeCommandLine(line);
        if (!words.isEmpty() && words.first().toLower() == QLatin1String("wait")) continue;
        processCommand::instance()->slt_commandHandler(line);
    }
    return 0;
}
