#ifndef SYSTEMMANAGER_H
#define SYSTEMMANAGER_H

#include <QObject>

#include <cstdint>

// Event codes of sig_commEvent.
enum CommEventCode : uint8_t {
    kCommEventRead = 0,
    kCommEventWrite = 1,
    kCommEventSpiRead = 4,
    kCommEventSpiWrite = 5,
    kCommEventGpioWrite = 10,
    kCommEventGpioRead = 11,
};

// Keeps the register cache of the evaluated device and reports every
// register and GPIO transaction through sig_commEvent.
class SystemManager : public QObject {
    Q_OBJECT

  public:
    static constexpr int kCacheSlots = 10;
    static constexpr int kRegistersPerSlot = 256;

    static SystemManager* instance();

    // Stores the low 8 bits of value.
    void setRegister(uint8_t reg, uint32_t value);
    uint8_t getRegister(uint8_t reg) const;

    // The current device address, 8-bit form with bit 0 clear.
    uint8_t address() const;

  signals:
    // cmd: a CommEventCode; reg: register, command byte or pin; dataSize:
    // width in bits; data: value written or read (0 after a failed read);
    // commOk: 1 when the transaction succeeded.
    void sig_commEvent(uint8_t cmd, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk);

  private:
    SystemManager();

    uint8_t m_registerCache[kCacheSlots][kRegistersPerSlot] = {};
    uint8_t m_selectedSlot = 0;
};

#endif // SYSTEMMANAGER_H
