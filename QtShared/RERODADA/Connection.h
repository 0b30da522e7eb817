// A connection to the interface board: one port, its reset and banner, and
// the reply buffer from which every higher layer takes the board's answers.
#ifndef RERODADA_CONNECTION_H
#define RERODADA_CONNECTION_H

#include <cstdint>

namespace rerodada {

enum ConnectionType : uint32_t {
    ct_None = 0,
    ct_BRIM232 = 1,
    ct_BRIMUSB = 2,
    ct_ZXSMBUS = 3,
};

const char* ConnectionTypeName(uint32_t type);

// Room for a device path; "USB:%d" for USB devices.
constexpr int kPortNameSize = 256;
constexpr int kBannerSize = 256;
constexpr uint32_t kResultSize = 2000;
constexpr uint32_t kResultRoom = kResultSize - 1;

class Connection {
  public:
    // Which failures of a fixed-baud open lead to one retry with the other
    // reset polarity; the transports and open variants differ here.
    enum class FirstFailure { BaudRate, Reset, Banner };
    struct FixedBaudRetry {
        bool onBaudRateFailure;
        bool onResetFailure;
        bool onBannerFailure;
        // When the retry's reset fails after a first try that failed this
        // way (indexed by FirstFailure), the toggled polarity stays.
        bool keepPolarityAfterResetFailure[3];
    };
    // Byte source of a read; Poll returns the number taken, -1 on a
    // transport error. Wait returns when bytes arrive or ms pass; bytesDue
    // are those the read still expects.
    struct Poller {
        virtual long Poll(uint8_t* into, uint32_t room) = 0;
        virtual void Wait(uint32_t ms, uint32_t bytesDue) = 0;
        virtual ~Poller() = default;
    };
    explicit Connection(ConnectionType type);
    virtual bool Try_Open_Port(int port) = 0;
    virtual bool Try_Open_Port_Send_CR(int port) = 0;
    virtual void Close() = 0;
    virtual void CommRTS(bool level) = 0;
    virtual bool CommCTS() = 0;
    virtual bool CommDSR() = 0;
    virtual bool CommDCD() = 0;
    virtual bool CommRI() = 0;
    virtual bool Hold_Reset() = 0;
    virtual bool Release_Reset() = 0;
    virtual bool Write(const uint8_t* data, uint32_t count, uint32_t rxMinCount) = 0;
    virtual bool WriteFramedByRTS(const uint8_t* data, uint32_t count, uint32_t rxMinCount,
                                  bool frame) = 0;
    virtual bool Read(uint32_t minCount) = 0;
    virtual ~Connection();
    virtual bool IsConnected();
    // Takes whatever reply bytes are already waiting, without waiting for more.
    virtual void Drain() {}
    // Opens the port of the last connection again.
    virtual bool Reopen() { return Try_Open_Port(port); }

    bool Reset();
    bool Reset_Send_CR();
    bool Valid_Firmware_Banner();

    ConnectionType GetType() const { return type; }
    const char* TypeName() const { return ConnectionTypeName(type); }
    int GetPort() const { return port; }
    const char* GetPortName() const { return szPortName; }
    const char* GetBanner() const { return szFirmwareBanner; }
    uint32_t ResultCharCount() const { return nResultCount; }
    uint8_t ResultChar(uint32_t i) const { return i < nResultCount ? szResult[i] : 0; }
    const uint8_t* ResultBuffer() const { return szResult; }
    bool ResetOnDTRhigh() const { return bResetOnDTRhigh; }

  protected:
    // What a transport supplies to the shared open and read algorithms.
    using SetBaudFn = bool (*)(Connection*, uint32_t);

    // The baud-rate and reset-polarity search shared by both transports.
    bool FindBoard(bool sendCR, const uint32_t* bauds, int baudCount, SetBaudFn setBaud,
                   const FixedBaudRetry& retry, bool announceRates);

    // The read contract with both time-outs. With idleAfterBytesOnly, the idle
    // time-out is tested only after a poll that found bytes.
    bool ReadReply(uint32_t minCount, Poller& poller, bool idleAfterBytesOnly, const char* idleText,
                   const char* grossText, const char* grossEmptyText);
    void CaptureBanner();
    // Polls until nothing more is waiting; the bytes become the reply buffer.
    void DrainWith(Poller& poller);

    ConnectionType type;
    int port = 0;
    bool connected = false;
    char szPortName[kPortNameSize];
    char szFirmwareBanner[kBannerSize];
    uint8_t szResult[kResultSize];
    uint32_t nResultCount = 0;
    // Which DTR level holds the board in reset; survives Close and is the
    // first polarity tried on the next open.
    bool bResetOnDTRhigh = false;

  private:
    bool DoReset(bool sendCR);
};

class Null_Connection : public Connection {
  public:
    Null_Connection() : Connection(ct_None) {}
    bool Try_Open_Port(int p) override;
    bool Try_Open_Port_Send_CR(int p) override;
    void Close() override {}
    void CommRTS(bool) override {}
    bool CommCTS() override { return false; }
    bool CommDSR() override { return false; }
    bool CommDCD() override { return false; }
    bool CommRI() override { return false; }
    bool Hold_Reset() override { return false; }
    bool Release_Reset() override { return false; }
    bool Write(const uint8_t*, uint32_t, uint32_t) override { return false; }
    bool WriteFramedByRTS(const uint8_t*, uint32_t, uint32_t, bool) override { return false; }
    bool Read(uint32_t) override { return false; }
};

extern Connection* Active_Connection;
extern uint32_t gnRESET_HOLD_msec;
extern uint32_t gnRESET_SETTLE_msec;
extern uint32_t gnREAD_IDLE_TIMEOUT_msec;
extern uint32_t gnGROSS_READSTRING_TIMEOUT_msec;
extern bool gAutoBaudFlag;
extern uint32_t gnBaudRate;
extern char szRequiredBannerPrefix[32];

Null_Connection& TheNullConnection();

} // namespace rerodada

#endif
