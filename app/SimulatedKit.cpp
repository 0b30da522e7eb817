#include "SimulatedKit.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

void useSimulatedKit() {
    const QString library =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/libpodlink-d2xx.so");
    qputenv("RERODADA_D2XX_LIBRARY", QFile::encodeName(library));
    qputenv("RERODADA_SERIAL_PORTS", QByteArray());
}
