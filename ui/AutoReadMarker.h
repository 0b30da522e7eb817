#ifndef AUTOREADMARKER_H
#define AUTOREADMARKER_H

#include <QObject>

class CommLog;
class QTimer;

// Tells the log which of its rows come from the pages' auto-read: it watches
// the pages' auto-read timers and marks the comm events of each tick.
class AutoReadMarker : public QObject {
    Q_OBJECT

  public:
    AutoReadMarker(CommLog* log, std::initializer_list<QTimer*> timers, QObject* parent);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CommLog* m_log;
};

#endif // AUTOREADMARKER_H
