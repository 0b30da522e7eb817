#ifndef OUTPUTTAP_H
#define OUTPUTTAP_H

#include <QByteArray>

#include <atomic>
#include <functional>
#include <thread>

// While it exists, what the process writes to standard output still reaches
// it, and each complete line is also handed to onLine (on the tap's own
// thread). The board link reports its serial search only there.
class OutputTap {
  public:
    explicit OutputTap(std::function<void(const QByteArray&)> onLine);
    ~OutputTap();
    OutputTap(const OutputTap&) = delete;
    OutputTap& operator=(const OutputTap&) = delete;

  private:
    void pump();

    std::function<void(const QByteArray&)> m_onLine;
    int m_savedOutput = -1;
    int m_readEnd = -1;
    std::atomic<bool> m_closing{false};
    std::thread m_reader;
};

#endif // OUTPUTTAP_H
