#!/usr/bin/python3
"""Smoke test of halvane-sim with pymodbus masters, over Modbus TCP and over Modbus RTU on a
socat pty pair. Usage: test_sim.py PATH_TO_HALVANE_SIM"""

import logging
import os
import select
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from pymodbus.client import ModbusSerialClient, ModbusTcpClient
from pymodbus.transaction import ModbusRtuFramer

SIM = sys.argv.pop(1) if len(sys.argv) > 1 else "halvane-sim"
UNITS = (1, 2)
START_TIMEOUT = 5.0
STOP_LIMIT = 1.0  # seconds from SIGTERM or SIGINT to exit

# The test block at register 100 as the README documents it, decoded the way a master
# does: (name, word offset, struct format of the big-endian bytes, words swapped, value of unit u).
TEST_BLOCK = [
    ("byte register",      0, ">H", False, lambda u: 0xA500 + u),
    ("word",               1, ">H", False, lambda u: 12000 + u),
    ("negative word",      2, ">h", False, lambda u: -1000 - u),
    ("double word AB CD",  3, ">I", False, lambda u: 1_000_000 + u),
    ("double word CD AB",  5, ">I", True,  lambda u: 1_000_000 + u),
    ("float AB CD",        7, ">f", False, lambda u: 100.25 + u),
    ("float CD AB",        9, ">f", True,  lambda u: 100.25 + u),
    ("double",            11, ">d", False, lambda u: 1234567.890625 + u),
    ("bits",              15, ">H", False, lambda u: 0x3C00 | (0xA5 ^ u)),
]

# Requests that reach beyond a table: (read method, address, count).
UNMAPPED = [
    ("read_coils",               108, 1),
    ("read_discrete_inputs",     108, 1),
    ("read_holding_registers",   116, 1),
    ("read_holding_registers",   115, 2),
    ("read_input_registers",    1000, 1),
]

# Register addresses of the plant.
PUMP_COIL, PUMP_RUNNING, SETPOINT = 0, 0, 0
LEVEL, PUMP_SPEED = 0, 2


def decode(words, offset, fmt, swapped):
    count = struct.calcsize(fmt) // 2
    part = list(words[offset:offset + count])
    if swapped:
        part.reverse()
    return struct.unpack(fmt, struct.pack(f">{count}H", *part))[0]


def bits_of(pattern):
    return [bool(pattern >> i & 1) for i in range(8)]


def wait_for(condition, what, timeout=START_TIMEOUT):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.02)


class PtyPair:
    """Two linked ptys made by socat: DIR/ttyA for the simulator, DIR/ttyB for the master."""

    def __init__(self, folder):
        self.slave_end = os.path.join(folder, "ttyA")
        self.master_end = os.path.join(folder, "ttyB")
        self.process = subprocess.Popen(
            ["socat", "-d", "-d", f"pty,raw,echo=0,link={self.slave_end}",
             f"pty,raw,echo=0,link={self.master_end}"],
            stderr=subprocess.DEVNULL)
        wait_for(lambda: os.path.exists(self.slave_end) and os.path.exists(self.master_end),
                 "the socat pty pair")

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait()


class Simulator:
    """One halvane-sim process; start() waits for its start-up lines."""

    def __init__(self, *arguments):
        self.process = subprocess.Popen([SIM, *arguments], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)

    def start(self, servers):
        lines, pending = [], b""
        deadline = time.monotonic() + START_TIMEOUT
        while len(lines) < servers:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([self.process.stdout], [], [], remaining)[0]:
                raise AssertionError("the simulator did not start")
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                raise AssertionError(f"the simulator ended: {self.process.stderr.read().decode()}")
            *complete, pending = (pending + chunk).split(b"\n")
            lines += [line.decode() for line in complete]
        return lines

    def tcp_port(self, lines):
        line = next(line for line in lines if "Modbus TCP on" in line)
        return int(line.rsplit(":", 1)[1])

    def finish(self, timeout=START_TIMEOUT):
        """Waits for the end; returns the exit status and stderr."""
        _, errors = self.process.communicate(timeout=timeout)
        return self.process.returncode, errors.decode()

    def stop(self, signal_number=signal.SIGTERM):
        """Sends the signal; returns the exit status and the seconds until the exit."""
        if self.process.returncode is not None:
            return self.process.returncode, 0.0
        sent = time.monotonic()
        self.process.send_signal(signal_number)
        try:
            self.process.wait(STOP_LIMIT * 5)
        finally:
            if self.process.poll() is None:
                self.process.kill()
            self.process.communicate()
        return self.process.returncode, time.monotonic() - sent


def tcp_client(port):
    client = ModbusTcpClient("127.0.0.1", port=port, timeout=2, retries=0)
    assert client.connect()
    return client


def rtu_client(device):
    client = ModbusSerialClient(port=device, framer=ModbusRtuFramer, baudrate=9600, timeout=1,
                                retries=0)
    assert client.connect()
    return client


class Masters(unittest.TestCase):
    """One simulator serving units 1 and 2 over TCP and RTU at once."""

    @classmethod
    def setUpClass(cls):
        folder = tempfile.TemporaryDirectory()
        cls.addClassCleanup(folder.cleanup)
        pty = PtyPair(folder.name)
        cls.addClassCleanup(pty.close)
        sim = Simulator("--tcp", "127.0.0.1:0", "--rtu", pty.slave_end, "--baud", "9600",
                        "--units", ",".join(map(str, UNITS)))
        cls.addClassCleanup(sim.stop)
        port = sim.tcp_port(sim.start(servers=2))
        cls.tcp = tcp_client(port)
        cls.addClassCleanup(cls.tcp.close)
        cls.rtu = rtu_client(pty.master_end)
        cls.addClassCleanup(cls.rtu.close)
        cls.links = {"TCP": cls.tcp, "RTU": cls.rtu}

    def read(self, client, method, address, count, unit):
        reply = getattr(client, method)(address, count, slave=unit)
        self.assertFalse(reply.isError(), f"{method}({address}, {count}) of unit {unit}: {reply}")
        return reply

    def level(self, unit=1):
        return self.read(self.tcp, "read_input_registers", LEVEL, 1, unit).registers[0]

    def test_each_unit_holds_its_own_test_block(self):
        for link, client in self.links.items():
            for unit in UNITS:
                for method in ("read_holding_registers", "read_input_registers"):
                    words = self.read(client, method, 100, 16, unit).registers
                    for name, offset, fmt, swapped, expected in TEST_BLOCK:
                        with self.subTest(link=link, unit=unit, table=method, value=name):
                            self.assertEqual(decode(words, offset, fmt, swapped), expected(unit))
                with self.subTest(link=link, unit=unit, table="bits"):
                    coils = self.read(client, "read_coils", 100, 8, unit).bits[:8]
                    inputs = self.read(client, "read_discrete_inputs", 100, 8, unit).bits[:8]
                    self.assertEqual(coils, bits_of(0xA5 ^ unit))
                    self.assertEqual(inputs, bits_of(0x5A ^ unit))

    def test_unmapped_addresses_answer_exception_2(self):
        for link, client in self.links.items():
            for method, address, count in UNMAPPED:
                with self.subTest(link=link, request=(method, address, count)):
                    reply = getattr(client, method)(address, count, slave=1)
                    self.assertTrue(reply.isError())
                    self.assertEqual(getattr(reply, "exception_code", None), 2, str(reply))

    def test_units_not_served(self):
        reply = self.tcp.read_holding_registers(100, 1, slave=3)
        self.assertEqual(getattr(reply, "exception_code", None), 0x0B, str(reply))
        # On a serial line another slave's request gets no answer, and the next request
        # for one of ours is answered as usual.
        self.assertTrue(self.rtu.read_holding_registers(100, 1, slave=3).isError())
        self.assertEqual(self.read(self.rtu, "read_holding_registers", 101, 1, 2).registers,
                         [12002])

    def test_pump_drains_the_tank_at_the_written_speed(self):
        tcp, unit = self.tcp, 1
        self.assertFalse(tcp.write_register(SETPOINT, 100, slave=unit).isError())
        # Switched over the serial line, seen over TCP: both links share the plant.
        self.assertFalse(self.rtu.write_coil(PUMP_COIL, True, slave=unit).isError())
        self.assertEqual(self.read(tcp, "read_input_registers", PUMP_SPEED, 1, unit).registers,
                         [100])
        self.assertTrue(self.read(tcp, "read_discrete_inputs", PUMP_RUNNING, 1, unit).bits[0])
        self.assertEqual(self.read(tcp, "read_input_registers", PUMP_SPEED, 1, 2).registers, [0])
        before = self.level()
        wait_for(lambda: self.level() < before - 10, "the level to fall while the pump runs")

        self.assertFalse(tcp.write_register(SETPOINT, 30, slave=unit).isError())
        self.assertEqual(self.read(tcp, "read_input_registers", PUMP_SPEED, 1, unit).registers,
                         [30])

        self.assertFalse(tcp.write_coil(PUMP_COIL, False, slave=unit).isError())
        self.assertEqual(self.read(tcp, "read_input_registers", PUMP_SPEED, 1, unit).registers,
                         [0])
        self.assertFalse(self.read(tcp, "read_discrete_inputs", PUMP_RUNNING, 1, unit).bits[0])
        stopped = self.level()
        wait_for(lambda: self.level() > stopped, "the level to rise while the pump is off")


class Lifecycle(unittest.TestCase):
    def test_signals_end_the_simulator_promptly(self):
        for signal_number in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=signal_number.name):
                pty = PtyPair(self.enterContext(tempfile.TemporaryDirectory()))
                self.addCleanup(pty.close)
                sim = Simulator("--tcp", "127.0.0.1:0", "--rtu", pty.slave_end, "--static")
                self.addCleanup(sim.stop)
                client = tcp_client(sim.tcp_port(sim.start(servers=2)))
                self.addCleanup(client.close)
                self.assertFalse(client.read_holding_registers(101, 1, slave=1).isError())
                status, seconds = sim.stop(signal_number)
                self.assertEqual(status, 0)
                self.assertLess(seconds, STOP_LIMIT)

    def test_failures_to_start_are_reported(self):
        with socket.socket() as taken, tempfile.TemporaryDirectory() as folder:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            missing = os.path.join(folder, "no-such-tty")
            cases = [  # arguments, exit status, text in the message
                (["--tcp", f"127.0.0.1:{port}"], 1, f"127.0.0.1:{port}: Address already in use"),
                (["--rtu", missing], 1, f"cannot open serial line {missing}"),
                (["--units", "1"], 2, "give --tcp"),
            ]
            for arguments, expected_status, text in cases:
                with self.subTest(arguments=arguments):
                    status, message = Simulator(*arguments).finish()
                    self.assertEqual(status, expected_status)
                    self.assertIn(text, message)


if __name__ == "__main__":
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    unittest.main(verbosity=2)
