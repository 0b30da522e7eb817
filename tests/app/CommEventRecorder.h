// Records the comm events that SystemManager reports.
#ifndef COMMEVENTRECORDER_H
#define COMMEVENTRECORDER_H

#include "SystemManager.h"

#include <QSignalSpy>

#include <cstdint>
#include <ostream>
#include <vector>

struct CommEvent {
    uint8_t cmd;
    uint8_t reg;
    uint8_t dataSize;
    uint32_t data;
    uint8_t commOk;

    bool operator==(const CommEvent& o) const {
        return cmd == o.cmd && reg == o.reg && dataSize == o.dataSize && data == o.data &&
               commOk == o.commOk;
    }
};

inline std::ostream& operator<<(std::ostream& os, const CommEvent& e) {
    return os << "{cmd " << int(e.cmd) << ", reg 0x" << std::hex << int(e.reg) << std::dec
              << ", size " << int(e.dataSize) << ", data 0x" << std::hex << e.data << std::dec
              << ", ok " << int(e.commOk) << "}";
}

class CommEventRecorder {
  public:
    CommEventRecorder() : m_spy(SystemManager::instance(), &SystemManager::sig_commEvent) {}

    std::vector<CommEvent> events() const {
        std::vector<CommEvent> out;
        for (const QList<QVariant>& args : m_spy)
            out.push_back({args.at(0).value<uint8_t>(), args.at(1).value<uint8_t>(),
                           args.at(2).value<uint8_t>(), args.at(3).value<uint32_t>(),
                           args.at(4).value<uint8_t>()});
        return out;
    }

    void clear() { m_spy.clear(); }

  private:
    QSignalSpy m_spy;
};

#endif // COMMEVENTRECORDER_H
