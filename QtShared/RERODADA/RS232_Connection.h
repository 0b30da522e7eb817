// The connection to a command-module board on a serial port.
#ifndef RERODADA_RS232_CONNECTION_H
#define RERODADA_RS232_CONNECTION_H

#include "Connection.h"
#include "platform/SerialPort.h"

#include <string>
#include <vector>

namespace rerodada {

class RS232_Connection : public Connection {
  public:
    RS232_Connection();
    ~RS232_Connection() override;
    bool Try_Open_Port(int port) override;
    bool Try_Open_Port_Send_CR(int port) override;
    void Close() override;
    void CommRTS(bool level) override;
    bool CommCTS() override;
    bool CommDSR() override;
    bool CommDCD() override;
    bool CommRI() override;
    bool Hold_Reset() override;
    bool Release_Reset() override;
    bool Write(const uint8_t* data, uint32_t count, uint32_t rxMinCount) override;
    bool WriteFramedByRTS(const uint8_t* data, uint32_t count, uint32_t rxMinCount,
                          bool frame) override;
    bool Read(uint32_t minCount) override;
    void Drain() override;
    bool Reopen() override;

    // The search's open of port p+1 at its device path as listed when the
    // search began: a port plugged in or out since does not shift it.
    bool Try_Open_Listed(int p, const std::string& path, bool sendCR);

    bool Set_BaudRate(uint32_t baud);
    // Polarity retries of the fixed-baud open, by variant.
    static const FixedBaudRetry kTryOpenRetry;
    static const FixedBaudRetry kSendCRRetry;
    uint32_t BaudRate() const { return baudRate; }

  private:
    bool OpenPort(int port, const std::string& path, const char* variant, bool announce);
    bool Connected(bool found, const std::string& path);
    bool ModemLine(uint32_t bit);
    bool Send(const uint8_t* data, uint32_t count);

    platform::SerialHandle hCommPort = platform::kInvalidSerialHandle;
    // The line settings last programmed; only the rate is kept. The driver
    // sizes its own queues, so there are none to set here.
    uint32_t baudRate = 0;
    // The device of the last successful open, which a re-open uses again.
    std::string connectedPath;
};

RS232_Connection& TheRS232Connection();

// The serial port selection run by the connect functions: the marked port
// first, then COM1 to COM20 in order, leaving out the USB board's ttys.
bool SelectSerialPort(const std::vector<std::string>& usbTtys);

// Opens a port for the board link, tracing why it cannot be (held or locked
// by another process, or another failure) or that it holds no lock file.
platform::SerialHandle OpenForLink(const std::string& path);

// Why a write to the port failed, for the trace: with RTS/CTS flow control
// a time-out while the board holds CTS off says so.
std::string WriteFailure(platform::SerialHandle handle, int error, bool ctsFlow);

// Listing of present serial ports by their COM names (the numbers of
// platform::SerialListPorts).
struct PortEnumeration;
PortEnumeration* EnumeratePortsFirst();
bool EnumeratePortsNext(PortEnumeration* set, char* portName, uint32_t portNameSize,
                        char* friendlyName, uint32_t friendlyNameSize);
void EnumeratePortsClose(PortEnumeration* set);

} // namespace rerodada

#endif
