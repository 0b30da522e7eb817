// The host's line settings as the pty's master sees them. Kept apart from the pty
// server because the kernel's termios2, which carries any rate, cannot be
// declared beside the C library's termios.
#include "PtyServer.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace podsim {

PtyLine hostLineOf(int master) {
    termios2 t{};
    PtyLine line;
    // On the master, the terminal settings are the ones the host gave the slave.
    if (ioctl(master, TCGETS2, &t) != 0) return line;
    line.baud = (t.c_cflag & CBAUD) == BOTHER ? t.c_ospeed : baudOfSpeed(t.c_cflag & CBAUD);
    line.twoStopBits = (t.c_cflag & CSTOPB) != 0;
    line.rtsCts = (t.c_cflag & CRTSCTS) != 0;
    return line;
}

} // namespace podsim
