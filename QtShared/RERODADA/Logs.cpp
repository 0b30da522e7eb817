#include "Logs.h"

#include "Library.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#if defined(_WIN32)
#include <windows.h>
#endif

namespace rerodada {

LogFileWriter CommLogFile;
LogFileWriter CommLogListingFile;
LogFileWriter CommDebugLogFile;
bool bDebugToConsole = false;
bool bDebugToFile = false;

namespace {

constexpr size_t kFormatBuffer = 512;
constexpr size_t kListingBuffer = 1024;
#if defined(_WIN32)
// Bytes go out unchanged: the listing writes its own "\r\n".
constexpr int kOpenFlags = O_RDWR | O_CREAT | O_BINARY;
#else
constexpr int kOpenFlags = O_RDWR | O_CREAT | O_CLOEXEC;
#endif

bool DebugToStandardError() {
    static const bool enabled = [] {
        const char* value = std::getenv("RERODADA_DEBUG");
        return value && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

#if defined(_WIN32)
// A GUI program has no console until it allocates one.
bool WriteConsoleText(const char* text) {
    DWORD written = 0;
    return WriteConsoleA(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(strlen(text)),
                         &written, nullptr) != 0;
}
#endif

void DebugOutput(const char* text) {
    if (bDebugToConsole) {
#if defined(_WIN32)
        if (!WriteConsoleText(text) && !(AllocConsole() && WriteConsoleText(text))) {
            fputs(text, stdout);
            fflush(stdout);
        }
#else
        fputs(text, stdout);
        fflush(stdout);
#endif
    }
    if (DebugToStandardError()) {
        fputs(text, stderr);
#if defined(_WIN32)
        // Also for a debugger: the window program's standard error goes nowhere.
        OutputDebugStringA(text);
#endif
    }
    if (bDebugToFile) CommDebugLogFile.Write(text);
}

void VListing(void (*sink)(const char*), const char* format, va_list args) {
    char text[kFormatBuffer];
    vsnprintf(text, sizeof text, format, args);
    sink(text);
}

} // namespace

LogFileWriter::~LogFileWriter() {
    Close();
}

bool LogFileWriter::Open(const char* fileName) {
    Close();
    fd_ = open(fileName, kOpenFlags, 0644);
    if (fd_ < 0) {
        int error = errno;
        RERODADA_TRACE("Error %d: Cannot open %s: %s", error, fileName, strerror(error));
        return false;
    }
    // New text goes after what the file already holds.
    lseek(fd_, 0, SEEK_END);
    return true;
}

bool LogFileWriter::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    return true;
}

bool LogFileWriter::Write(const char* text) {
    if (fd_ >= 0) {
        size_t length = strlen(text);
        size_t done = 0;
        while (done < length) {
            ssize_t n = write(fd_, text + done, length - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }
    if (callback_) callback_(text);
    return fd_ >= 0;
}

bool LogFileWriter::Printf(const char* format, ...) {
    char text[kFormatBuffer];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return Write(text);
}

BrimLogCallbackFn LogFileWriter::SetCallback(BrimLogCallbackFn callback) {
    BrimLogCallbackFn previous = callback_;
    callback_ = callback;
    return previous;
}

bool DebugTraceEnabled() {
    return bDebugToConsole || bDebugToFile || DebugToStandardError();
}

void CommDebugPrintf(const char* format, ...) {
    if (!DebugTraceEnabled()) return;
    char text[kFormatBuffer];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    DebugOutput(text);
}

void CommDebugHexDump(const char* heading, const uint8_t* data, uint32_t count) {
    if (!DebugTraceEnabled()) return;
    CommDebugPrintf("%s", heading);
    CommDebugPrintf(" %d bytes: ", static_cast<int>(count));
    for (uint32_t i = 0; i < count; ++i) {
        if (i % 4 == 0) CommDebugPrintf("\n\t0x%2.2x:", static_cast<unsigned>(i));
        uint8_t b = data[i];
        if (b >= 32 && b <= 126)
            CommDebugPrintf("  0x%2.2x '%c'", b, b);
        else
            CommDebugPrintf("  0x%2.2x    ", b);
    }
}

std::string CommTimestamp() {
    time_t now = time(nullptr);
    tm local{};
    char text[30];
#if defined(_WIN32)
    localtime_s(&local, &now);
    asctime_s(text, sizeof text, &local);
#else
    localtime_r(&now, &local);
    asctime_r(&local, text);
#endif
    text[sizeof text - 1] = 0;
    std::string stamp = text;
    while (!stamp.empty() && (stamp.back() == '\n' || stamp.back() == '\r'))
        stamp.pop_back();
    return stamp;
}

bool ListingActive() {
    return CommLogListingFile.Active();
}

void CommListingLine(const char* timestamp, const char* marker, uint32_t count,
                     const uint8_t* bytes, const char* comment) {
    if (!ListingActive()) return;
    std::string stamp = timestamp ? timestamp : "";
    while (!stamp.empty() && stamp.back() == '\n')
        stamp.pop_back();

    char column2[64];
    int used = snprintf(column2, sizeof column2, "%s", marker);
    for (uint32_t i = 0; i < count && i < 2; ++i)
        used += snprintf(column2 + used, sizeof column2 - used, " 0x%2.2X", bytes[i]);

    char line[kListingBuffer];
    snprintf(line, sizeof line, "%-24s\t%-14s%s\r\n", stamp.c_str(), column2, comment);
    CommLogListingFile.Write(line);

    for (uint32_t i = 2; i < count; i += 2) {
        char pair[64];
        int n = snprintf(pair, sizeof pair, "%s 0x%2.2X", marker, bytes[i]);
        if (i + 1 < count) snprintf(pair + n, sizeof pair - n, " 0x%2.2X", bytes[i + 1]);
        snprintf(line, sizeof line, "%-24.24s\t%-14.14s%s\r\n", "", pair, ";");
        CommLogListingFile.Write(line);
    }
}

void ListingNote(const char* text) {
    if (!ListingActive()) return;
    CommLogListingFile.Write("\r\n");
    CommListingLine(CommTimestamp().c_str(), "", 0, nullptr, text);
}

void ListingNotef(const char* format, ...) {
    if (!ListingActive()) return;
    va_list args;
    va_start(args, format);
    VListing(ListingNote, format, args);
    va_end(args);
}

void ListingResult(const char* text) {
    if (!ListingActive()) return;
    CommLogListingFile.Write("\r\n");
    CommListingLine("", "", 0, nullptr, text);
}

void ListingResultf(const char* format, ...) {
    if (!ListingActive()) return;
    va_list args;
    va_start(args, format);
    VListing(ListingResult, format, args);
    va_end(args);
}

void ListingMarked(const char* marker, const char* text) {
    if (!ListingActive()) return;
    CommLogListingFile.Write("\r\n");
    CommListingLine(CommTimestamp().c_str(), marker, 0, nullptr, text);
}

} // namespace rerodada

using namespace rerodada;

RERODADA_API(void) BrimLogComment(uint32_t, const char* text) try {
    EnsureInitialised();
    CommLogFile.Printf("\n%s", text);
    ListingNote(text);
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(void)
BrimLogData(uint32_t, uint32_t count, const uint8_t* data, const char* text) try {
    EnsureInitialised();
    if (!ListingActive()) return;
    CommLogListingFile.Write("\r\n");
    CommListingLine(CommTimestamp().c_str(), ">>", count, data, text);
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(bool) BrimLogFileOpen(const char* fileName) try {
    EnsureInitialised();
    return CommLogFile.Open(fileName);
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) BrimLogFileClose(void) try {
    EnsureInitialised();
    return CommLogFile.Close();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(uint32_t) BrimLogFilter(const char*) try {
    EnsureInitialised();
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(BrimLogCallbackFn) BrimLogCallback(BrimLogCallbackFn callback) try {
    EnsureInitialised();
    return CommLogListingFile.SetCallback(callback);
} catch (...) {
    return ExceptionResult<BrimLogCallbackFn>(__func__);
}

RERODADA_API(bool) CommLogListingFile_Open(const char* fileName) try {
    bDebugToConsole = false;
    bDebugToFile = false;
    return CommLogListingFile.Open(fileName);
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) CommLogListingFile_Close(void) try {
    return CommLogListingFile.Close();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) CommLogListingFile_IsOpen(void) try {
    return CommLogListingFile.IsOpen();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) CommDebugLogFile_Open(const char* fileName) try {
    bDebugToConsole = false;
    bDebugToFile = false;
    return CommDebugLogFile.Open(fileName);
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) CommDebugLogFile_Close(void) try {
    return CommDebugLogFile.Close();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) CommDebugLogFile_IsOpen(void) try {
    return CommDebugLogFile.IsOpen();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}
