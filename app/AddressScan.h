#ifndef ADDRESSSCAN_H
#define ADDRESSSCAN_H

#include <cstdint>
#include <functional>

// Sends one SMBus quick command to an 8-bit address; true when it was
// acknowledged.
using QuickProbe = std::function<bool(uint8_t address)>;

// A device that acknowledges the first quick command of a probe but not the
// second is probed again, but no more often than this, so that a flaky
// device cannot stall the scan.
constexpr int kScanProbeRounds = 4;

// Probes every even address from 2 to 254 and writes those that answer two
// quick commands in a row to out, in ascending order; returns their number.
int scanBus(const QuickProbe& quick, uint8_t* out);

#endif // ADDRESSSCAN_H
