import os
import subprocess
import sys
from pathlib import Path

import pytest

import rerodada

RAR4120E = 0x2A
SMBUS_DEVICE = 0xA0
ABSENT = 0x50


def test_connect_reads_the_banner_and_the_chip(board):
    assert board.connected
    assert board.banner.startswith("Kelvo PODLINK")
    assert board.port_name == "USB:0"
    assert board.read_byte(RAR4120E, 0x00) == 0x12


def test_connect_without_a_board_raises(simulator):
    board = rerodada.Board()
    board.disconnect()
    assert simulator.podsim_d2xx_reload(b"usb.devices = 0\n") == 0
    with pytest.raises(rerodada.NoBoardError):
        board.connect()
    assert not board.connected
    with pytest.raises(rerodada.NotConnectedError):
        board.banner


def test_byte_word_and_process_call_round_trips(board):
    board.write_byte(RAR4120E, 0x04, 0x80)
    assert board.read_byte(RAR4120E, 0x04) == 0x80
    board.write_word(SMBUS_DEVICE, 0x10, 0xBEEF)
    assert board.read_word(SMBUS_DEVICE, 0x10) == 0xBEEF
    assert board.process_call(SMBUS_DEVICE, 0xC0, 0x1234) == 0x1234 ^ 0xFFFF
    # Write-then-read follows the register pointer.
    board.write_byte(RAR4120E, 0x02, 0x0A)
    assert board.write_read(RAR4120E, b"\x00", 3) == bytes([0x12, 0x00, 0x0A])


def test_block_transfers(board):
    assert board.read_block(SMBUS_DEVICE, 0x80) == bytes([0x80, 0x81, 0x82, 0x83])
    board.write_block(SMBUS_DEVICE, 0x90, b"\x01\x02\x03\x04\x05")
    assert board.read_block(SMBUS_DEVICE, 0x90) == b"\x01\x02\x03\x04\x05"
    assert board.read_block(SMBUS_DEVICE, 0x90, pec=True) == b"\x01\x02\x03\x04\x05"


def test_spi_loopback(board):
    board.spi_configure(cpol=0, cpha=0, msb_first=True)
    data = bytes(range(0, 250, 7))
    assert board.spi_transfer(data) == data
    board.spi_select(True)
    board.spi_select(False)


def test_listing_callback_sees_each_operation_and_its_failure(board):
    texts = []
    board.set_listing_callback(texts.append)
    board.read_byte(RAR4120E, 0x00)
    with pytest.raises(rerodada.TransactionError):
        board.read_byte(ABSENT, 0x00)
    listing = "".join(texts)
    assert "BrimSMBusReadByte" in listing
    assert "FAILED" in listing
    assert all(isinstance(text, str) for text in texts)

    board.set_listing_callback(None)
    texts.clear()
    board.read_byte(RAR4120E, 0x00)
    assert texts == []


def test_failed_transactions_raise_with_the_operation_and_address(board):
    with pytest.raises(rerodada.TransactionError) as caught:
        board.read_byte(ABSENT, 0x00)
    assert caught.value.operation == "ReadByte"
    assert caught.value.address == ABSENT
    assert "0x50" in str(caught.value)
    with pytest.raises(rerodada.TransactionError):
        board.write_byte(ABSENT, 0x00, 1)
    with pytest.raises(rerodada.TransactionError):
        board.quick(ABSENT)
    board.quick(RAR4120E)
    assert issubclass(rerodada.TransactionError, rerodada.RerodadaError)
    assert issubclass(rerodada.NoBoardError, rerodada.RerodadaError)


@pytest.mark.parametrize(
    "call",
    [
        lambda b: b.read_byte(0x100, 0),
        lambda b: b.write_byte(RAR4120E, 0, -1),
        lambda b: b.write_word(SMBUS_DEVICE, 0, 0x10000),
        lambda b: b.read_byte("2A", 0),
        lambda b: b.write_block(SMBUS_DEVICE, 0x90, b""),
        lambda b: b.spi_transfer(b""),
    ],
)
def test_bad_arguments_raise_value_error_before_any_traffic(board, call):
    with pytest.raises(ValueError):
        call(board)


def test_the_example_runs_on_the_simulator():
    example = Path(__file__).resolve().parent.parent / "examples" / "read_chip.py"
    env = dict(os.environ)
    result = subprocess.run(
        [sys.executable, str(example), "--listing"],
        env=env,
        capture_output=True,
        text=True,
        timeout=60,
    )
    assert result.returncode == 0, result.stderr
    assert "DEV_ID: 0x12" in result.stdout
    assert "ISET: 0x01 -> 0x03" in result.stdout
    assert "SPI loopback: 1234" in result.stdout
    assert "listing:" in result.stdout
