import subprocess
import sys
from pathlib import Path

import pytest

import rerodada

RAR4120E, SMBUS_DEVICE, ABSENT = 0x2A, 0xA0, 0x50


def test_connect_reads_the_banner_and_the_chip(board, simulator):
    assert board.connected
    assert board.banner.startswith("Kelvo PODLINK")
    assert board.port_name == "USB:0"
    assert board.read_byte(RAR4120E, 0x00) == 0x12
    board.disconnect()
    assert simulator.podsim_d2xx_reload(b"usb.devices = 0\n") == 0
    with pytest.raises(rerodada.NoBoardError) as caught:
        board.connect()
    assert isinstance(caught.value, rerodada.RerodadaError)
    assert not board.connected
    with pytest.raises(rerodada.NotConnectedError):
        board.banner


def test_transfers_round_trip(board):
    board.write_byte(RAR4120E, 0x04, 0x80)
    assert board.read_byte(RAR4120E, 0x04) == 0x80
    board.write_word(SMBUS_DEVICE, 0x10, 0xBEEF)
    assert board.read_word(SMBUS_DEVICE, 0x10) == 0xBEEF
    assert board.process_call(SMBUS_DEVICE, 0xC0, 0x1234) == 0x1234 ^ 0xFFFF
    # Write-then-read follows the register pointer.
    board.write_byte(RAR4120E, 0x02, 0x0A)
    assert board.write_read(RAR4120E, b"\x00", 3) == bytes([0x12, 0x00, 0x0A])
    assert board.read_block(SMBUS_DEVICE, 0x80) == bytes([0x80, 0x81, 0x82, 0x83])
    board.write_block(SMBUS_DEVICE, 0x90, b"\x01\x02\x03\x04\x05")
    assert board.read_block(SMBUS_DEVICE, 0x90) == b"\x01\x02\x03\x04\x05"
    assert board.read_block(SMBUS_DEVICE, 0x90, pec=True) == b"\x01\x02\x03\x04\x05"
    board.spi_configure(cpol=0, cpha=0, msb_first=True)
    data = bytes(range(0, 250, 7))
    assert board.spi_transfer(data) == data
    board.spi_select(True)
    board.spi_select(False)
    board.quick(RAR4120E)


def test_failures_raise_and_reach_the_listing(board):
    texts = []
    board.set_listing_callback(texts.append)
    for operation, call in (("ReadByte", lambda: board.read_byte(ABSENT, 0)),
                            ("WriteByte", lambda: board.write_byte(ABSENT, 0, 1)),
                            ("Quick", lambda: board.quick(ABSENT))):
        with pytest.raises(rerodada.TransactionError) as caught:
            call()
        assert (caught.value.operation, caught.value.address) == (operation, ABSENT)
        assert "0x50" in str(caught.value)
        assert isinstance(caught.value, rerodada.RerodadaError)
    listing = "".join(texts)
    assert "BrimSMBusReadByte" in listing and "FAILED" in listing
    assert all(isinstance(text, str) for text in texts)
    board.set_listing_callback(None)
    texts.clear()
    board.read_byte(RAR4120E, 0x00)
    assert texts == []
    # Bad arguments are refused by the module.
    for call in (lambda: board.read_byte(0x100, 0), lambda: board.write_byte(RAR4120E, 0, -1),
                 lambda: board.write_word(SMBUS_DEVICE, 0, 0x10000),
                 lambda: board.read_byte("2A", 0), lambda: board.spi_transfer(b""),
                 lambda: board.write_block(SMBUS_DEVICE, 0x90, b"")):
        with pytest.raises(ValueError):
            call()


def test_the_example_runs_on_the_simulator():
    example = Path(__file__).resolve().parent.parent / "examples" / "read_chip.py"
    result = subprocess.run([sys.executable, str(example), "--listing"], capture_output=True,
                            text=True, timeout=60)
    assert result.returncode == 0, result.stderr
    for line in ("DEV_ID: 0x12", "ISET: 0x01 -> 0x03", "SPI loopback: 1234", "listing:"):
        assert line in result.stdout
