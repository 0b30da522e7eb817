// Stopping a board search from another thread.
#include "rerodada.h"

#include "Library.h"

#include <atomic>

namespace rerodada {
namespace {

// Set from another thread while a search runs, hence atomic.
std::atomic<bool> gStopSearch{false};

} // namespace

bool SearchStopped() {
    return gStopSearch.load();
}

} // namespace rerodada

RERODADA_API(void) BrimBoardStopSearch(bool stop) {
    rerodada::gStopSearch.store(stop);
}
