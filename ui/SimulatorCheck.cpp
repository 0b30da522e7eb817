#include "SimulatorCheck.h"

#include <QByteArray>
#include <QLibrary>

QString simulatorConfigProblem() {
    const QByteArray library = qgetenv("RERODADA_D2XX_LIBRARY");
    if (library.isEmpty()) return QString();
    QLibrary standIn(QString::fromLocal8Bit(library));
    if (!standIn.load()) return QString();
    using ErrorFn = const char* (*)();
    const auto error = reinterpret_cast<ErrorFn>(standIn.resolve("podsim_d2xx_error"));
    return error ? QString::fromLocal8Bit(error()) : QString();
}
