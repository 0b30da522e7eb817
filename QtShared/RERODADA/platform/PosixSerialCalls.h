// The system calls of the POSIX serial port, gathered in one table so that
// tests can stand in for the driver: partial writes, interruptions, a port
// that another process holds, a read that fails. Everything else uses the
// real calls.
#ifndef RERODADA_PLATFORM_POSIXSERIALCALLS_H
#define RERODADA_PLATFORM_POSIXSERIALCALLS_H

#include <cstddef>
#include <cstdint>
#include <poll.h>
#include <sys/types.h>

namespace rerodada::platform {

struct PosixSerialCalls {
    int (*open)(const char* path, int flags);
    int (*close)(int fd);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    int (*flock)(int fd, int operation);
    ssize_t (*read)(int fd, void* buffer, size_t count);
    ssize_t (*write)(int fd, const void* data, size_t count);
    int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
    uint64_t (*nowMicroseconds)();
    void (*sleepMicroseconds)(uint64_t us);
};

// The table in use; starts with the real calls.
PosixSerialCalls& SerialCalls();
PosixSerialCalls RealSerialCalls();

} // namespace rerodada::platform

#endif
