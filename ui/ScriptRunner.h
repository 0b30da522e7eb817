#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Runs a script file one line per turn of the event loop, so that the window
// keeps painting and answering between lines; a wait line is a timer, not a
// sleep. stop() ends the script after the line that is running, and ends a
// wait at once.
class ScriptRunner : public QObject {
    Q_OBJECT

  public:
    // execute carries out one command line.
    explicit ScriptRunner(std::function<void(const QString&)> execute, QObject* parent = nullptr);

    bool running() const { return m_file.isOpen(); }
    // Opens the file and runs its first line on the next turn of the event
    // loop; false when a script is running or the file cannot be opened.
    bool start(const QString& path);
    void stop();

  signals:
    // Each line that is not blank, before it runs.
    void sig_lineStarted(QString line);
    void sig_finished();

  private slots:
    void slt_step();

  private:
    void finish();

    std::function<void(const QString&)> m_execute;
    QFile m_file;
    QTimer m_next;
    bool m_stopping = false;
};

#endif // SCRIPTRUNNER_H
