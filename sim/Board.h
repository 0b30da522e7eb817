// A simulated PODLINK interface board: firmware, I2C bus with its targets,
// SPI loopback, pins, P8 bus, and the link to the host with latency, faults
// and a record of all traffic. Every member is safe to call from any thread.
//
// Host side of the link (what a UART or USB chip would see):
//   void setBaud(uint32_t baud);           host line rate; other rates give noise
//   void setDtr(bool asserted);            the configured level holds reset, leaving it
//                                          sends the banner
//   void setRts(bool asserted);
//   void endReset();                       a reset pulse ends now (pty front end)
//   void purgeHostReceive();               host dropped all bytes it had not read
//   void hostWrite(const uint8_t*, size_t) bytes from the host, answered at once
//   size_t available();                    bytes the host may read now
//   size_t hostRead(uint8_t* buf, size_t max);
//   std::vector<uint8_t> readAvailable();  everything readable now
//   int64_t microsUntilNext();             -1 nothing queued, 0 readable now
//   Releases releases();                   when bytes became and will become readable
//   uint32_t modemStatus();                0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 DCD
//   bool unplugged(); void unplug(); void replug(); void unplugAfter(int64_t writes);
// Inspection and control for tests:
//   traffic(), hostBytes(), lastHostWrite(), boardBytes(), clearTraffic(), hostWrites()
//   chipRegister(reg), setChipRegister(reg, v)        RAR4120E, no write rules applied
//   smbusWord/setSmbusWord, smbusBlock/setSmbusBlock, smbusProcessResult, smbusPecErrors
//   memoryByte/setMemoryByte                          plain devices
//   pin/setPin, p8Byte/setP8Byte, p8Config, spiControl, spiSpeed, i2cSpeed,
//   spiMosi, spiCsOption, i2cOption, scriptRuns
//   setFault/clearFault/fault, setLatencyUs/latencyUs, setLatencyTimerMs/latencyTimerMs,
//   setModemStatus, setSilent, dtr, rts, hostBaud, boardBaud, inReset
// With line_rate, bytes each way take their character time at the board's rate.
//   setScriptedReplies/clearScriptedReplies       answers chosen by the test
#pragma once

#include "Config.h"
#include "Firmware.h"
#include "I2cBus.h"
#include "MemoryDevice.h"
#include "Noise.h"
#include "Rar4120eModel.h"
#include "SmbusDevice.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace podsim {

constexpr uint32_t kDefaultSerialBaud = 115200;
constexpr uint32_t kDefaultUsbBaud = 921600;

struct TrafficChunk {
    enum class Direction { HostToBoard, BoardToHost };
    Direction direction;
    std::vector<uint8_t> bytes;
};

class Board {
  public:
    explicit Board(Config cfg = Config());
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    Config config();

    // Host side of the link.
    void setBaud(uint32_t baud);
    uint32_t hostBaud();
    uint32_t boardBaud();
    void setDtr(bool asserted);
    void setRts(bool asserted);
    bool dtr();
    bool rts();
    bool inReset();
    void endReset();
    void purgeHostReceive();
    void hostWrite(const uint8_t* data, size_t n);
    void hostWrite(const std::vector<uint8_t>& data) { hostWrite(data.data(), data.size()); }
    size_t available();
    size_t hostRead(uint8_t* buf, size_t max);
    std::vector<uint8_t> readAvailable();
    int64_t microsUntilNext();
    // When the newest byte readable now became readable (the clock's epoch
    // when none is), and when the next byte held back will (the clock's
    // maximum when none is): what a driver's receive notification follows.
    struct Releases {
        std::chrono::steady_clock::time_point newest, next;
    };
    Releases releases();
    uint32_t modemStatus();
    void setModemStatus(uint32_t bits);

    // Plugging.
    bool unplugged();
    void unplug();
    void replug();
    // The board serves this many more host writes; the next one finds it gone.
    // -1 cancels.
    void unplugAfter(int64_t writes);

    // Link timing and faults.
    void setLatencyUs(uint32_t us);
    uint32_t latencyUs();
    void setLatencyTimerMs(uint8_t ms); // USB chip latency timer, added to the latency
    uint8_t latencyTimerMs();
    void setFault(const Fault& f);
    void clearFault() { setFault(Fault()); }
    Fault fault();
    void setSilent(bool silent);

    // Each host write (outside reset, at the right rate) is answered with the
    // next of these byte strings instead of the firmware's answer, untouched
    // by faults; once they run out, writes get no answer. Resets still send
    // the banner. clearScriptedReplies hands the answers back to the firmware.
    void setScriptedReplies(std::vector<std::vector<uint8_t>> replies);
    void clearScriptedReplies();

    // Traffic record.
    std::vector<TrafficChunk> traffic();
    std::vector<uint8_t> hostBytes();
    std::vector<uint8_t> lastHostWrite();
    std::vector<uint8_t> boardBytes();
    size_t hostWrites();
    void clearTraffic();

    // RAR4120E.
    uint8_t chipRegister(uint8_t reg);
    void setChipRegister(uint8_t reg, uint8_t v);

    // SMBus test devices and plain devices, by 8-bit address; std::out_of_range
    // when no such device is configured.
    uint16_t smbusWord(uint8_t addr, uint8_t cmd);
    void setSmbusWord(uint8_t addr, uint8_t cmd, uint16_t v);
    std::vector<uint8_t> smbusBlock(uint8_t addr, uint8_t cmd);
    void setSmbusBlock(uint8_t addr, uint8_t cmd, const std::vector<uint8_t>& data);
    uint16_t smbusProcessResult(uint8_t addr, uint8_t cmd);
    uint32_t smbusPecErrors(uint8_t addr);
    uint8_t memoryByte(uint8_t addr, uint8_t offset);
    void setMemoryByte(uint8_t addr, uint8_t offset, uint8_t v);

    // Firmware state.
    bool pin(unsigned p);
    void setPin(unsigned p, bool level);
    uint8_t p8Byte(uint8_t a);
    void setP8Byte(uint8_t a, uint8_t v);
    uint8_t p8Config();
    uint8_t spiControl();
    uint8_t spiSpeed();
    uint8_t i2cSpeed();
    std::vector<uint8_t> spiMosi();
    uint8_t spiCsOption();
    uint8_t i2cOption(uint8_t option);
    std::vector<ScriptRun> scriptRuns();

  private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        uint8_t byte;
        Clock::time_point due;
    };

    bool baudMatchesLocked() const;
    bool inResetLocked() const { return dtr_ == cfg_.resetOnDtrSet; }
    bool unpluggedLocked();
    bool faultDueLocked();
    void resetLocked();
    // notBefore, when given, holds for each byte the time the host byte
    // that caused it arrived (line-rate mode).
    void sendLocked(const std::vector<uint8_t>& bytes, uint32_t extraUs = 0,
                    const std::vector<Clock::time_point>* notBefore = nullptr);
    void replyLocked(std::vector<uint8_t> reply, std::vector<Clock::time_point> notBefore);
    Clock::duration charTimeLocked() const;
    size_t availableLocked(Clock::time_point now) const;
    SmbusDevice& smbusLocked(uint8_t addr);
    MemoryDevice& memoryLocked(uint8_t addr);

    std::mutex mutex_;
    Config cfg_;
    I2cBus bus_;
    std::shared_ptr<Rar4120eModel> rar_;
    std::map<uint8_t, std::shared_ptr<SmbusDevice>> smbus_;
    std::map<uint8_t, std::shared_ptr<MemoryDevice>> memories_;
    Firmware firmware_;
    NoiseSource noise_;

    uint32_t hostBaud_;
    bool dtr_ = false;
    bool rts_ = false;
    uint32_t modem_;
    bool unplugged_;
    int64_t unplugCountdown_;
    uint32_t latencyUs_;
    uint8_t latencyTimerMs_ = 0;
    Fault fault_;
    uint32_t faultSkip_ = 0;
    uint32_t faultLeft_ = 0;
    uint64_t faultReplies_ = 0;
    Clock::time_point unpluggedAt_;
    bool scripted_ = false;
    std::deque<std::vector<uint8_t>> scriptedReplies_;

    std::deque<Pending> out_;
    // When the line each way is free again (line-rate mode).
    Clock::time_point hostLineFree_;
    Clock::time_point boardLineFree_;
    std::vector<TrafficChunk> traffic_;
};

} // namespace podsim
