// Access to the simulated kit from a test: the D2XX stand-in's boards, a
// fresh process for checks that need an uninitialised library, and a
// pseudo-terminal board for the serial path.
#ifndef TESTS_LINK_SIMULATEDKIT_H
#define TESTS_LINK_SIMULATEDKIT_H

#include "Board.h"

#include <functional>
#include <string>
#include <vector>

namespace linktest {

// Reconfigures every simulated USB device (empty: defaults).
void ReloadUsb(const std::string& config);
podsim::Board* UsbBoard(unsigned index = 0);

// Runs body in a new process of this test program, with the given
// environment additions, before the library was ever called there; returns
// the child's exit status (0 when body returned true).
int RunInFreshProcess(const std::string& testName, const std::vector<std::string>& env,
                      const std::function<bool()>& body);

// Leaves the library disconnected, searching ports, with the default prefix.
void ResetLibraryState();

} // namespace linktest

#endif
