// Access to the simulated kit from a test: the D2XX stand-in's boards and
// the library's state between tests.
#ifndef TESTS_LINK_SIMULATEDKIT_H
#define TESTS_LINK_SIMULATEDKIT_H

#include "Board.h"

#include <string>

namespace linktest {

// Reconfigures every simulated USB device (empty: defaults).
void ReloadUsb(const std::string& config);
podsim::Board* UsbBoard(unsigned index = 0);

// Leaves the library disconnected, searching ports, with the default prefix.
void ResetLibraryState();

} // namespace linktest

#endif
