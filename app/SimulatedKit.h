#ifndef SIMULATEDKIT_H
#define SIMULATEDKIT_H

// Points the board link at the simulated kit before the first connection:
// the D2XX stand-in beside the program, and no serial ports at all, so no
// real port is touched.
void useSimulatedKit();

#endif // SIMULATEDKIT_H
