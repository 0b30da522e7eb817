#ifndef DEVICEACCESS_H
#define DEVICEACCESS_H

#include <QString>

#include <cstdint>

// The board link is single-threaded: each function below holds it for its
// call. On the window's thread a call that finds the link held by another
// thread (a board search) for more than kLinkWaitMs fails at once, without
// touching the board and without a comm event.
constexpr int kLinkWaitMs = 20;

// Device operations: they work on the current device address, keep the
// register cache of SystemManager up to date and report a comm event.
uint8_t readByte(uint8_t reg);
uint16_t readWord(uint8_t reg);
// Widths up to 8 read a byte, 9 to 16 a word; wider ones are refused.
uint32_t readRegister(uint8_t reg, uint8_t sizeBits);
uint8_t writeByte(uint8_t reg, uint8_t value);
uint8_t writeWord(uint8_t reg, uint16_t value);
uint8_t writeRegister(uint8_t reg, uint8_t sizeBits, uint32_t value);
uint8_t writeGpio(uint8_t pin, uint8_t level);
uint8_t readGpio(uint8_t pin);

// Board operations: explicit address where there is one, no cache, no comm
// event. Results are the board-link result as a byte, non-zero for success.
bool boardConnect();
void boardDisconnect();
bool boardConnected();
QString boardBanner();
// While stop is true, a running boardConnect gives up before its next device,
// port or baud rate. The one function that may be called while another
// thread holds the link.
void stopBoardSearch(bool stop);

// True while the listeners of a comm event run: the operation that sent the
// transaction may not be over.
bool commEventRunning();

constexpr int kScanBufferSize = 128;
constexpr uint8_t kScanEndMark = 0xFF;
// Fills out (at least kScanBufferSize bytes) with the answering addresses in
// ascending order, followed by kScanEndMark.
void scanAddresses(uint8_t* out);

uint8_t smbusReadByte(uint8_t address, uint8_t reg, uint8_t* value);
uint8_t smbusReadWord(uint8_t address, uint8_t reg, uint16_t* value);
uint8_t smbusWriteByte(uint8_t address, uint8_t reg, uint8_t value);
uint8_t smbusWriteWord(uint8_t address, uint8_t reg, uint16_t value);
uint8_t i2cWriteAndRead(uint8_t address, uint32_t writeCount, uint32_t readCount,
                        const uint8_t* writeData, uint8_t* readBuffer, uint32_t* receivedCount);
uint8_t i2cSetSpeed(uint8_t code);

uint8_t i2cStart();
uint8_t i2cRepeatedStart();
uint8_t i2cStop();
uint8_t i2cWrite8(uint8_t byte);
// Copies the first reply byte into out even when the command failed.
uint8_t i2cReceive8(uint8_t ack, uint8_t* out);

// replies: the number of reply bytes the board is to return.
uint8_t commStringWrite(const uint8_t* bytes, uint32_t length, int replies);
uint32_t resultCharCount();
uint8_t resultChar(uint32_t index);

uint8_t spiTransfer(uint32_t count, const uint8_t* tx, uint8_t* rx);
uint8_t spiPulse8();
uint32_t spiSetSpeed(int32_t khz);
// mode: bit 0 CPHA, bit 1 CPOL, bit 2 MSB first.
uint8_t spiSetConfig(uint8_t mode);
uint8_t spiSetCsPin(uint8_t pin);
// true asserts the chip select, false negates it.
uint8_t spiChipSelect(bool asserted);

#endif // DEVICEACCESS_H
