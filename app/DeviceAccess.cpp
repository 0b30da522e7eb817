#include "DeviceAccess.h"

#include "AddressScan.h"
#include "SystemManager.h"

#include "rerodada.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <mutex>

namespace {

// One thread at a time in the board link. Recursive, as a comm event's
// listener may ask for the banner while its transaction still holds it.
std::recursive_timed_mutex g_link;

// Holds the link for one call. A search thread waits for it as long as it
// takes; the window's thread waits kLinkWaitMs and then does without, so
// that it never stands still behind a search.
class LinkGuard {
  public:
    LinkGuard() {
        const QCoreApplication* app = QCoreApplication::instance();
        if (!app || QThread::currentThread() != app->thread()) {
            g_link.lock();
            m_held = true;
        } else {
            m_held = g_link.try_lock_for(std::chrono::milliseconds(kLinkWaitMs));
        }
    }
    ~LinkGuard() {
        if (m_held) g_link.unlock();
    }
    LinkGuard(const LinkGuard&) = delete;
    LinkGuard& operator=(const LinkGuard&) = delete;
    explicit operator bool() const { return m_held; }

  private:
    bool m_held = false;
};

// Set by boardConnect, refreshed by boardConnected; the raw transfers are
// only sent while it is 1.
uint8_t g_boardConnected = 0;

// The SPI pins of the PODLINK board.
constexpr uint32_t kSpiCsPin = 9;
constexpr uint32_t kSpiSckPin = 10;
constexpr uint32_t kSpiMisoPin = 11;
constexpr uint32_t kSpiMosiPin = 12;

// Listeners may run the event loop, and other comm events inside it.
int g_commEventDepth = 0;

void emitCommEvent(uint8_t cmd, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk) {
    ++g_commEventDepth;
    emit SystemManager::instance()->sig_commEvent(cmd, reg, dataSize, data, commOk);
    --g_commEventDepth;
}

uint8_t sendTwoBytes(uint8_t b0, uint8_t b1) {
    const uint8_t bytes[2] = {b0, b1};
    return commStringWrite(bytes, 2, 1);
}

} // namespace

uint8_t readByte(uint8_t reg) {
    SystemManager* manager = SystemManager::instance();
    uint8_t value = 0;
    uint8_t ok = 0;
    {
        LinkGuard link;
        if (!link) return 0;
        ok = static_cast<uint8_t>(BrimSMBusReadByte(manager->address(), reg, &value));
    }
    if (ok)
        manager->setRegister(reg, value);
    else
        value = 0;
    emitCommEvent(kCommEventRead, reg, 8, value, ok);
    return value;
}

uint16_t readWord(uint8_t reg) {
    SystemManager* manager = SystemManager::instance();
    uint16_t value = 0;
    uint8_t ok = 0;
    {
        LinkGuard link;
        if (!link) return 0;
        ok = static_cast<uint8_t>(BrimSMBusReadWord(manager->address(), reg, &value));
    }
    if (ok)
        manager->setRegister(reg, value);
    else
        value = 0;
    emitCommEvent(kCommEventRead, reg, 16, value, ok);
    return value;
}

uint32_t readRegister(uint8_t reg, uint8_t sizeBits) {
    if (sizeBits <= 8) return readByte(reg);
    if (sizeBits <= 16) return readWord(reg);
    emitCommEvent(kCommEventRead, reg, sizeBits, 0, 0);
    return 0;
}

uint8_t writeByte(uint8_t reg, uint8_t value) {
    uint8_t ok = 0;
    {
        LinkGuard link;
        if (!link) return 0;
        ok = static_cast<uint8_t>(
            BrimSMBusWriteByte(SystemManager::instance()->address(), reg, value));
    }
    emitCommEvent(kCommEventWrite, reg, 8, value, ok);
    return ok;
}

uint8_t writeWord(uint8_t reg, uint16_t value) {
    uint8_t ok = 0;
    {
        LinkGuard link;
        if (!link) return 0;
        ok = static_cast<uint8_t>(
            BrimSMBusWriteWord(SystemManager::instance()->address(), reg, value));
    }
    emitCommEvent(kCommEventWrite, reg, 16, value, ok);
    return ok;
}

uint8_t writeRegister(uint8_t reg, uint8_t sizeBits, uint32_t value) {
    if (sizeBits <= 8) return writeByte(reg, static_cast<uint8_t>(value));
    if (sizeBits <= 16) return writeWord(reg, static_cast<uint16_t>(value));
    emitCommEvent(kCommEventWrite, reg, sizeBits, value, 0);
    return 0;
}

uint8_t writeGpio(uint8_t pin, uint8_t level) {
    uint8_t ok = 0;
    {
        LinkGuard link;
        if (!link) return 0;
        if (boardConnected()) {
            BrimPinWrite(pin, level);
            ok = 1;
        }
    }
    emitCommEvent(kCommEventGpioWrite, pin, 8, level, ok);
    return ok;
}

uint8_t readGpio(uint8_t pin) {
    uint8_t connected = 0;
    uint8_t level = 0;
    {
        LinkGuard link;
        if (!link) return 0;
        connected = boardConnected() ? 1 : 0;
        level = BrimPinRead(pin) ? 1 : 0;
    }
    emitCommEvent(kCommEventGpioRead, pin, 8, level, connected);
    return level;
}

bool boardConnect() {
    LinkGuard link;
    if (!link) return false;
    if (BrimBoardConnected()) return true;
    BrimBoardConnect();
    if (!BrimBoardConnected()) {
        BrimBoardConnect();
        if (!BrimBoardConnected()) return false;
    }
    BrimSetUSB_Latency(1);
    g_boardConnected = 1;
    return true;
}

void boardDisconnect() {
    LinkGuard link;
    if (!link) return;
    BrimBoardDisconnect();
}

bool boardConnected() {
    LinkGuard link;
    if (!link) return false;
    g_boardConnected = BrimBoardConnected() ? 1 : 0;
    return g_boardConnected != 0;
}

bool commEventRunning() {
    return g_commEventDepth > 0;
}

void stopBoardSearch(bool stop) {
    BrimBoardStopSearch(stop);
}

QString boardBanner() {
    LinkGuard link;
    if (!link) return QString();
    char buffer[256] = {};
    BrimBoardGetBanner(buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return QString::fromLatin1(buffer);
}

void scanAddresses(uint8_t* out) {
    LinkGuard link;
    if (!link) {
        out[0] = kScanEndMark;
        return;
    }
    BrimSetUSB_Latency(2);
    const int count = scanBus([](uint8_t address) { return BrimSMBusQuick(address) != 0; }, out);
    out[count] = kScanEndMark;
    BrimSetUSB_Latency(1);
}

uint8_t smbusReadByte(uint8_t address, uint8_t reg, uint8_t* value) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(BrimSMBusReadByte(address, reg, value));
}

uint8_t smbusReadWord(uint8_t address, uint8_t reg, uint16_t* value) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(BrimSMBusReadWord(address, reg, value));
}

uint8_t smbusWriteByte(uint8_t address, uint8_t reg, uint8_t value) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(BrimSMBusWriteByte(address, reg, value));
}

uint8_t smbusWriteWord(uint8_t address, uint8_t reg, uint16_t value) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(BrimSMBusWriteWord(address, reg, value));
}

uint8_t i2cWriteAndRead(uint8_t address, uint32_t writeCount, uint32_t readCount,
                        const uint8_t* writeData, uint8_t* readBuffer, uint32_t* receivedCount) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(BrimI2CWriteAndReadBytes(address, writeCount, readCount, writeData,
                                                         readBuffer, receivedCount));
}

uint8_t i2cSetSpeed(uint8_t code) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(BrimI2CSetSpeed(code));
}

uint8_t i2cStart() {
    return sendTwoBytes(0xA0, 0x00);
}
uint8_t i2cRepeatedStart() {
    return sendTwoBytes(0xA0, 0x01);
}
uint8_t i2cStop() {
    return sendTwoBytes(0xA3, 0x00);
}
uint8_t i2cWrite8(uint8_t byte) {
    return sendTwoBytes(0xA1, byte);
}

uint8_t i2cReceive8(uint8_t ack, uint8_t* out) {
    LinkGuard link;
    if (!link) return 0;
    const uint8_t ok = sendTwoBytes(0xA2, ack);
    *out = resultChar(0);
    return ok;
}

uint8_t commStringWrite(const uint8_t* bytes, uint32_t length, int replies) {
    LinkGuard link;
    if (!link) return 0;
    if (g_boardConnected != 1) return 0;
    return static_cast<uint8_t>(ReroDadaStringWrite(bytes, length, replies));
}

uint32_t resultCharCount() {
    LinkGuard link;
    if (!link) return 0;
    return ReroDadaResultCharCount();
}
uint8_t resultChar(uint32_t index) {
    LinkGuard link;
    if (!link) return 0;
    return ReroDadaResultChar(index);
}

uint8_t spiTransfer(uint32_t count, const uint8_t* tx, uint8_t* rx) {
    LinkGuard link;
    if (!link) return 0;
    if (g_boardConnected != 1) return 0;
    return static_cast<uint8_t>(BrimSpiTransfer(count, tx, rx));
}

uint8_t spiPulse8() {
    // Only the eight clock pulses matter; the byte clocked in is dropped.
    const uint8_t tx = 0x00;
    uint8_t rx = 0;
    return spiTransfer(1, &tx, &rx);
}

uint32_t spiSetSpeed(int32_t khz) {
    LinkGuard link;
    if (!link) return 0;
    const uint32_t result = BrimSpiConfigSCKSpeedKhz(khz);
    BrimSetUSB_Latency(1);
    return result;
}

uint8_t spiSetConfig(uint8_t mode) {
    LinkGuard link;
    if (!link) return 0;
    BrimSpiConfigCSPin(kSpiCsPin);
    BrimSpiConfigMOSIPin(kSpiMosiPin);
    BrimSpiConfigMISOPin(kSpiMisoPin);
    BrimSpiConfigSCKPin(kSpiSckPin);
    BrimSpiConfigMSBFirst((mode >> 2) & 1);
    BrimSpiConfigCpolCpha((mode >> 1) & 1, mode & 1);
    BrimSetUSB_Latency(1);
    return 1;
}

uint8_t spiSetCsPin(uint8_t pin) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(BrimSpiConfigCSPin(pin));
}

uint8_t spiChipSelect(bool asserted) {
    LinkGuard link;
    if (!link) return 0;
    return static_cast<uint8_t>(asserted ? BrimSpiCsAssert() : BrimSpiCsNegate());
}
