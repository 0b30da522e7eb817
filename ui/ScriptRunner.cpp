#include "ScriptRunner.h"

#include "CommandTokenizer.h"

#include <QFile>

#include <algorithm>

ScriptRunner::ScriptRunner(std::function<bool(const QString&)> execute, QObject* parent)
    : QObject(parent), m_execute(std::move(execute)) {
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ScriptRunner::slt_step);
}

bool ScriptRunner::start(const QString& path) {
    if (running()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    // Lines keep their line break, as the interpreter's echo shows it. The
    // whole file is read first, so that the end can say how many lines it had.
    m_lines.clear();
    while (!file.atEnd())
        m_lines << QString::fromUtf8(file.readLine());
    m_current = 0;
    m_failed = 0;
    m_running = true;
    m_stopping = false;
    m_next.start(0);
    return true;
}

void ScriptRunner::stop() {
    if (!running()) return;
    m_stopping = true;
    // A wait ends at once; a line that is running ends first.
    if (m_next.isActive()) {
        m_next.stop();
        finish();
    }
}

QString ScriptRunner::summary() const {
    if (m_stopping)
        return QStringLiteral("Script stopped after line %1 of %2.")
            .arg(m_current)
            .arg(m_lines.size());
    const int lines = m_lines.size();
    return QStringLiteral("Script finished: %1 %2, %3 failed.")
        .arg(lines)
        .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(m_failed);
}

void ScriptRunner::finish() {
    m_running = false;
    emit sig_finished();
}

void ScriptRunner::slt_step() {
    if (m_stopping || m_current >= m_lines.size()) {
        finish();
        return;
    }
    const QString& line = m_lines.at(m_current++);
    const QStringList words = tokenizeCommandLine(line);
    int pauseMs = 0;
    if (!words.isEmpty()) {
        emit sig_lineStarted(line.trimmed());
        if (words.size() > 1 &&
            words.first().compare(QLatin1String("wait"), Qt::CaseInsensitive) == 0) {
            // As the interpreter reads it: decimal, 0 when it does not
            // convert; a negative time does not wait.
            pauseMs = std::max(words.at(1).toInt(nullptr, 10), 0);
        } else if (!m_execute(line)) {
            ++m_failed;
        }
    }
    if (m_stopping) {
        finish();
        return;
    }
    m_next.start(pauseMs);
}
