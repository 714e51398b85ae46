#!/usr/bin/python3
"""A Modbus TCP proxy that hurts the replies of a real slave on their way back.

Usage: fault_proxy.py LISTEN_PORT SLAVE_PORT MODE [LOG]
  split      each reply arrives in single bytes, 20 ms apart
  stale      before each reply, the previous reply (another transaction id) arrives again
  readdress  replies carry unit id + 1
  reecho     replies to Write Multiple Registers echo a register count one over
  reheader   replies 1, 2 and 3 of every four carry, in turn, protocol identifier 1, a
             length field one over and a byte count one over; the fourth passes unchanged
  drop       the link is closed after the third reply
  cut        the link is closed half-way through the fourth reply of each connection
  mute=N     requests for starting address N are never answered (a slave that hangs)
Requests pass unchanged; one client at a time. With LOG, the starting address of every
request is appended to that file, one line each, before the request goes on.
"""
import socket
import sys
import time


def read_frame(sock):
    """One Modbus TCP frame: the MBAP header tells its length."""
    header = b""
    while len(header) < 6:
        chunk = sock.recv(6 - len(header))
        if not chunk:
            return None
        header += chunk
    length = int.from_bytes(header[4:6], "big")
    body = b""
    while len(body) < length:
        chunk = sock.recv(length - len(body))
        if not chunk:
            return None
        body += chunk
    return header + body


def starting_address(request):
    """The two bytes after the MBAP header and the function code."""
    return int.from_bytes(request[8:10], "big")


def log_request(log, address):
    if log:
        with open(log, "a") as out:
            out.write("%d\n" % address)


def reheader(reply, number):
    """Spoils one field of the MBAP header or the byte count, by the reply's number."""
    fault = number % 4
    if fault == 1:
        return reply[:2] + b"\x00\x01" + reply[4:]
    if fault == 2:
        length = int.from_bytes(reply[4:6], "big") + 1
        return reply[:4] + length.to_bytes(2, "big") + reply[6:]
    if fault == 3:
        return reply[:8] + bytes([(reply[8] + 1) % 256]) + reply[9:]
    return reply


def serve(client, slave, mode, log):
    previous = None
    replies = 0
    while True:
        request = read_frame(client)
        if request is None:
            break
        address = starting_address(request)
        log_request(log, address)
        if mode == "mute=%d" % address:
            continue
        slave.sendall(request)
        reply = read_frame(slave)
        if reply is None:
            break
        replies += 1
        if mode == "cut" and replies == 4:
            client.sendall(reply[:5])
            break
        if mode == "split":
            for byte in reply:
                client.sendall(bytes([byte]))
                time.sleep(0.02)
            continue
        if mode == "stale" and previous is not None:
            client.sendall(previous)
        if mode == "readdress":
            reply = reply[:6] + bytes([(reply[6] + 1) % 256]) + reply[7:]
        if mode == "reheader":
            reply = reheader(reply, replies)
        if mode == "reecho" and reply[7] == 0x10:
            count = int.from_bytes(reply[10:12], "big") + 1
            reply = reply[:10] + count.to_bytes(2, "big")
        client.sendall(reply)
        previous = reply
        if mode == "drop" and replies == 3:
            break


def main():
    listen_port, slave_port, mode = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    log = sys.argv[4] if len(sys.argv) > 4 else None
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", listen_port))
    server.listen(1)
    while True:
        client, _ = server.accept()
        with client, socket.create_connection(("127.0.0.1", slave_port)) as slave:
            try:
                serve(client, slave, mode, log)
            except ConnectionError:
                pass  # the station went away mid-reply (a stop): wait for its next connect


if __name__ == "__main__":
    main()
