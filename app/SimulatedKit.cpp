#include "SimulatedKit.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>

namespace {

// Windows keeps the environment in UTF-16, and a path in any script survives
// only the wide call; elsewhere names are bytes.
void setVariable(const char* name, const QString& value) {
#if defined(Q_OS_WIN)
    _wputenv_s(QString::fromLatin1(name).toStdWString().c_str(), value.toStdWString().c_str());
#else
    qputenv(name, QFile::encodeName(value));
#endif
}

} // namespace

void useSimulatedKit() {
#if defined(Q_OS_WIN)
    // DLLs lie beside the program. Windows holds no empty variable, so the
    // empty port list is ":".
    const QString library =
        QCoreApplication::applicationDirPath() + QStringLiteral("/podlink-d2xx.dll");
    const QByteArray noPorts(":");
#else
    const QString library =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/libpodlink-d2xx.so");
    const QByteArray noPorts;
#endif
    setVariable("RERODADA_D2XX_LIBRARY", QDir::toNativeSeparators(library));
    // The simulated kit stands in for every board: no real port or USB tty is tried.
    qputenv("RERODADA_SERIAL_PORTS", noPorts);
    qputenv("RERODADA_USB_TTYS", noPorts);
}

void useSimulatorConfig(const QString& file) {
    setVariable("PODLINK_SIM_CONFIG", file);
}
