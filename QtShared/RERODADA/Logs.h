// The library's diagnostics: the debug trace, the listing of every exchange
// and the comment log.
#ifndef RERODADA_LOGS_H
#define RERODADA_LOGS_H

#include "rerodada.h"

#include <cstdint>
#include <string>

namespace rerodada {

// An append-only text file with an optional callback that sees every text.
class LogFileWriter {
  public:
    ~LogFileWriter();
    bool Open(const char* fileName);
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Writes to the file when open, then hands the text to the callback.
    bool Write(const char* text);
    bool Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    BrimLogCallbackFn SetCallback(BrimLogCallbackFn callback);
    // True when a write would go anywhere.
    bool Active() const { return fd_ >= 0 || callback_ != nullptr; }

  private:
    int fd_ = -1;
    BrimLogCallbackFn callback_ = nullptr;
};

extern LogFileWriter CommLogFile;
extern LogFileWriter CommLogListingFile;
extern LogFileWriter CommDebugLogFile;
extern bool bDebugToConsole;
extern bool bDebugToFile;

// Whether the debug trace goes anywhere; when not, nothing is formatted.
bool DebugTraceEnabled();
void CommDebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void CommDebugHexDump(const char* heading, const uint8_t* data, uint32_t count);

// Local time in asctime form, without its line break.
std::string CommTimestamp();
// One listing entry: time stamp, marker with at most two bytes on the first
// line, the comment; further bytes two per continuation line.
void CommListingLine(const char* timestamp, const char* marker, uint32_t count,
                     const uint8_t* bytes, const char* comment);
bool ListingActive();
// "\r\n" then a time-stamped entry carrying the text.
void ListingNote(const char* text);
void ListingNotef(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "\r\n" then an entry without time stamp: the outcome of an operation.
void ListingResult(const char* text);
void ListingResultf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "\r\n" then a time-stamped entry with a marker such as "--- ! ---".
void ListingMarked(const char* marker, const char* text);

// A trace line names the library source and the function it comes from.
#define RERODADA_TRACE(...)                                                                        \
    do {                                                                                           \
        if (::rerodada::DebugTraceEnabled()) {                                                     \
            ::rerodada::CommDebugPrintf("\n\"%s\" %s: ", __FILE__, __func__);                      \
            ::rerodada::CommDebugPrintf(__VA_ARGS__);                                              \
        }                                                                                          \
    } while (0)

} // namespace rerodada

#endif
