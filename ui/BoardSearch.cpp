#include "BoardSearch.h"

#include "DeviceAccess.h"

#include <QFile>
#include <QRegularExpression>
#include <QThread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

const QRegularExpression& testingPort() {
    static const QRegularExpression testing(QStringLiteral("^Testing (COM\\d+)$"));
    return testing;
}

// The serial search's own lines: "Testing COM2", and for the preferred port
// "Trying port /dev/ttyUSB0 @ 9600 baud".
QString progressText(const QString& text) {
    static const QRegularExpression trying(QStringLiteral("^Trying port (\\S+) @ (\\d+) baud$"));
    QRegularExpressionMatch match = testingPort().match(text);
    if (match.hasMatch()) return QStringLiteral("serial port ") + match.captured(1);
    match = trying.match(text);
    if (match.hasMatch())
        return QStringLiteral("serial port %1 at %2 baud")
            .arg(match.captured(1), match.captured(2));
    return QString();
}

// Whether the board link loaded the D2XX library: it uses the file that
// RERODADA_D2XX_LIBRARY names, or the driver's usual name.
bool d2xxLoaded() {
    QString chosen = qEnvironmentVariable("RERODADA_D2XX_LIBRARY");
#if defined(_WIN32)
    if (chosen.isEmpty()) chosen = QStringLiteral("FTD2XX.dll");
    return GetModuleHandleW(reinterpret_cast<const wchar_t*>(chosen.utf16())) != nullptr;
#else
    if (chosen.isEmpty()) chosen = QStringLiteral("libftd2xx.so");
    void* handle = dlopen(QFile::encodeName(chosen).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);
    return true;
#endif
}

} // namespace

BoardSearch::BoardSearch(QObject* parent) : QObject(parent) {}

BoardSearch::~BoardSearch() {
    if (!m_thread) return;
    stop();
    release();
}

bool BoardSearch::start() {
    if (m_thread) return false;
    {
        std::lock_guard<std::mutex> lock(m_portsMutex);
        m_portsTried.clear();
    }
    BrimBoardSetSearchProgress(&BoardSearch::searchLine, this);
    m_thread = QThread::create([this] {
        boardDisconnect();
        m_connected = boardConnect();
    });
    connect(m_thread, &QThread::finished, this, &BoardSearch::slt_threadFinished);
    emit sig_progress(QStringLiteral("USB devices"));
    m_thread->start();
    return true;
}

void RERODADA_CALL BoardSearch::searchLine(const char* line, void* context) {
    auto* search = static_cast<BoardSearch*>(context);
    const QString text = QString::fromLocal8Bit(line);
    const QRegularExpressionMatch match = testingPort().match(text);
    if (match.hasMatch()) {
        std::lock_guard<std::mutex> lock(search->m_portsMutex);
        search->m_portsTried << match.captured(1);
    }
    const QString progress = progressText(text);
    if (!progress.isEmpty()) emit search->sig_progress(progress);
}

QString BoardSearch::summary() const {
    QStringList ports;
    {
        std::lock_guard<std::mutex> lock(m_portsMutex);
        ports = m_portsTried;
    }
    // A search that runs twice (the connect tries again) names each port once.
    ports.removeDuplicates();
    const QString usb = d2xxLoaded() ? QStringLiteral("No PODLINK answered on USB")
                                     : QStringLiteral("No D2XX library found");
    QString serial = ports.size() == 1 ? QStringLiteral("1 serial port tried")
                                       : QStringLiteral("%1 serial ports tried").arg(ports.size());
    if (!ports.isEmpty()) serial += QStringLiteral(" (%1)").arg(ports.join(QStringLiteral(", ")));
    return QStringLiteral("%1; %2.").arg(usb, serial);
}

void BoardSearch::stop() {
    if (m_thread) stopBoardSearch(true);
}

void BoardSearch::slt_threadFinished() {
    if (!m_thread) return;
    release();
    emit sig_finished(m_connected);
}

void BoardSearch::release() {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    BrimBoardSetSearchProgress(nullptr, nullptr);
    stopBoardSearch(false);
}
