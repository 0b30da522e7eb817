// Access to the simulated kit from a test: the D2XX stand-in's boards and
// the library's state between tests.
#ifndef TESTS_LINK_SIMULATEDKIT_H
#define TESTS_LINK_SIMULATEDKIT_H

#include "Board.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace linktest {

// Reconfigures every simulated USB device (empty: defaults).
void ReloadUsb(const std::string& config);
podsim::Board* UsbBoard(unsigned index = 0);

// Leaves the library disconnected, searching ports, with the default prefix.
void ResetLibraryState();

// "Suite.Name" of the running test, for freshprocess::run.
std::string CurrentTestName();

// podlink-sim as its own process, as an engineer would run it; path() is the
// pseudo-terminal it serves, empty when it did not start.
class SimProgram {
  public:
    explicit SimProgram(const std::vector<std::string>& args);
    ~SimProgram() { Stop(); }
    void Stop();
    const std::string& path() const { return path_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string path_;
};

} // namespace linktest

#endif
