// RAR4120E.ini written from the input, then read as the program reads it at
// start-up; the values read must be usable and must survive a save.
#include "AppManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QSize>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(QStringLiteral("RAR4120E.ini"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    AppManager* manager = AppManager::instance();
    manager->loadSettings();
    const int timeout = AppManager::autoReadTimeout();
    if (timeout < AppManager::kMinAutoReadTimeout || timeout > AppManager::kMaxAutoReadTimeout)
        std::abort();
    QPoint pos(10, 20);
    QSize windowSize(800, 600);
    manager->loadWindowGeometry(pos, windowSize);

    const uint8_t address = AppManager::deviceAddress();
    const bool autoRead = AppManager::autoReadEnabled();
    manager->saveSettings();
    manager->saveWindowGeometry(pos, windowSize);
    if (!manager->loadSettings() || AppManager::deviceAddress() != address ||
        AppManager::autoReadTimeout() != timeout || AppManager::autoReadEnabled() != autoRead)
        std::abort();
    return 0;
}
