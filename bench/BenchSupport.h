// What every benchmark shares: pointing the board-link library at the
// simulator, the simulator's hooks, and the process's resident size.
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include "Board.h"

#include <string>

namespace bench {

// Sets the environment so that the library finds only the simulated D2XX
// devices (serialPorts empty) or only the given serial ports (the D2XX
// library then does not exist). Must run before the first library call.
void useUsbSimulator();
void useSerialPorts(const std::string& serialPorts);

// The first simulated USB device's board; null without the stand-in.
podsim::Board* board();
// Fresh simulated devices from configText (empty: the default kit: the
// RAR4120E at 0x2A and an SMBus device at 0xA0). The library must be
// disconnected first, as open handles become invalid.
bool reloadSimulator(const std::string& configText = std::string());
// Whether the USB chip's latency timer holds replies back (it does not by
// default, so that a link's latency is the board's latency_us alone).
void keepLatencyTimer(bool keep);

// Current and peak resident set size of this process, in bytes.
long residentBytes();
long peakResidentBytes();

} // namespace bench

#endif // BENCHSUPPORT_H
