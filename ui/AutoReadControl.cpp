#include "AutoReadControl.h"

#include "AppManager.h"
#include "CommLog.h"
#include "DeviceAccess.h"
#include "SystemManager.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace {

const char kBoardLostNote[] = "Board lost: auto-read stopped. Press F9 to reconnect.";
const char kNoAnswerNote[] = "No answer at address 0x%02X: auto-read paused until a read succeeds.";

} // namespace

AutoReadControl::AutoReadControl(CommLog* log, std::vector<QWidget*> pages,
                                 std::vector<QTimer*> timers, std::function<void(bool)> run,
                                 QObject* parent)
    : QObject(parent), m_log(log), m_pages(std::move(pages)), m_run(std::move(run)),
      m_wanted(AppManager::autoReadEnabled()) {
    for (QTimer* timer : timers)
        if (timer) timer->installEventFilter(this);
    connect(SystemManager::instance(), &SystemManager::sig_commEvent, this,
            &AutoReadControl::slt_commEvent);
    apply();
}

void AutoReadControl::setWanted(bool on) {
    m_wanted = on;
    // Ticking the box again is the user's way to try a silent device again.
    m_noAnswer = false;
    apply();
}

void AutoReadControl::hold(Hold reason, bool held) {
    m_holds = held ? m_holds | reason : m_holds & ~reason;
    apply();
}

void AutoReadControl::setBoardThere(bool there) {
    m_boardThere = there;
    if (there) m_lost = false;
    apply();
}

void AutoReadControl::valuesShown() {
    setStale(false);
}

// boardConnected() comes last: it asks the link, which a search holds.
void AutoReadControl::apply() {
    m_run(m_wanted && !m_holds && !m_noAnswer && boardConnected());
    setStale(m_stale);
}

void AutoReadControl::setStale(bool stale) {
    m_stale = stale;
    for (QWidget* page : m_pages)
        page->setEnabled(!stale && !(m_holds & Search));
}

bool AutoReadControl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Timer) return false;
    // A tick that comes while the log lets the window answer in the middle of
    // another operation (another page's tick among them) is skipped: its
    // reads would land between that operation's transactions.
    if (commEventRunning()) return true;
    // The tick runs here, inside the marking, rather than after the filter.
    m_inTick = true;
    m_tickOk = m_tickFailed = 0;
    m_log->setAutoReadActive(true);
    watched->event(event);
    m_log->setAutoReadActive(false);
    m_inTick = false;
    // A board that answers while the device does not: the next ticks would
    // only fill the log with the same failures.
    if (m_tickFailed && !m_tickOk && !m_lost && boardConnected()) {
        m_noAnswer = true;
        m_log->addNote(QString::asprintf(kNoAnswerNote, AppManager::deviceAddress()));
        setStale(true);
        apply();
    }
    return true;
}

void AutoReadControl::slt_commEvent(uint8_t cmd, uint8_t, uint8_t, uint32_t, uint8_t commOk) {
    if (commOk) {
        if (m_inTick) ++m_tickOk;
        if (cmd == kCommEventRead) setStale(false);
        if (m_noAnswer) {
            m_noAnswer = false;
            apply();
        }
        return;
    }
    if (m_inTick) ++m_tickFailed;
    if (!m_boardThere || boardConnected()) return;
    m_boardThere = false;
    m_lost = true;
    m_log->addNote(QString::fromLatin1(kBoardLostNote));
    setStale(true);
    apply();
    emit sig_boardLost();
}
