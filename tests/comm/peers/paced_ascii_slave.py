#!/usr/bin/python3
"""A Modbus ASCII slave on a pseudo-terminal that sends its replies at the pace of a real
line: each character takes 10 bit times at BAUD (8 data bits, no parity, 1 stop bit).
A pty passes bytes at once, so without this a test never sees a reply that outlasts the
master's read timeout.

Usage: paced_ascii_slave.py LINK BAUD
  LINK  a symbolic link made to the master's end of the pty (the station opens it)
Answers Read Holding Registers (3) of any slave address: register i holds i.
"""
import os
import sys
import time
import tty


def lrc(data):
    return (-sum(data)) & 0xFF


def main():
    link, baud = sys.argv[1], int(sys.argv[2])
    ours, theirs = os.openpty()
    tty.setraw(theirs)
    tty.setraw(ours)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.ttyname(theirs), link)
    character = 10.0 / baud
    pending = b""
    while True:
        pending += os.read(ours, 256)
        while b"\r\n" in pending:
            frame, pending = pending.split(b"\r\n", 1)
            start = frame.find(b":")
            if start < 0:
                continue
            core = bytes.fromhex(frame[start + 1:start + 13].decode())
            if len(core) < 6 or core[1] != 3:
                continue
            first, count = core[2] << 8 | core[3], core[4] << 8 | core[5]
            data = b"".join((first + i).to_bytes(2, "big") for i in range(count))
            body = bytes([core[0], 3, len(data)]) + data
            reply = b":" + body.hex().upper().encode() + b"%02X\r\n" % lrc(body)
            for byte in reply:
                os.write(ours, bytes([byte]))
                time.sleep(character)


if __name__ == "__main__":
    main()
