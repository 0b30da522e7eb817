#include "AutoReadMarker.h"

#include "CommLog.h"

#include <QEvent>
#include <QTimer>

AutoReadMarker::AutoReadMarker(CommLog* log, std::initializer_list<QTimer*> timers, QObject* parent)
    : QObject(parent), m_log(log) {
    for (QTimer* timer : timers)
        if (timer) timer->installEventFilter(this);
}

bool AutoReadMarker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Timer) return false;
    // The tick runs here, inside the marking, rather than after the filter.
    m_log->setAutoReadActive(true);
    watched->event(event);
    m_log->setAutoReadActive(false);
    return true;
}
