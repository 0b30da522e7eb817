// The connection to the PODLINK board through the D2XX USB driver.
#ifndef RERODADA_USB_CONNECTION_H
#define RERODADA_USB_CONNECTION_H

#include "Connection.h"
#include "FTDI_DLL.h"

namespace rerodada {

class USB_Connection : public Connection {
  public:
    USB_Connection();
    ~USB_Connection() override;
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
    // Asks the driver whether the device is still there; closes it when not.
    bool IsConnected() override;

    bool Set_BaudRate(uint32_t baud);
    // Polarity retries of the fixed-baud open, by variant.
    static const FixedBaudRetry kTryOpenRetry;
    static const FixedBaudRetry kSendCRRetry;
    uint32_t BaudRate() const { return baud; }
    bool IsOpen() const { return m_ftHandle != kClosedHandle; }
    bool SetLatency(uint8_t ms);
    bool DeviceInfo(uint32_t* id, char* serial, char* description);
    // Who answers the driver calls from the next open on: the D2XX library
    // (null) or another driver of the same chip. It stays for re-opens.
    void UseDriver(FtdiApi* api);
    FtdiApi* Driver() const { return driver; }
    // The driver opened the device at the last open, whether or not a board answered.
    bool DeviceOpened() const { return deviceOpened; }

    static inline FT_HANDLE const kClosedHandle = reinterpret_cast<FT_HANDLE>(~uintptr_t{0});

  private:
    bool OpenDevice(int index, const char* variant);
    bool ModemLine(uint32_t bit);
    bool Send(const uint8_t* data, uint32_t count, bool framed, bool frame);
    FtdiApi& Api();

    FT_HANDLE m_ftHandle = kClosedHandle;
    FT_STATUS ftStatus = FT_OK;
    uint32_t baud = 0;
    FtdiApi* driver = nullptr;
    bool deviceOpened = false;
};

USB_Connection& TheUSBConnection();

} // namespace rerodada

#endif
