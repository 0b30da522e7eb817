// Shared pieces of the robustness tests: the simulated board behind the
// D2XX stand-in and the interpreter's replies.
#ifndef ROBUSTNESS_SUPPORT_H
#define ROBUSTNESS_SUPPORT_H

#include "Board.h"

#include <QString>

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

} // namespace robustness

#endif
