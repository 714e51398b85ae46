#!/usr/bin/python3
"""An independent Modbus TCP client: reads or writes one holding register of unit 1.

    modbus_register.py PORT read ADDRESS        prints the register's value
    modbus_register.py PORT write ADDRESS VALUE
"""
import sys

from pymodbus.client import ModbusTcpClient


def main():
    port, action, address = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    client = ModbusTcpClient("127.0.0.1", port=port, timeout=2)
    if not client.connect():
        sys.exit("cannot connect to the slave")
    try:
        if action == "read":
            reply = client.read_holding_registers(address, 1, slave=1)
            if reply.isError():
                sys.exit(str(reply))
            print(reply.registers[0])
        else:
            reply = client.write_register(address, int(sys.argv[4]), slave=1)
            if reply.isError():
                sys.exit(str(reply))
    finally:
        client.close()


if __name__ == "__main__":
    main()
