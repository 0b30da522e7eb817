// Library-wide state shared by the exported functions.
#ifndef RERODADA_LIBRARY_H
#define RERODADA_LIBRARY_H

#include <cstdint>

namespace rerodada {

// Initialises the library on the first exported call and registers its
// tear-down for process exit.
void EnsureInitialised();

extern bool bAutoPortFlag;

// True while BrimBoardStopSearch asks the board search to give up.
bool SearchStopped();
extern int reference_count;

// Capability state learnt by the probe after each connection.
extern uint16_t nBrimNativeSMBusCommandsBitmask;
extern bool bBrimSupportsNativeSMBusCommands;
extern int32_t gSPI_AutoCS;

} // namespace rerodada

#endif
