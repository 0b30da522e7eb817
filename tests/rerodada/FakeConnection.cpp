#include "FakeConnection.h"

#include "platform/Tick.h"

namespace rerodada::test {
namespace {

class ChunkPoller : public Connection::Poller {
  public:
    explicit ChunkPoller(std::vector<Chunk> chunks)
        : chunks_(std::move(chunks)), start_(platform::TickCount()) {}
    long Poll(uint8_t* into, uint32_t room) override {
        uint32_t now = platform::TickCount() - start_;
        long taken = 0;
        while (!chunks_.empty() && chunks_.front().atMs <= now && room > 0) {
            auto& bytes = chunks_.front().bytes;
            uint32_t n = std::min<uint32_t>(room, static_cast<uint32_t>(bytes.size()));
            std::copy(bytes.begin(), bytes.begin() + n, into + taken);
            bytes.erase(bytes.begin(), bytes.begin() + n);
            taken += n;
            room -= n;
            if (bytes.empty()) chunks_.erase(chunks_.begin());
        }
        return taken;
    }
    void Wait(uint32_t ms) override { platform::SleepMilliseconds(std::min<uint32_t>(ms, 1)); }

  private:
    std::vector<Chunk> chunks_;
    uint32_t start_;
};

} // namespace

bool FakeConnection::SetBaud(Connection* c, uint32_t baud) {
    auto* self = static_cast<FakeConnection*>(c);
    self->bauds.push_back(baud);
    self->baud_ = baud;
    return !self->failSetBaud;
}

bool FakeConnection::Read(uint32_t minCount) {
    std::vector<Chunk> chunks;
    if (!scriptedReads.empty()) {
        chunks = scriptedReads.front();
        scriptedReads.pop_front();
    } else {
        if (failReset || (failResetFrom > 0 && polarities.size() >= failResetFrom)) return false;
        if (baud_ == answerBaud && bResetOnDTRhigh == answerOnDTRhigh)
            chunks.push_back({0, std::vector<uint8_t>(banner.begin(), banner.end())});
    }
    ChunkPoller poller(std::move(chunks));
    return ReadReply(minCount, poller, false, "idle", "gross", "gross");
}

} // namespace rerodada::test
