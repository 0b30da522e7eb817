// B9: how long the window's event loop stands still while the program works:
// the start-up search over one silent serial port with no USB device, a long
// script and a refresh of both pages. A fast timer records the longest gap
// between its ticks.
#include "AppManager.h"
#include "BenchSupport.h"
#include "DeviceAccess.h"
#include "MainWindow.h"
#include "WindowSupport.h"

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

const int kTickMs = 5;
const int kStallMs = 100;

// Ticks every few milliseconds and keeps the longest gap between ticks and
// the moment the last gap longer than kStallMs ended.
class StallRecorder {
  public:
    StallRecorder() {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            const qint64 gap = now - m_lastTick;
            m_longest = std::max(m_longest, gap);
            if (gap > kStallMs) m_lastStallEnd = now;
            m_lastTick = now;
        });
        m_timer.start();
    }
    qint64 longestMs() const { return m_longest; }
    qint64 lastStallEndMs() const { return m_lastStallEnd; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

  private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_lastTick = 0;
    qint64 m_longest = 0;
    qint64 m_lastStallEnd = 0;
};

// Runs the event loop (without spinning) until done or giveUpMs passed.
void waitUntil(const std::function<bool()>& done, int giveUpMs) {
    QEventLoop loop;
    QTimer check;
    QElapsedTimer timer;
    timer.start();
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || timer.elapsed() >= giveUpMs) loop.quit();
    });
    check.start(kTickMs);
    loop.exec();
}

// Answers the demo-mode question with "&Ok" whenever it shows; returns
// whether it did.
bool answerDemoQuestion() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return false;
    for (QAbstractButton* button : box->buttons())
        if (button->text() == QLatin1String("&Ok")) button->click();
    return true;
}

void B9_Stall_StartupSearchSilentPort(benchmark::State& state) {
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    close(slave);
    boardDisconnect();
    bench::reloadSimulator("usb.devices = 0");
    setenv("RERODADA_SERIAL_PORTS", name, 1);
    AppManager::setAutoReadEnabled(false);
    AppManager::setDemoMode(false);
    for (auto _ : state) {
        // The window is usable from the end of the last stall before the
        // search is over and the demo-mode question shows; the stalls are
        // those of the event loop, from the moment the window is shown.
        QElapsedTimer sinceStart;
        sinceStart.start();
        MainWindow window;
        window.show();
        const qint64 shownMs = sinceStart.elapsed();
        StallRecorder recorder;
        qint64 usableMs = -1;
        qint64 searchMs = -1;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (usableMs < 0 && QApplication::activeModalWidget()) {
                usableMs = shownMs + recorder.lastStallEndMs();
                searchMs = sinceStart.elapsed();
            }
            answerDemoQuestion();
        });
        answer.start(20);
        waitUntil([&] { return window.connectionAttempted(); }, 60000);
        state.counters["longest_stall_ms"] = static_cast<double>(recorder.longestMs());
        state.counters["usable_after_ms"] = static_cast<double>(usableMs);
        state.counters["search_ms"] = static_cast<double>(searchMs);
        window.close();
        AppManager::setDemoMode(false);
    }
    setenv("RERODADA_SERIAL_PORTS", "", 1);
    close(master);
    bench::reloadSimulator();
}
BENCHMARK(B9_Stall_StartupSearchSilentPort)
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void B9_Stall_Script10000Lines(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.scr"));
    if (!dir.isValid() || !bench::writeRegisterScript(path)) {
        state.SkipWithError("cannot write the script");
        return;
    }
    auto window = bench::openConnectedWindow("latency_us = 0");
    if (!window) {
        state.SkipWithError("the window did not connect");
        return;
    }
    for (auto _ : state) {
        StallRecorder recorder;
        if (!window->runScript(path)) state.SkipWithError("the script did not run");
        state.counters["longest_stall_ms"] = static_cast<double>(recorder.longestMs());
        bench::board()->clearTraffic();
    }
    bench::closeWindow(window);
}
BENCHMARK(B9_Stall_Script10000Lines)->UseRealTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void B9_Stall_RefreshPages1msLatency(benchmark::State& state) {
    auto window = bench::openConnectedWindow("latency_us = 1000");
    if (!window) {
        state.SkipWithError("the window did not connect");
        return;
    }
    for (auto _ : state) {
        StallRecorder recorder;
        QTimer::singleShot(0, window.get(), &MainWindow::on_actionRefresh_triggered);
        // Long enough for the refresh and the ticks after it.
        waitUntil([] { return false; }, 300);
        state.counters["longest_stall_ms"] = static_cast<double>(recorder.longestMs());
        bench::board()->clearTraffic();
    }
    bench::closeWindow(window);
}
BENCHMARK(B9_Stall_RefreshPages1msLatency)
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv);
}
