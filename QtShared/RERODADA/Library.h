// Library-wide state shared by the exported functions.
#ifndef RERODADA_LIBRARY_H
#define RERODADA_LIBRARY_H

#include <cstdint>

namespace rerodada {

// Initialises the library on the first exported call and registers its
// tear-down for process exit.
void EnsureInitialised();

// Every exported function ends in a handler that calls one of these: its
// callers may be C programs, so nothing it throws (an allocation that
// fails, a listing callback that throws) may leave it. The failure is traced
// and the function returns its failure value.
void ExceptionCaught(const char* function) noexcept;
template <typename T> T ExceptionResult(const char* function) noexcept {
    ExceptionCaught(function);
    return T{};
}
template <> inline const char* ExceptionResult<const char*>(const char* function) noexcept {
    ExceptionCaught(function);
    return "";
}

extern bool bAutoPortFlag;

// True while BrimBoardStopSearch asks the board search to give up.
bool SearchStopped();
// Prints a progress text of the board search on standard output and hands
// each of its lines to the caller's BrimBoardSetSearchProgress callback.
void SearchSay(const char* format, ...) __attribute__((format(printf, 1, 2)));
extern int reference_count;

// Capability state learnt by the probe after each connection.
extern uint16_t nBrimNativeSMBusCommandsBitmask;
extern bool bBrimSupportsNativeSMBusCommands;
extern int32_t gSPI_AutoCS;

} // namespace rerodada

#endif
