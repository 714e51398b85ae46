#!/usr/bin/python3
"""A mail server on loopback that keeps each message it takes as a file.

smtp_sink.py PORT FOLDER [--starttls CERT KEY] [--login USER PASSWORD] [--plain-login]

--plain-login takes the login without TLS too.

Each message becomes FOLDER/NNNN.eml (written whole, then renamed): the envelope's
"MAIL FROM" and "RCPT TO" lines, an empty line, and the message as received. Runs until
it is terminated.
"""
import os
import signal
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Keeper:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        name = os.path.join(self.folder, "%04d.eml" % self.count)
        with open(name + ".part", "wb") as out:
            out.write(b"MAIL FROM:" + envelope.mail_from.encode() + b"\n")
            out.write(b"RCPT TO:" + ",".join(envelope.rcpt_tos).encode() + b"\n\n")
            out.write(envelope.original_content)
        os.rename(name + ".part", name)
        return "250 OK"


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    args = sys.argv[3:]
    options = {}
    if "--starttls" in args:
        at = args.index("--starttls")
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args[at + 1], args[at + 2])
        options.update(tls_context=context, require_starttls=True)
    if "--login" in args:
        at = args.index("--login")
        user, password = args[at + 1].encode(), args[at + 2].encode()

        def authenticator(server, session, envelope, mechanism, data):
            ok = data.login == user and data.password == password
            return AuthResult(success=ok, handled=False)

        options.update(authenticator=authenticator, auth_required=True)
        if "--plain-login" in args:
            options.update(auth_require_tls=False)
    controller = Controller(Keeper(folder), hostname="127.0.0.1", port=port, **options)
    controller.start()
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    done.wait()
    controller.stop()


main()
