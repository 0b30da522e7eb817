// Shared pieces of the robustness tests: the simulated board behind the
// D2XX stand-in, the interpreter's replies, and a fresh process for tests
// that need the library loaded differently.
#ifndef ROBUSTNESS_SUPPORT_H
#define ROBUSTNESS_SUPPORT_H

#include "Board.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace robustness {

// The board of the first simulated USB device; null without the stand-in.
podsim::Board* board();
// Fresh simulated devices from config text; disconnects first.
bool reload(const std::string& configText = std::string());

struct Reply {
    QString command;
    QString text;
    bool success;
};
// Every reply the interpreter gives to one line.
std::vector<Reply> run(const QString& line);

// Runs body in a new process of this test program with the given extra
// environment; returns its exit status (0 when body returned true, 128 when
// it died of a signal).
int runInFreshProcess(const std::string& testName, const std::vector<std::string>& env,
                      const std::function<bool()>& body);

} // namespace robustness

#endif
