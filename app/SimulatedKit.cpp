#include "SimulatedKit.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

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
    qputenv("RERODADA_D2XX_LIBRARY", QFile::encodeName(QDir::toNativeSeparators(library)));
    // The simulated kit stands in for every board: no real port or USB tty is tried.
    qputenv("RERODADA_SERIAL_PORTS", noPorts);
    qputenv("RERODADA_USB_TTYS", noPorts);
}
