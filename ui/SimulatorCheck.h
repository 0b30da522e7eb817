#ifndef SIMULATORCHECK_H
#define SIMULATORCHECK_H

#include <QString>

// What the simulator's D2XX stand-in (the library RERODADA_D2XX_LIBRARY
// names) found wrong with its configuration, naming the file and the line;
// empty when it found nothing wrong or is not the library in use. The stand-in
// reads its configuration when it is first asked.
QString simulatorConfigProblem();

#endif // SIMULATORCHECK_H
