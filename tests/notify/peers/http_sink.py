#!/usr/bin/python3
"""A web receiver on loopback that keeps each POST it takes as a file.

http_sink.py PORT FOLDER [STATUS]

Each request becomes FOLDER/NNNN.req (written whole, then renamed): the request's header
lines as received, an empty line and the body. It answers STATUS (default 200) with the
body "refused by test" when STATUS is 400 or above. Runs until it is terminated.
"""
import http.server
import os
import sys

port, folder = int(sys.argv[1]), sys.argv[2]
status = int(sys.argv[3]) if len(sys.argv) > 3 else 200
count = 0


class Keeper(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global count
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        count += 1
        name = os.path.join(folder, "%04d.req" % count)
        with open(name + ".part", "wb") as out:
            out.write(str(self.headers).encode("latin-1"))
            out.write(b"\n")
            out.write(body)
        os.rename(name + ".part", name)
        reply = b"refused by test" if status >= 400 else b""
        self.send_response(status)
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


http.server.HTTPServer(("127.0.0.1", port), Keeper).serve_forever()
