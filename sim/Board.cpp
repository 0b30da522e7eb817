#include "Board.h"

#include <algorithm>
#include <stdexcept>

namespace podsim {

Board::Board(Config cfg)
    : cfg_(std::move(cfg)), firmware_(cfg_, bus_), modem_(cfg_.modemStatus),
      unplugged_(cfg_.unplugged), unplugCountdown_(cfg_.unplugAfter), latencyUs_(cfg_.latencyUs) {
    if (cfg_.baud == 0) cfg_.baud = kDefaultSerialBaud;
    hostBaud_ = cfg_.baud;
    if (cfg_.rar4120ePresent) {
        rar_ = std::make_shared<Rar4120eModel>();
        bus_.attach(cfg_.rar4120eAddress, rar_);
    }
    for (uint8_t a : cfg_.smbusDevices) {
        auto d = std::make_shared<SmbusDevice>(a);
        smbus_[a] = d;
        bus_.attach(a, d);
    }
    for (uint8_t a : cfg_.plainDevices) {
        auto d = std::make_shared<MemoryDevice>();
        memories_[a] = d;
        bus_.attach(a, d);
    }
    unpluggedAt_ = Clock::now();
    setFault(cfg_.fault);
}

Config Board::config() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cfg_;
}

bool Board::baudMatchesLocked() const {
    // A UART still frames bytes correctly within a few percent.
    uint64_t diff = hostBaud_ > cfg_.baud ? hostBaud_ - cfg_.baud : cfg_.baud - hostBaud_;
    return diff * 100 <= uint64_t(cfg_.baud) * 3;
}

void Board::setBaud(uint32_t baud) {
    std::lock_guard<std::mutex> lock(mutex_);
    hostBaud_ = baud;
}

uint32_t Board::hostBaud() {
    std::lock_guard<std::mutex> lock(mutex_);
    return hostBaud_;
}

uint32_t Board::boardBaud() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cfg_.baud;
}

void Board::setDtr(bool asserted) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool wasHeld = inResetLocked();
    dtr_ = asserted;
    if (wasHeld && !inResetLocked()) resetLocked();
}

void Board::setRts(bool asserted) {
    std::lock_guard<std::mutex> lock(mutex_);
    rts_ = asserted;
}

bool Board::dtr() {
    std::lock_guard<std::mutex> lock(mutex_);
    return dtr_;
}

bool Board::rts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rts_;
}

bool Board::inReset() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inResetLocked();
}

void Board::endReset() {
    std::lock_guard<std::mutex> lock(mutex_);
    resetLocked();
}

void Board::resetLocked() {
    firmware_.reset();
    if (unpluggedLocked()) return;
    std::vector<uint8_t> banner;
    if (cfg_.bannerNul) banner.push_back(0x00);
    auto junk = noise_.bytes(cfg_.bannerNoise);
    banner.insert(banner.end(), junk.begin(), junk.end());
    std::string text = cfg_.bannerText();
    banner.insert(banner.end(), text.begin(), text.end());
    if (!baudMatchesLocked()) banner = noise_.bytes(banner.size());
    sendLocked(banner);
}

void Board::purgeHostReceive() {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.clear();
    boardLineFree_ = Clock::time_point();
}

void Board::hostWrite(const uint8_t* data, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unpluggedLocked() || n == 0) return;
    if (unplugCountdown_ == 0) {
        unplugged_ = true;
        unplugCountdown_ = -1;
        unpluggedAt_ = Clock::now();
        out_.clear();
        return;
    }
    if (unplugCountdown_ > 0) --unplugCountdown_;
    if (cfg_.recordTraffic) {
        traffic_.push_back(
            {TrafficChunk::Direction::HostToBoard, std::vector<uint8_t>(data, data + n)});
    }
    if (inResetLocked()) return;
    if (!baudMatchesLocked()) {
        // Misframed bytes: the firmware sees junk and its answers look like junk.
        sendLocked(noise_.bytes(n));
        return;
    }
    if (scripted_) {
        if (!scriptedReplies_.empty()) {
            sendLocked(scriptedReplies_.front());
            scriptedReplies_.pop_front();
        }
        return;
    }
    std::vector<uint8_t> reply;
    std::vector<Clock::time_point> arrivals;
    const Clock::duration charTime = charTimeLocked();
    for (size_t i = 0; i < n; ++i) {
        // Each byte reaches the firmware when its last bit is in.
        if (charTime.count() > 0) {
            hostLineFree_ = std::max(hostLineFree_, Clock::now()) + charTime;
        }
        firmware_.feed(data[i], reply);
        arrivals.resize(reply.size(), hostLineFree_);
    }
    if (charTime.count() == 0) arrivals.clear();
    if (!reply.empty()) replyLocked(std::move(reply), std::move(arrivals));
}

bool Board::unpluggedLocked() {
    if (unplugged_ && cfg_.replugAfterMs > 0 &&
        Clock::now() - unpluggedAt_ >= std::chrono::milliseconds(cfg_.replugAfterMs)) {
        unplugged_ = false;
        unplugCountdown_ = cfg_.unplugAfter;
        firmware_.reset();
    }
    return unplugged_;
}

// With a period the after/times window recurs; without one it is counted
// down once.
bool Board::faultDueLocked() {
    if (fault_.period > 0) {
        const uint64_t pos = faultReplies_++ % fault_.period;
        return pos >= fault_.after &&
               (fault_.times == 0 || pos < uint64_t(fault_.after) + fault_.times);
    }
    if (faultSkip_ > 0) {
        --faultSkip_;
        return false;
    }
    if (fault_.times > 0) {
        if (faultLeft_ == 0) return false;
        --faultLeft_;
    }
    return true;
}

Board::Clock::duration Board::charTimeLocked() const {
    if (!cfg_.lineRate || cfg_.baud == 0) return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL) /
                                                       cfg_.baud);
}

void Board::replyLocked(std::vector<uint8_t> reply, std::vector<Clock::time_point> notBefore) {
    const auto* times = notBefore.empty() ? nullptr : &notBefore;
    if (fault_.kind == FaultKind::None || !faultDueLocked()) {
        sendLocked(reply, 0, times);
        return;
    }
    // A faulty reply leaves when the first byte that caused it arrived.
    if (times) notBefore.assign(reply.size() + fault_.bytes, notBefore.front());
    const size_t keep = std::min<size_t>(fault_.bytes, reply.size());
    switch (fault_.kind) {
    case FaultKind::None:
    case FaultKind::NoReply:
        break;
    case FaultKind::Cut:
        reply.resize(keep);
        sendLocked(reply, 0, times);
        break;
    case FaultKind::Stall:
        sendLocked(std::vector<uint8_t>(reply.begin(), reply.begin() + keep), 0, times);
        if (fault_.delayUs > 0) {
            sendLocked(std::vector<uint8_t>(reply.begin() + keep, reply.end()), fault_.delayUs,
                       times);
        }
        break;
    case FaultKind::WrongCompletion:
        reply.back() ^= 0x01;
        sendLocked(reply, 0, times);
        break;
    case FaultKind::Noise: {
        auto junk = noise_.bytes(fault_.bytes);
        reply.insert(reply.begin(), junk.begin(), junk.end());
        sendLocked(reply, 0, times);
        break;
    }
    }
}

void Board::sendLocked(const std::vector<uint8_t>& bytes, uint32_t extraUs,
                       const std::vector<Clock::time_point>* notBefore) {
    if (cfg_.silent || bytes.empty()) return;
    if (cfg_.recordTraffic) traffic_.push_back({TrafficChunk::Direction::BoardToHost, bytes});
    const auto now = Clock::now();
    const auto delay = std::chrono::microseconds(uint64_t(latencyUs_) +
                                                 uint64_t(latencyTimerMs_) * 1000 + extraUs);
    const Clock::duration charTime = charTimeLocked();
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto due = (notBefore && i < notBefore->size() ? (*notBefore)[i] : now) + delay;
        // The line is first in, first out: nothing overtakes a held-back
        // byte, and in line-rate mode each byte takes its character time.
        if (!out_.empty()) due = std::max(due, out_.back().due);
        if (charTime.count() > 0) {
            due = std::max(due, boardLineFree_) + charTime;
            boardLineFree_ = due;
        }
        out_.push_back({bytes[i], due});
    }
}

size_t Board::availableLocked(Clock::time_point now) const {
    size_t n = 0;
    while (n < out_.size() && out_[n].due <= now)
        ++n;
    return n;
}

size_t Board::available() {
    std::lock_guard<std::mutex> lock(mutex_);
    return unpluggedLocked() ? 0 : availableLocked(Clock::now());
}

size_t Board::hostRead(uint8_t* buf, size_t max) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unpluggedLocked()) return 0;
    size_t n = std::min(max, availableLocked(Clock::now()));
    for (size_t i = 0; i < n; ++i) {
        buf[i] = out_.front().byte;
        out_.pop_front();
    }
    return n;
}

std::vector<uint8_t> Board::readAvailable() {
    std::vector<uint8_t> out(available());
    out.resize(hostRead(out.data(), out.size()));
    return out;
}

int64_t Board::microsUntilNext() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (out_.empty() || unpluggedLocked()) return -1;
    auto wait =
        std::chrono::duration_cast<std::chrono::microseconds>(out_.front().due - Clock::now());
    return std::max<int64_t>(0, wait.count());
}

Board::Releases Board::releases() {
    std::lock_guard<std::mutex> lock(mutex_);
    Releases r{Clock::time_point(), Clock::time_point::max()};
    if (unpluggedLocked()) return r;
    const size_t n = availableLocked(Clock::now());
    if (n > 0) r.newest = out_[n - 1].due;
    if (n < out_.size()) r.next = out_[n].due;
    return r;
}

uint32_t Board::modemStatus() {
    std::lock_guard<std::mutex> lock(mutex_);
    return unpluggedLocked() ? 0 : modem_;
}

void Board::setModemStatus(uint32_t bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    modem_ = bits;
}

bool Board::unplugged() {
    std::lock_guard<std::mutex> lock(mutex_);
    return unpluggedLocked();
}

void Board::unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugged_ = true;
    unpluggedAt_ = Clock::now();
    out_.clear();
}

void Board::replug() {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugged_ = false;
    unplugCountdown_ = -1;
    firmware_.reset();
}

void Board::unplugAfter(int64_t writes) {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugCountdown_ = writes < 0 ? -1 : writes;
}

void Board::setLatencyUs(uint32_t us) {
    std::lock_guard<std::mutex> lock(mutex_);
    latencyUs_ = us;
}

uint32_t Board::latencyUs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return latencyUs_;
}

void Board::setLatencyTimerMs(uint8_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    latencyTimerMs_ = ms;
}

uint8_t Board::latencyTimerMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return latencyTimerMs_;
}

void Board::setFault(const Fault& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = f;
    faultSkip_ = f.after;
    faultLeft_ = f.times;
    faultReplies_ = 0;
}

void Board::setScriptedReplies(std::vector<std::vector<uint8_t>> replies) {
    std::lock_guard<std::mutex> lock(mutex_);
    scripted_ = true;
    scriptedReplies_.assign(std::make_move_iterator(replies.begin()),
                            std::make_move_iterator(replies.end()));
}

void Board::clearScriptedReplies() {
    std::lock_guard<std::mutex> lock(mutex_);
    scripted_ = false;
    scriptedReplies_.clear();
}

Fault Board::fault() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fault_;
}

void Board::setSilent(bool silent) {
    std::lock_guard<std::mutex> lock(mutex_);
    cfg_.silent = silent;
}

std::vector<TrafficChunk> Board::traffic() {
    std::lock_guard<std::mutex> lock(mutex_);
    return traffic_;
}

std::vector<uint8_t> Board::hostBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> all;
    for (const auto& c : traffic_) {
        if (c.direction == TrafficChunk::Direction::HostToBoard) {
            all.insert(all.end(), c.bytes.begin(), c.bytes.end());
        }
    }
    return all;
}

std::vector<uint8_t> Board::lastHostWrite() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = traffic_.rbegin(); it != traffic_.rend(); ++it) {
        if (it->direction == TrafficChunk::Direction::HostToBoard) return it->bytes;
    }
    return {};
}

std::vector<uint8_t> Board::boardBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> all;
    for (const auto& c : traffic_) {
        if (c.direction == TrafficChunk::Direction::BoardToHost) {
            all.insert(all.end(), c.bytes.begin(), c.bytes.end());
        }
    }
    return all;
}

size_t Board::hostWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_t(std::count_if(traffic_.begin(), traffic_.end(), [](const TrafficChunk& c) {
        return c.direction == TrafficChunk::Direction::HostToBoard;
    }));
}

void Board::clearTraffic() {
    std::lock_guard<std::mutex> lock(mutex_);
    traffic_.clear();
    firmware_.clearRecords();
}

uint8_t Board::chipRegister(uint8_t reg) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!rar_) throw std::out_of_range("no RAR4120E on the bus");
    return rar_->reg(reg);
}

void Board::setChipRegister(uint8_t reg, uint8_t v) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!rar_) throw std::out_of_range("no RAR4120E on the bus");
    rar_->setReg(reg, v);
}

SmbusDevice& Board::smbusLocked(uint8_t addr) {
    auto it = smbus_.find(addr);
    if (it == smbus_.end()) throw std::out_of_range("no SMBus device at that address");
    return *it->second;
}

MemoryDevice& Board::memoryLocked(uint8_t addr) {
    auto it = memories_.find(addr);
    if (it == memories_.end()) throw std::out_of_range("no plain device at that address");
    return *it->second;
}

uint16_t Board::smbusWord(uint8_t addr, uint8_t cmd) {
    std::lock_guard<std::mutex> lock(mutex_);
    return smbusLocked(addr).word(cmd);
}

void Board::setSmbusWord(uint8_t addr, uint8_t cmd, uint16_t v) {
    std::lock_guard<std::mutex> lock(mutex_);
    smbusLocked(addr).setWord(cmd, v);
}

std::vector<uint8_t> Board::smbusBlock(uint8_t addr, uint8_t cmd) {
    std::lock_guard<std::mutex> lock(mutex_);
    return smbusLocked(addr).block(cmd);
}

void Board::setSmbusBlock(uint8_t addr, uint8_t cmd, const std::vector<uint8_t>& data) {
    std::lock_guard<std::mutex> lock(mutex_);
    smbusLocked(addr).setBlock(cmd, data);
}

uint16_t Board::smbusProcessResult(uint8_t addr, uint8_t cmd) {
    std::lock_guard<std::mutex> lock(mutex_);
    return smbusLocked(addr).processResult(cmd);
}

uint32_t Board::smbusPecErrors(uint8_t addr) {
    std::lock_guard<std::mutex> lock(mutex_);
    return smbusLocked(addr).pecErrors();
}

uint8_t Board::memoryByte(uint8_t addr, uint8_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    return memoryLocked(addr).byte(offset);
}

void Board::setMemoryByte(uint8_t addr, uint8_t offset, uint8_t v) {
    std::lock_guard<std::mutex> lock(mutex_);
    memoryLocked(addr).setByte(offset, v);
}

bool Board::pin(unsigned p) {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.pin(p);
}

void Board::setPin(unsigned p, bool level) {
    std::lock_guard<std::mutex> lock(mutex_);
    firmware_.setPin(p, level);
}

uint8_t Board::p8Byte(uint8_t a) {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.p8(a);
}

void Board::setP8Byte(uint8_t a, uint8_t v) {
    std::lock_guard<std::mutex> lock(mutex_);
    firmware_.setP8(a, v);
}

uint8_t Board::p8Config() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.p8Config();
}

uint8_t Board::spiControl() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.spiControl();
}

uint8_t Board::spiSpeed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.spiSpeed();
}

uint8_t Board::i2cSpeed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.i2cSpeed();
}

std::vector<uint8_t> Board::spiMosi() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.spiMosi();
}

uint8_t Board::spiCsOption() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.spiCsOption();
}

uint8_t Board::i2cOption(uint8_t option) {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.option(option);
}

std::vector<ScriptRun> Board::scriptRuns() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firmware_.scriptRuns();
}

} // namespace podsim
