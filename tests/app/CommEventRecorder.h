// Records the comm events that SystemManager reports.
#ifndef COMMEVENTRECORDER_H
#define COMMEVENTRECORDER_H

#include "SystemManager.h"

#include <QSignalSpy>

#include <cstdint>
#include <ostream>
#include <tuple>
#include <vector>

struct CommEvent {
    uint8_t cmd, reg, dataSize;
    uint32_t data;
    uint8_t commOk;

    bool operator==(const CommEvent& o) const {
        return std::tie(cmd, reg, dataSize, data, commOk) ==
               std::tie(o.cmd, o.reg, o.dataSize, o.data, o.commOk);
    }
};

inline std::ostream& operator<<(std::ostream& os, const CommEvent& e) {
    return os << "{" << int(e.cmd) << ", " << int(e.reg) << ", " << int(e.dataSize) << ", "
              << e.data << ", " << int(e.commOk) << "}";
}

class CommEventRecorder {
  public:
    std::vector<CommEvent> events() const {
        std::vector<CommEvent> out;
        for (const QList<QVariant>& a : m_spy)
            out.push_back({a.at(0).value<uint8_t>(), a.at(1).value<uint8_t>(),
                           a.at(2).value<uint8_t>(), a.at(3).value<uint32_t>(),
                           a.at(4).value<uint8_t>()});
        return out;
    }

  private:
    QSignalSpy m_spy{SystemManager::instance(), &SystemManager::sig_commEvent};
};

#endif // COMMEVENTRECORDER_H
