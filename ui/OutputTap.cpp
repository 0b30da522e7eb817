#include "OutputTap.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>

namespace {

const int kPollMs = 50;

void writeAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, static_cast<size_t>(size));
        if (n <= 0) return;
        data += n;
        size -= n;
    }
}

} // namespace

OutputTap::OutputTap(std::function<void(const QByteArray&)> onLine) : m_onLine(std::move(onLine)) {
    int ends[2];
    fflush(stdout);
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    m_savedOutput = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (m_savedOutput < 0 || dup2(ends[1], STDOUT_FILENO) < 0) {
        close(ends[0]);
        close(ends[1]);
        if (m_savedOutput >= 0) close(m_savedOutput);
        m_savedOutput = -1;
        return;
    }
    close(ends[1]);
    m_readEnd = ends[0];
    m_reader = std::thread([this] { pump(); });
}

OutputTap::~OutputTap() {
    if (m_savedOutput < 0) return;
    fflush(stdout);
    // Puts standard output back, which closes the pipe's writing end.
    dup2(m_savedOutput, STDOUT_FILENO);
    m_closing = true;
    m_reader.join();
    close(m_readEnd);
    close(m_savedOutput);
}

void OutputTap::pump() {
    QByteArray pending;
    char buffer[4096];
    for (;;) {
        pollfd ready = {m_readEnd, POLLIN, 0};
        const int polled = poll(&ready, 1, kPollMs);
        // A child process may keep the writing end open: closing ends the
        // tap once nothing is left to read.
        if (polled <= 0) {
            if (m_closing) break;
            continue;
        }
        const ssize_t n = read(m_readEnd, buffer, sizeof buffer);
        if (n <= 0) break;
        writeAll(m_savedOutput, buffer, n);
        pending.append(buffer, static_cast<int>(n));
        for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (!line.isEmpty()) m_onLine(line);
        }
    }
}
