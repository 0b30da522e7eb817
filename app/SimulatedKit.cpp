#include "SimulatedKit.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

void useSimulatedKit() {
    const QString library =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/libpodlink-d2xx.so");
    qputenv("RERODADA_D2XX_LIBRARY", QFile::encodeName(library));
    // The simulated kit stands in for every board: no real port or USB tty is tried.
    qputenv("RERODADA_SERIAL_PORTS", QByteArray());
    qputenv("RERODADA_USB_TTYS", QByteArray());
}
