#!/usr/bin/python3
"""A pymodbus slave for the communication tests.

Units 1 and 2 hold distinct values, so a reply that belongs to another request shows:
holding register i = 1000 * unit + i, input register i = 2000 * unit + i,
coil i = (i % 3 == 0), discrete input i = (i % 2 == 1); 100 of each from address 0, or
as many as --size says. --hole N leaves holding register N unmapped (exception 02).
--write-only N lets holding register N be written but not read (exception 02 to
function 3), as a device whose setpoints cannot be read back.
"""
import argparse
import logging

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext, ModbusSparseDataBlock)
from pymodbus.server import StartSerialServer, StartTcpServer
from pymodbus.transaction import (ModbusAsciiFramer, ModbusRtuFramer,
                                  ModbusSocketFramer)


class WriteOnlyContext(ModbusSlaveContext):
    """Refuses every read of holding registers that covers the register `write_only`."""

    def __init__(self, write_only, **kwargs):
        super().__init__(**kwargs)
        self.write_only = write_only

    def validate(self, fc_as_hex, address, count=1):
        if fc_as_hex == 3 and address <= self.write_only < address + count:
            return False
        return super().validate(fc_as_hex, address, count)


def unit_context(unit, size, hole, write_only):
    holding = {i: 1000 * unit + i for i in range(size) if i != hole}
    tables = dict(
        co=ModbusSequentialDataBlock(0, [i % 3 == 0 for i in range(size)]),
        di=ModbusSequentialDataBlock(0, [i % 2 == 1 for i in range(size)]),
        hr=ModbusSparseDataBlock(holding),
        ir=ModbusSequentialDataBlock(0, [2000 * unit + i for i in range(size)]),
        zero_mode=True)
    if write_only is None:
        return ModbusSlaveContext(**tables)
    return WriteOnlyContext(write_only, **tables)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tcp", type=int, help="TCP port on 127.0.0.1")
    parser.add_argument("--rtu", help="serial device, Modbus RTU")
    parser.add_argument("--ascii", help="serial device, Modbus ASCII")
    parser.add_argument("--size", type=int, default=100, help="addresses in each table")
    parser.add_argument("--hole", type=int, help="an unmapped holding register")
    parser.add_argument("--write-only", type=int, help="a holding register that cannot be read")
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)
    context = ModbusServerContext(
        slaves={unit: unit_context(unit, args.size, args.hole, args.write_only) for unit in (1, 2)}, single=False)
    if args.tcp:
        StartTcpServer(context=context, framer=ModbusSocketFramer,
                       address=("127.0.0.1", args.tcp))
    else:
        framer = ModbusRtuFramer if args.rtu else ModbusAsciiFramer
        StartSerialServer(context=context, framer=framer, port=args.rtu or args.ascii,
                          baudrate=9600, bytesize=8, parity="N", stopbits=1, timeout=0.05)


if __name__ == "__main__":
    main()
