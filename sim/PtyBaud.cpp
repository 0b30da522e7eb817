// The host's line rate as the pty's master sees it. Kept apart from the pty
// server because the kernel's termios2, which carries any rate, cannot be
// declared beside the C library's termios.
#include "PtyServer.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace podsim {

uint32_t hostBaudOf(int master) {
    termios2 t{};
    // On the master, the terminal settings are the ones the host gave the slave.
    if (ioctl(master, TCGETS2, &t) != 0) return 0;
    if ((t.c_cflag & CBAUD) == BOTHER) return t.c_ospeed;
    return baudOfSpeed(t.c_cflag & CBAUD);
}

} // namespace podsim
