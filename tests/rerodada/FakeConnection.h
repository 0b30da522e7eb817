// A connection whose board is a script: which baud rate and reset polarity
// make it answer, which steps fail, and what a read delivers. It runs the
// library's own open, reset, banner and read algorithms.
#ifndef TESTS_FAKECONNECTION_H
#define TESTS_FAKECONNECTION_H

#include "Connection.h"

#include <deque>
#include <string>
#include <vector>

namespace rerodada::test {

struct Chunk {
    uint32_t atMs; // delivered this long after the read began
    std::vector<uint8_t> bytes;
};

class FakeConnection : public Connection {
  public:
    FakeConnection() : Connection(ct_BRIM232) {}

    // Board script.
    uint32_t answerBaud = 19200;
    bool answerOnDTRhigh = false;
    std::string banner = "Kelvo PODLINK";
    bool failSetBaud = false;
    bool failReset = false;
    // Resets from this one on (counted from 1) fail; 0 for none.
    size_t failResetFrom = 0;

    // The next reads deliver these chunks instead of the scripted board.
    std::deque<std::vector<Chunk>> scriptedReads;

    std::vector<uint32_t> bauds;  // every rate set
    std::vector<bool> polarities; // bResetOnDTRhigh at each reset
    int closes = 0;

    bool Open(bool sendCR, const uint32_t* table, int n, const FixedBaudRetry& retry) {
        connected = false;
        return FindBoard(sendCR, table, n, &FakeConnection::SetBaud, retry, false);
    }
    bool ReadScripted(uint32_t minCount) { return Read(minCount); }
    void SetBanner(const char* text) {
        snprintf(szFirmwareBanner, sizeof szFirmwareBanner, "%s", text);
    }
    void SetResult(const std::vector<uint8_t>& bytes) {
        nResultCount = static_cast<uint32_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), szResult);
    }
    void Capture() { CaptureBanner(); }
    void SetPolarity(bool high) { bResetOnDTRhigh = high; }

    bool Try_Open_Port(int) override { return false; }
    bool Try_Open_Port_Send_CR(int) override { return false; }
    void Close() override {
        ++closes;
        connected = false;
    }
    void CommRTS(bool) override {}
    bool CommCTS() override { return false; }
    bool CommDSR() override { return false; }
    bool CommDCD() override { return false; }
    bool CommRI() override { return false; }
    bool Hold_Reset() override {
        polarities.push_back(bResetOnDTRhigh);
        return true;
    }
    bool Release_Reset() override { return true; }
    bool Write(const uint8_t*, uint32_t, uint32_t) override { return true; }
    bool WriteFramedByRTS(const uint8_t*, uint32_t, uint32_t, bool) override { return true; }
    bool Read(uint32_t minCount) override;

  private:
    static bool SetBaud(Connection* c, uint32_t baud);
    uint32_t baud_ = 0;
};

} // namespace rerodada::test

#endif
