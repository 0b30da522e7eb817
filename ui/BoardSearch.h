#ifndef BOARDSEARCH_H
#define BOARDSEARCH_H

#include "rerodada.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

class QThread;

// The board search (boardDisconnect, then boardConnect) on a thread of its
// own, so that the window keeps answering while it tries every USB device
// and serial port. Created and driven on the window's thread.
class BoardSearch : public QObject {
    Q_OBJECT

  public:
    explicit BoardSearch(QObject* parent = nullptr);
    // Stops a running search and waits for it.
    ~BoardSearch() override;

    bool running() const { return m_thread != nullptr; }
    // Starts a search; false when one is running already.
    bool start();
    // Makes a running search give up before its next device, port or baud
    // rate; finished follows with connected false.
    void stop();
    // Why the last search found no board, in one line: whether the D2XX
    // library was there and which serial ports were tried.
    QString summary() const;

  signals:
    // The port or device being tried, as the user should read it.
    void sig_progress(QString text);
    void sig_finished(bool connected);

  private slots:
    void slt_threadFinished();

  private:
    // The board link's progress callback, on the search's thread.
    static void RERODADA_CALL searchLine(const char* line, void* context);
    // Ends a search whose thread has finished.
    void release();

    QThread* m_thread = nullptr;
    std::atomic<bool> m_connected{false};
    mutable std::mutex m_portsMutex;
    QStringList m_portsTried;
};

#endif // BOARDSEARCH_H
