#ifndef SIMULATEDKIT_H
#define SIMULATEDKIT_H

#include <QString>

// Points the board link at the simulated kit before the first connection:
// the D2XX stand-in beside the program, and no serial ports at all, so no
// real port is touched.
void useSimulatedKit();

// Names the simulated kit's configuration file, read when the stand-in loads.
void useSimulatorConfig(const QString& file);

#endif // SIMULATEDKIT_H
