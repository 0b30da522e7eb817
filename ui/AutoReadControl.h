#ifndef AUTOREADCONTROL_H
#define AUTOREADCONTROL_H

#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

class CommLog;
class QTimer;
class QWidget;

// Runs the pages' auto-read as the user set it, but only while a board is
// there and nothing else needs the bus: a search or a script holds it, and
// a lost board or a device that stops answering stops it with one log row.
// Greys the pages while their values are not the device's, and tells the
// log which rows come from auto-read.
class AutoReadControl : public QObject {
    Q_OBJECT

  public:
    enum Hold { Search = 1, Script = 2 };

    // run starts or stops the pages' auto-read; timers are the pages' own.
    AutoReadControl(CommLog* log, std::vector<QWidget*> pages, std::vector<QTimer*> timers,
                    std::function<void(bool)> run, QObject* parent);

    void setWanted(bool on);
    void hold(Hold reason, bool held);
    // A search found a board (true) or has begun (false).
    void setBoardThere(bool there);
    bool boardLost() const { return m_lost; }
    // The pages show values that are not read from a device (demo mode).
    void valuesShown();

  signals:
    void sig_boardLost();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void slt_commEvent(uint8_t cmd, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk);

  private:
    void apply();
    void setStale(bool stale);

    CommLog* m_log;
    std::vector<QWidget*> m_pages;
    std::function<void(bool)> m_run;
    bool m_wanted = false;
    int m_holds = 0;
    bool m_boardThere = false;
    bool m_lost = false;
    bool m_noAnswer = false;
    bool m_stale = false;
    bool m_inTick = false;
    int m_tickOk = 0;
    int m_tickFailed = 0;
};

#endif // AUTOREADCONTROL_H
