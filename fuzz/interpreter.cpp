// Command lines, as a script file holds them, into the interpreter against
// the simulated kit. Each line of the input is one command; lines naming
// "wait" are left out, since they only sleep.
#include "AppManager.h"
#include "CommandTokenizer.h"
#include "Connection.h"
#include "DeviceAccess.h"
#include "SimulatedLink.h"
#include "processCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

constexpr int kMaxLines = 16;

} // namespace

// Allocation stacks through Qt make the sanitizer's record of them grow with
// every input and slow it down; a finding is rerun with them to see them.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=0";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::useSimulatedLink();
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) std::abort();
    if (!boardConnect()) std::abort();
    // The board answers at once, so a short reply stays short; the time-outs
    // only set how many polls find that out, and short ones keep inputs fast.
    rerodada::gnREAD_IDLE_TIMEOUT_msec = 2;
    rerodada::gnGROSS_READSTRING_TIMEOUT_msec = 5;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    podsim::Board* board = fuzz::simulatedBoard();
    fuzz::virtualClock().startInput();
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
        // Some commands end by setting the chip's latency timer; the board
        // drops it again, so that its replies stay instant.
        board->setLatencyTimerMs(0);
        processCommand::instance()->slt_commandHandler(line);
    }
    return 0;
}
