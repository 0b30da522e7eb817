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
#include <QTextStream>

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

bool writeRegisterScript(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    QTextStream out(&file);
    for (int i = 0; i < 5000; ++i) {
        out << "writebyte 2A 05 " << QString::number(i & 0xFF, 16) << '\n';
        out << "readbyte 2A 05\n";
    }
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}

} // namespace bench
