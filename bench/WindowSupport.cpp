#include "WindowSupport.h"

#include "AppManager.h"
#include "BenchSupport.h"
#include "DeviceAccess.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

namespace bench {

int runWindowBenchmarks(int argc, char** argv) {
    useUsbSimulator();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QFile styleSheet(QStringLiteral(BENCH_STYLESHEET));
    if (styleSheet.open(QIODevice::ReadOnly | QIODevice::Text))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));

    QTemporaryDir workDir;
    if (!workDir.isValid()) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       workDir.filePath(QStringLiteral("native")));
    QDir::setCurrent(workDir.path());

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    boardDisconnect();
    return 0;
}

std::unique_ptr<MainWindow> openConnectedWindow(const std::string& configText) {
    boardDisconnect();
    if (!reloadSimulator(configText)) return nullptr;
    AppManager::setDeviceAddress(0x2A);
    AppManager::setAutoReadEnabled(false);
    AppManager::setDemoMode(false);
    auto window = std::make_unique<MainWindow>();
    window->show();
    QElapsedTimer timer;
    timer.start();
    const int giveUpMs = 10000;
    while (!window->connectionAttempted() && timer.elapsed() < giveUpMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!window->connectionAttempted() || !boardConnected()) return nullptr;
    return window;
}

void closeWindow(std::unique_ptr<MainWindow>& window) {
    window.reset();
    boardDisconnect();
}

} // namespace bench
