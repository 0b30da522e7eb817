#include "SimulatorCheck.h"

#include <QLibrary>

QString simulatorConfigProblem() {
    // On Windows the variable is read wide, and the stand-in's texts are
    // UTF-8, so that a path in any script comes through whole.
    const QString library = qEnvironmentVariable("RERODADA_D2XX_LIBRARY");
    if (library.isEmpty()) return QString();
    QLibrary standIn(library);
    if (!standIn.load()) return QString();
    using ErrorFn = const char* (*)();
    const auto error = reinterpret_cast<ErrorFn>(standIn.resolve("podsim_d2xx_error"));
    if (!error) return QString();
#if defined(Q_OS_WIN)
    return QString::fromUtf8(error());
#else
    return QString::fromLocal8Bit(error());
#endif
}
