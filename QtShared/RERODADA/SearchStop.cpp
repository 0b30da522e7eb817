// Stopping a board search from another thread, and its progress lines.
#include "rerodada.h"

#include "Library.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace rerodada {
namespace {

// Set from another thread while a search runs, hence atomic.
std::atomic<bool> gStopSearch{false};

// Held while the callback runs, so that a caller that removes it may free
// what the context points to.
std::mutex gProgressMutex;
BrimSearchProgress gProgress = nullptr;
void* gProgressContext = nullptr;

} // namespace

bool SearchStopped() {
    return gStopSearch.load();
}

void SearchSay(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    fputs(text.c_str(), stdout);
    fflush(stdout);

    std::lock_guard<std::mutex> lock(gProgressMutex);
    if (!gProgress) return;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        line.erase(line.find_last_not_of(" \t\r") + 1);
        if (!line.empty()) gProgress(line.c_str(), gProgressContext);
        start = end + 1;
    }
}

} // namespace rerodada

RERODADA_API(void) BrimBoardStopSearch(bool stop) {
    rerodada::gStopSearch.store(stop);
}

RERODADA_API(void) BrimBoardSetSearchProgress(BrimSearchProgress callback, void* context) try {
    std::lock_guard<std::mutex> lock(rerodada::gProgressMutex);
    rerodada::gProgress = callback;
    rerodada::gProgressContext = context;
} catch (...) {
    rerodada::ExceptionCaught(__func__);
}
