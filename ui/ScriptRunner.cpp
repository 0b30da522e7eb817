#include "ScriptRunner.h"

#include "CommandTokenizer.h"

#include <QStringList>

#include <algorithm>

ScriptRunner::ScriptRunner(std::function<void(const QString&)> execute, QObject* parent)
    : QObject(parent), m_execute(std::move(execute)) {
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ScriptRunner::slt_step);
}

bool ScriptRunner::start(const QString& path) {
    if (running()) return false;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
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

void ScriptRunner::finish() {
    m_file.close();
    emit sig_finished();
}

void ScriptRunner::slt_step() {
    if (m_stopping || m_file.atEnd()) {
        finish();
        return;
    }
    // Lines keep their line break, as the interpreter's echo shows it.
    const QString line = QString::fromUtf8(m_file.readLine());
    const QStringList words = tokenizeCommandLine(line);
    int pauseMs = 0;
    if (!words.isEmpty()) {
        emit sig_lineStarted(line.trimmed());
        if (words.size() > 1 &&
            words.first().compare(QLatin1String("wait"), Qt::CaseInsensitive) == 0) {
            // As the interpreter reads it: decimal, 0 when it does not
            // convert; a negative time does not wait.
            pauseMs = std::max(words.at(1).toInt(nullptr, 10), 0);
        } else {
            m_execute(line);
        }
    }
    if (m_stopping) {
        finish();
        return;
    }
    m_next.start(pauseMs);
}
