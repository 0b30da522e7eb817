#include "BoardSearch.h"

#include "DeviceAccess.h"
#include "OutputTap.h"

#include <QRegularExpression>
#include <QThread>

namespace {

// The serial search's own lines: "Testing COM2", and for the preferred port
// "Trying port /dev/ttyUSB0 @ 9600 baud".
QString progressText(const QByteArray& line) {
    static const QRegularExpression testing(QStringLiteral("^Testing (COM\\d+)$"));
    static const QRegularExpression trying(QStringLiteral("^Trying port (\\S+) @ (\\d+) baud$"));
    const QString text = QString::fromLocal8Bit(line);
    QRegularExpressionMatch match = testing.match(text);
    if (match.hasMatch()) return QStringLiteral("serial port ") + match.captured(1);
    match = trying.match(text);
    if (match.hasMatch())
        return QStringLiteral("serial port %1 at %2 baud")
            .arg(match.captured(1), match.captured(2));
    return QString();
}

} // namespace

BoardSearch::BoardSearch(QObject* parent) : QObject(parent) {}

BoardSearch::~BoardSearch() {
    if (!m_thread) return;
    stop();
    m_thread->wait();
    delete m_thread;
    m_tap.reset();
    stopBoardSearch(false);
}

bool BoardSearch::start() {
    if (m_thread) return false;
    m_tap = std::make_unique<OutputTap>([this](const QByteArray& line) {
        const QString text = progressText(line);
        if (!text.isEmpty()) emit sig_progress(text);
    });
    m_thread = QThread::create([this] {
        boardDisconnect();
        m_connected = boardConnect();
    });
    connect(m_thread, &QThread::finished, this, &BoardSearch::slt_threadFinished);
    emit sig_progress(QStringLiteral("USB devices"));
    m_thread->start();
    return true;
}

void BoardSearch::stop() {
    if (m_thread) stopBoardSearch(true);
}

void BoardSearch::slt_threadFinished() {
    if (!m_thread) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_tap.reset();
    stopBoardSearch(false);
    emit sig_finished(m_connected);
}
