// RAR4120E.ini written from the input, then read as the program reads it at
// start-up; the values read must be usable and must survive a save.
#include "AppManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QSize>
#include <QTemporaryDir>

#include <cstdlib>

// Allocation stacks through Qt make the sanitizer's record of them grow with
// every input and slow it down; a finding is rerun with them to see them.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=0";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // File times are turned into local time several times a save; with a
    // zone named, the C library stops looking at /etc/localtime each time.
    setenv("TZ", "UTC", 1);
    static QCoreApplication app(*argc, *argv);
    // Each input writes the file three times, and each save syncs it to the
    // disk: in memory that costs nothing.
    const QString memory = QStringLiteral("/dev/shm");
    static QTemporaryDir workDir((QDir(memory).exists() ? memory : QDir::tempPath()) +
                                 QStringLiteral("/fuzz_settings-XXXXXX"));
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(QStringLiteral("RAR4120E.ini"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
        // The store reads the file again only when its size or time changed;
        // a time of its own makes sure that every input is read.
        static qint64 inputs = 0;
        file.setFileTime(QDateTime::fromMSecsSinceEpoch(++inputs),
                         QFileDevice::FileModificationTime);
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
