#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Runs a script file one line per turn of the event loop, so that the window
// keeps painting and answering between lines; a wait line is a timer, not a
// sleep. stop() ends the script after the line that is running, and ends a
// wait at once.
class ScriptRunner : public QObject {
    Q_OBJECT

  public:
    // execute carries out one command line; false when the line failed.
    explicit ScriptRunner(std::function<bool(const QString&)> execute, QObject* parent = nullptr);

    bool running() const { return m_running; }
    // Reads the file and runs its first line on the next turn of the event
    // loop; false when a script is running or the file cannot be read.
    bool start(const QString& path);
    void stop();
    // How the last script ended, in one line: "Script finished: 50 lines, 2
    // failed." or "Script stopped after line 12 of 50.".
    QString summary() const;

  signals:
    // Each line that is not blank, before it runs.
    void sig_lineStarted(QString line);
    void sig_finished();

  private slots:
    void slt_step();

  private:
    void finish();

    std::function<bool(const QString&)> m_execute;
    QStringList m_lines;
    // The number of the line that runs or ran last, from 1.
    int m_current = 0;
    int m_failed = 0;
    QTimer m_next;
    bool m_running = false;
    bool m_stopping = false;
};

#endif // SCRIPTRUNNER_H
