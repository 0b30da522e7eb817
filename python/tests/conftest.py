"""Every test runs on a fresh simulated kit (RERODADA_D2XX_LIBRARY), never a real port."""

import ctypes
import os
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
import rerodada  # noqa: E402

if not os.environ.get("RERODADA_D2XX_LIBRARY"):
    rerodada.use_simulator()
os.environ["RERODADA_SERIAL_PORTS"] = ""


@pytest.fixture(scope="session")
def simulator():
    """The stand-in as the library loads it, so its hooks reach the same board."""
    return ctypes.CDLL(os.environ["RERODADA_D2XX_LIBRARY"])


@pytest.fixture
def board(simulator):
    board = rerodada.Board()
    board.disconnect()
    assert simulator.podsim_d2xx_reload(b"") == 0
    board.connect()
    yield board
    board.set_listing_callback(None)
    board.disconnect()
