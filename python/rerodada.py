"""Python access to the RAR4120E kit's board link, librerodada.so, through ctypes.

    import rerodada
    rerodada.use_simulator()          # optional: the simulated kit of the build
    with rerodada.Board() as board:   # connects; disconnects at the end
        print(board.read_byte(0x2A, 0x00))

Addresses are the 8-bit form (0x2A for the RAR4120E), words are 16-bit
integers, byte sequences are ``bytes``. A failed transaction raises
``TransactionError``; no board raises ``NoBoardError``.
"""

import ctypes
import os
from pathlib import Path

__all__ = [
    "Board",
    "RerodadaError",
    "NoBoardError",
    "NotConnectedError",
    "TransactionError",
    "library_path",
    "use_simulator",
]

_BUILD_LIB = Path(__file__).resolve().parent.parent / "build" / "lib"
# Where the Debian package keeps the simulated kit.
_INSTALLED_SIMULATOR = Path("/usr/lib/rar4120e-evkit/lib")
_BLOCK_BUFFER = 256
_SPI_MAX = 400
_LISTING_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_char_p)


class RerodadaError(Exception):
    """Every error of this module."""


class NoBoardError(RerodadaError):
    """The connect found no interface board."""


class NotConnectedError(RerodadaError):
    """An operation needs a connected board."""


class TransactionError(RerodadaError):
    """The board reported a failed bus transaction."""

    def __init__(self, operation, address=None):
        where = "" if address is None else " at address 0x%02X" % address
        super().__init__("%s failed%s" % (operation, where))
        self.operation = operation
        self.address = address


def library_path():
    """RERODADA_LIBRARY, else the build's librerodada.so, else the loader's search."""
    chosen = os.environ.get("RERODADA_LIBRARY")
    if chosen:
        return chosen
    built = _BUILD_LIB / "librerodada.so"
    return str(built) if built.exists() else "librerodada.so"


def use_simulator(lib_dir=None):
    """Points the board link at the simulated kit (the D2XX stand-in, no serial
    ports). lib_dir holds libpodlink-d2xx.so; by default the folder of the
    library that library_path() names, else the installed package's. Call it
    before the first Board is created."""
    if lib_dir is None:
        library = Path(library_path())
        lib_dir = library.parent if library.is_absolute() else _INSTALLED_SIMULATOR
    lib_dir = Path(lib_dir)
    os.environ["RERODADA_D2XX_LIBRARY"] = str(lib_dir / "libpodlink-d2xx.so")
    os.environ["RERODADA_SERIAL_PORTS"] = ""
    os.environ["RERODADA_USB_TTYS"] = ""


def _byte(name, value):
    if not isinstance(value, int) or not 0 <= value <= 0xFF:
        raise ValueError("%s must be an integer from 0 to 255, not %r" % (name, value))
    return value


def _word(name, value):
    if not isinstance(value, int) or not 0 <= value <= 0xFFFF:
        raise ValueError("%s must be an integer from 0 to 65535, not %r" % (name, value))
    return value


def _buffer(data):
    data = bytes(data)
    return (ctypes.c_uint8 * max(len(data), 1)).from_buffer_copy(data or b"\0"), len(data)


class Board:
    """The interface board behind librerodada.so. The library keeps one
    connection per process, so every Board of a process shares it."""

    def __init__(self, library=None):
        self._lib = ctypes.CDLL(library or library_path())
        self._callback = None
        self._declare()

    def _declare(self):
        u8, u16, u32 = ctypes.c_uint8, ctypes.c_uint16, ctypes.c_uint32
        p8, p16, p32 = ctypes.POINTER(u8), ctypes.POINTER(u16), ctypes.POINTER(u32)
        signatures = {
            "BrimBoardConnect": (ctypes.c_bool, []),
            "BrimBoardDisconnect": (None, []),
            "BrimBoardConnected": (ctypes.c_bool, []),
            "BrimBoardGetBanner": (ctypes.c_bool, [ctypes.c_char_p, u32]),
            "BrimBoardGetPortName": (ctypes.c_bool, [ctypes.c_char_p, u32]),
            "BrimSMBusQuick": (u32, [u8]),
            "BrimSMBusSendByte": (u32, [u8, u8]),
            "BrimSMBusReceiveByte": (u32, [u8, p8]),
            "BrimSMBusWriteByte": (u32, [u8, u8, u8]),
            "BrimSMBusReadByte": (u32, [u8, u8, p8]),
            "BrimSMBusWriteWord": (u32, [u8, u8, u16]),
            "BrimSMBusReadWord": (u32, [u8, u8, p16]),
            "BrimSMBusProcessCall": (u32, [u8, u8, u16, p16]),
            "BrimSMBusWriteBlock": (u32, [u8, u8, u32, p8]),
            "BrimSMBusReadBlock": (u32, [u8, u8, p8, p8, u32]),
            "BrimSMBusReadBlockPEC": (u32, [u8, u8, p8, p8, u32]),
            "BrimI2CWriteAndReadBytes": (u32, [u8, u32, u32, p8, p8, p32]),
            "BrimSpiTransfer": (u32, [u32, p8, p8]),
            "BrimSpiConfigCpolCpha": (u32, [u32, u32]),
            "BrimSpiConfigMSBFirst": (u32, [u8]),
            "BrimSpiConfigSCKSpeedKhz": (u32, [ctypes.c_int32]),
            "BrimSpiCsAssert": (u32, []),
            "BrimSpiCsNegate": (u32, []),
            "BrimLogCallback": (_LISTING_CALLBACK, [_LISTING_CALLBACK]),
        }
        for name, (restype, argtypes) in signatures.items():
            function = getattr(self._lib, name)
            function.restype = restype
            function.argtypes = argtypes

    # ---- connection --------------------------------------------------------

    def connect(self):
        """Finds the board (USB devices first, then the serial ports)."""
        if not self._lib.BrimBoardConnect():
            raise NoBoardError("no interface board found")
        return self

    def disconnect(self):
        self._lib.BrimBoardDisconnect()

    @property
    def connected(self):
        return bool(self._lib.BrimBoardConnected())

    def _text(self, function):
        buffer = ctypes.create_string_buffer(256)
        if not function(buffer, len(buffer)):
            raise NotConnectedError("no board is connected")
        return buffer.value.decode("latin-1").rstrip("\r\n")

    @property
    def banner(self):
        """The firmware banner, for example 'Kelvo PODLINK ...'."""
        return self._text(self._lib.BrimBoardGetBanner)

    @property
    def port_name(self):
        return self._text(self._lib.BrimBoardGetPortName)

    def __enter__(self):
        return self.connect()

    def __exit__(self, *exc):
        self.disconnect()
        return False

    # ---- SMBus -------------------------------------------------------------

    def _check(self, result, operation, address):
        if not result:
            raise TransactionError(operation, address)

    def quick(self, address):
        self._check(self._lib.BrimSMBusQuick(_byte("address", address)), "Quick", address)

    def send_byte(self, address, command):
        result = self._lib.BrimSMBusSendByte(_byte("address", address), _byte("command", command))
        self._check(result, "SendByte", address)

    def receive_byte(self, address):
        value = ctypes.c_uint8()
        result = self._lib.BrimSMBusReceiveByte(_byte("address", address), ctypes.byref(value))
        self._check(result, "ReceiveByte", address)
        return value.value

    def write_byte(self, address, command, value):
        result = self._lib.BrimSMBusWriteByte(
            _byte("address", address), _byte("command", command), _byte("value", value)
        )
        self._check(result, "WriteByte", address)

    def read_byte(self, address, command):
        value = ctypes.c_uint8()
        result = self._lib.BrimSMBusReadByte(
            _byte("address", address), _byte("command", command), ctypes.byref(value)
        )
        self._check(result, "ReadByte", address)
        return value.value

    def write_word(self, address, command, value):
        result = self._lib.BrimSMBusWriteWord(
            _byte("address", address), _byte("command", command), _word("value", value)
        )
        self._check(result, "WriteWord", address)

    def read_word(self, address, command):
        value = ctypes.c_uint16()
        result = self._lib.BrimSMBusReadWord(
            _byte("address", address), _byte("command", command), ctypes.byref(value)
        )
        self._check(result, "ReadWord", address)
        return value.value

    def process_call(self, address, command, value):
        answer = ctypes.c_uint16()
        result = self._lib.BrimSMBusProcessCall(
            _byte("address", address),
            _byte("command", command),
            _word("value", value),
            ctypes.byref(answer),
        )
        self._check(result, "ProcessCall", address)
        return answer.value

    # ---- block transfers ---------------------------------------------------

    def write_block(self, address, command, data):
        """SMBus block write: the count byte, then data (1 to 255 bytes)."""
        buffer, count = _buffer(data)
        if not 1 <= count <= 255:
            raise ValueError("a block holds 1 to 255 bytes, not %d" % count)
        result = self._lib.BrimSMBusWriteBlock(
            _byte("address", address), _byte("command", command), count, buffer
        )
        self._check(result, "WriteBlock", address)

    def read_block(self, address, command, pec=False):
        """SMBus block read; with pec the packet error code is checked too."""
        count = ctypes.c_uint8()
        buffer = (ctypes.c_uint8 * _BLOCK_BUFFER)()
        function = self._lib.BrimSMBusReadBlockPEC if pec else self._lib.BrimSMBusReadBlock
        result = function(
            _byte("address", address),
            _byte("command", command),
            ctypes.byref(count),
            buffer,
            _BLOCK_BUFFER,
        )
        self._check(result, "ReadBlockPEC" if pec else "ReadBlock", address)
        return bytes(buffer[: count.value or _BLOCK_BUFFER])

    def write_read(self, address, data, read_count):
        """Writes data, then reads read_count bytes after a repeated start."""
        tx, count = _buffer(data)
        if read_count < 0:
            raise ValueError("read_count must not be negative")
        rx = (ctypes.c_uint8 * max(read_count, 1))()
        received = ctypes.c_uint32()
        result = self._lib.BrimI2CWriteAndReadBytes(
            _byte("address", address), count, read_count, tx, rx, ctypes.byref(received)
        )
        self._check(result, "WriteAndRead", address)
        return bytes(rx[: min(received.value, read_count)])

    # ---- SPI ---------------------------------------------------------------

    def spi_configure(self, cpol=0, cpha=0, msb_first=True, khz=None):
        ok = self._lib.BrimSpiConfigCpolCpha(1 if cpol else 0, 1 if cpha else 0)
        ok = ok and self._lib.BrimSpiConfigMSBFirst(1 if msb_first else 0)
        if khz is not None:
            ok = ok and self._lib.BrimSpiConfigSCKSpeedKhz(int(khz))
        self._check(ok, "SpiConfigure", None)

    def spi_transfer(self, data):
        """Clocks data out on MOSI; returns the bytes received on MISO."""
        tx, count = _buffer(data)
        if not 1 <= count <= _SPI_MAX:
            raise ValueError("an SPI transfer carries 1 to %d bytes, not %d" % (_SPI_MAX, count))
        rx = (ctypes.c_uint8 * count)()
        self._check(self._lib.BrimSpiTransfer(count, tx, rx), "SpiTransfer", None)
        return bytes(rx)

    def spi_select(self, asserted=True):
        function = self._lib.BrimSpiCsAssert if asserted else self._lib.BrimSpiCsNegate
        self._check(function(), "SpiCsAssert" if asserted else "SpiCsNegate", None)

    # ---- listing -----------------------------------------------------------

    def set_listing_callback(self, callback):
        """callback(text) receives each text the library writes to its listing
        (every bus operation, its arguments and "FAILED" on failure); None stops
        it. Exceptions raised in the callback are printed and ignored."""
        if callback is None:
            self._callback = None
            self._lib.BrimLogCallback(ctypes.cast(None, _LISTING_CALLBACK))
            return

        def relay(text):
            callback(text.decode("latin-1") if text is not None else "")

        # ctypes must keep the function object alive while the library holds it.
        self._callback = _LISTING_CALLBACK(relay)
        self._lib.BrimLogCallback(self._callback)
