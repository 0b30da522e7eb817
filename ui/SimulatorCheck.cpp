#include "SimulatorCheck.h"

#include <QByteArray>

#include <dlfcn.h>

QString simulatorConfigProblem() {
    const QByteArray library = qgetenv("RERODADA_D2XX_LIBRARY");
    void* standIn = library.isEmpty() ? nullptr : dlopen(library.constData(), RTLD_NOW);
    if (!standIn) return QString();
    using ErrorFn = const char* (*)();
    const auto error = reinterpret_cast<ErrorFn>(dlsym(standIn, "podsim_d2xx_error"));
    const QString text = error ? QString::fromLocal8Bit(error()) : QString();
    dlclose(standIn);
    return text;
}
