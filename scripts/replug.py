#!/usr/bin/env python3
"""Unplug and replug cycles for scripts/soak.sh: the board link reads the
simulated chip without pause while podlink-sim, serving the board on a
pseudo-terminal, is stopped and started again every few seconds. The port's
path stays the same (a link to the new pseudo-terminal), as a replugged
adapter's does. Each cycle must show the board lost (a failed read, the link
no longer connected), and one connect after the replug must find it again;
no read may answer a wrong value.

Usage: replug.py serial|usb-tty SECONDS EVERY BUILD_DIR
Prints one line: path, cycles, reconnects, failures; exits 1 on a failure.
"""
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

CHIP, DEV_ID, DEV_ID_VALUE = 0x2A, 0x00, 0x12
LOST_WITHIN_S = 2.0
FOUND_WITHIN_S = 10.0


def start_simulator(program, usb):
    sim = subprocess.Popen([program] + (["--usb"] if usb else []), stdout=subprocess.PIPE, text=True)
    return sim, sim.stdout.readline().strip()


def main():
    kind, seconds, every, build = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), Path(sys.argv[4])
    usb = kind == "usb-tty"
    work = Path(tempfile.mkdtemp())
    link = work / ("ttyUSB0" if usb else "ttyS0")
    os.environ["RERODADA_D2XX_LIBRARY"] = str(work / "no-d2xx.so")
    os.environ["RERODADA_LOCK_DIRS"] = ""
    os.environ["RERODADA_SERIAL_PORTS"] = "" if usb else str(link)
    os.environ["RERODADA_USB_TTYS"] = "%s=PL000001=PODLINK USB" % link if usb else ""
    sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "python"))
    import rerodada

    # The search's own lines go to standard output: this script's report
    # keeps it to itself.
    report = os.fdopen(os.dup(1), "w")
    os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
    board = rerodada.Board(str(build / "lib" / "librerodada.so"))
    program = str(build / "bin" / "podlink-sim")
    sim, pty = start_simulator(program, usb)
    link.symlink_to(pty)
    cycles = reconnects = failures = 0
    notes = []

    def connect_within(limit):
        end = time.monotonic() + limit
        while time.monotonic() < end:
            if board.connected or board._lib.BrimBoardConnect():
                return True
            time.sleep(0.2)
        return False

    if not connect_within(FOUND_WITHIN_S):
        print("%-8s the board was not found at the start" % kind, file=report)
        return 1
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        unplug_at = time.monotonic() + every
        while time.monotonic() < unplug_at:
            try:
                value = board.read_byte(CHIP, DEV_ID)
            except rerodada.RerodadaError:
                failures += 1
                notes.append("cycle %d: a read failed while plugged in" % cycles)
                break
            if value != DEV_ID_VALUE:
                failures += 1
                notes.append("cycle %d: DEV_ID read as 0x%02X" % (cycles, value))
        cycles += 1
        sim.terminate()
        sim.wait()
        lost_by = time.monotonic() + LOST_WITHIN_S
        lost = False
        while time.monotonic() < lost_by and not lost:
            try:
                board.read_byte(CHIP, DEV_ID)
            except rerodada.RerodadaError:
                lost = not board.connected
        if not lost:
            failures += 1
            notes.append("cycle %d: the unplug was not seen" % cycles)
        sim, pty = start_simulator(program, usb)
        link.unlink()
        link.symlink_to(pty)
        if connect_within(FOUND_WITHIN_S):
            reconnects += 1
        else:
            failures += 1
            notes.append("cycle %d: no reconnect after the replug" % cycles)
            break
    sim.terminate()
    sim.wait()
    board.disconnect()
    link.unlink()
    work.rmdir()
    print("%-8s %4d s  every %2d s  cycles %3d  reconnects %3d  failures %d"
          % (kind, seconds, every, cycles, reconnects, failures), file=report)
    for note in notes[:10]:
        print("  " + note, file=report)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
