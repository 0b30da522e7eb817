// The main window on the simulated kit, for the benchmarks that go through
// the program's window.
#ifndef WINDOWSUPPORT_H
#define WINDOWSUPPORT_H

#include "MainWindow.h"

#include <QString>

#include <memory>
#include <string>

namespace bench {

// Runs the registered benchmarks inside a QApplication on the offscreen
// platform with the program's style sheet, from a private working directory
// and with the native settings redirected, so that no user setting is read
// or written. Returns the exit status.
int runWindowBenchmarks(int argc, char** argv);

// Fresh simulated devices from configText, then a main window on them,
// shown, auto-read off, connected; null when it did not connect.
std::unique_ptr<MainWindow> openConnectedWindow(const std::string& configText);

// Writes the 10,000-line script of the script benchmarks to path: register
// writes and reads of the RAR4120E, alternating. False when it cannot.
bool writeRegisterScript(const QString& path);

// Closes a window from openConnectedWindow and disconnects the board.
void closeWindow(std::unique_ptr<MainWindow>& window);

} // namespace bench

#endif // WINDOWSUPPORT_H
