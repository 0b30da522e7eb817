#!/usr/bin/env python3
"""Reads the RAR4120E on the simulated kit (or, with --board, on the real one),
turns on ENA and reads it back, printing the library's listing as it goes."""

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
import rerodada  # noqa: E402

RAR4120E = 0x2A
ISET = 0x02
ENA = 0x02


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--board", action="store_true", help="use the real board, not the simulator")
    parser.add_argument("--listing", action="store_true", help="print the library's listing")
    args = parser.parse_args()
    if not args.board:
        rerodada.use_simulator()

    try:
        with rerodada.Board() as board:
            if args.listing:
                board.set_listing_callback(lambda text: print("  listing:", text.rstrip()))
            print("Board:", board.banner)
            print("DEV_ID: 0x%02X" % board.read_byte(RAR4120E, 0x00))
            iset = board.read_byte(RAR4120E, ISET)
            board.write_byte(RAR4120E, ISET, iset | ENA)
            print("ISET: 0x%02X -> 0x%02X" % (iset, board.read_byte(RAR4120E, ISET)))
            print("SPI loopback:", board.spi_transfer(b"\x12\x34").hex())
    except rerodada.RerodadaError as error:
        print("error:", error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
