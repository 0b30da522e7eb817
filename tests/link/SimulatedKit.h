// The simulated kit from a test: the D2XX stand-in's boards, the library's
// state between tests, what it traces and lists, and boards on a
// pseudo-terminal where there are such.
#ifndef TESTS_LINK_SIMULATEDKIT_H
#define TESTS_LINK_SIMULATEDKIT_H

#include "Board.h"
#if !defined(_WIN32)
#include "PtyServer.h"
#endif

#include <functional>
#include <string>

namespace linktest {

constexpr uint8_t kChip = 0x2A;

// Reconfigures every simulated USB device (empty: defaults).
void ReloadUsb(const std::string& config);
podsim::Board* UsbBoard(unsigned index = 0);
// Disconnected, searching ports and rates, with the default prefix.
void ResetLibraryState();
// "Suite.Name" of the running test, for freshprocess::run.
std::string CurrentTestName();
// The library's debug trace, and its listing through the callback, while body runs.
std::string TraceOf(const std::function<void()>& body);
std::string ListingOf(const std::function<void()>& body);
// The chip's identity register read through the library, 0 on failure.
uint8_t ChipId();

#if !defined(_WIN32)
// A board on a pseudo-terminal, as a serial port or the kernel driver's USB tty.
struct PtyBoard {
    explicit PtyBoard(const std::string& config = "", bool usb = false);
    std::string path() const { return server.slavePath(); }
    podsim::Board board;
    podsim::PtyServer server;
};
#endif

} // namespace linktest

#endif
