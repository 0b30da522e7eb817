// Serves a Board on the master side of a pseudo-terminal, so a host program
// can open the slave like a serial port. A pty has no modem lines: the host's
// purge of its receive buffer (tcflush TCIFLUSH, which the master sees in
// packet mode as TIOCPKT_FLUSHREAD) stands for the end of a reset, and the
// host's line rate is read from the terminal settings before every chunk.
#pragma once

#include "Board.h"

#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace podsim {

class PtyServer {
  public:
    explicit PtyServer(Board& board);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pty and starts the serving thread; false (with error()) on failure.
    bool start();
    void stop();
    std::string slavePath() const { return slavePath_; }
    std::string error() const { return error_; }
    // Hex lines of every chunk each way; set before start().
    void setTrace(std::ostream* trace) { trace_ = trace; }
    // Serve a USB board's chip: it frames 8N2 with RTS/CTS flow control, and
    // the board's bytes are garbled for a host with other settings.
    void setUsb(bool usb) { usb_ = usb; }

  private:
    void run();
    void syncBaud();
    void flushToHost();
    void trace(const char* dir, const uint8_t* data, size_t n);

    Board& board_;
    int master_ = -1;
    int slave_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::string error_;
    std::ostream* trace_ = nullptr;
    bool usb_ = false;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::vector<uint8_t> unsent_;
};

// Line rate of a termios speed constant, 0 when unknown.
uint32_t baudOfSpeed(unsigned long speed);
// The line settings the host gave the slave side of the pty whose master
// this is, any rate included; baud 0 when unknown.
struct PtyLine {
    uint32_t baud = 0;
    bool twoStopBits = false;
    bool rtsCts = false;
};
PtyLine hostLineOf(int master);

} // namespace podsim
