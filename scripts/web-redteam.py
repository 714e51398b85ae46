#!/usr/bin/env python3
"""Hostile clients against the station's web server, side by side with nginx serving the same
documents on loopback, in one run of about four minutes. Prints a markdown table of what
each attack did to a normal client and to the server, with how many attacker connections
each server answered, closed at once or left waiting.

    scripts/web-redteam.py BUILD_DIR [--attack-seconds S] [--history-days D] [--keep]

BUILD_DIR holds src/app/halvane and tools/sim/halvane-sim (e.g. build/release); nginx is
/usr/sbin/nginx. The demo project is copied to a temporary data root with what the attacks
need: a 10 MB document, history day files (35 days of a line a second), small numbered
documents for pipelining, and the first screen made 1920x1080. The station starts three
times: as it comes (KeepAlive off), with that screen made 8192x8192, and with KeepAlive on
for the keep-alive rows. Attackers connect from 127.0.0.2, one client address as a plant's
misbehaving machine would be (from 127.0.1.1-20 where an attack is spread over many); the
normal client connects from 127.0.0.1.
"""
import argparse
import datetime
import importlib.util
import multiprocessing
import os
import re
import resource
import selectors
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import traceback

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NGINX = "/usr/sbin/nginx"
ATTACKER = "127.0.0.2"
NORMAL = "127.0.0.1"
WINDOW = 2048  # a slow reader's receive buffer, and what it reads at a time
TINY = "/tiny.txt"
BIG = "/big-10m.bin"
BIG_BYTES = 10 * 1024 * 1024
PIPELINE_MAX = 1000
IP_BIND_ADDRESS_NO_PORT = getattr(socket, "IP_BIND_ADDRESS_NO_PORT", 24)


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", file=sys.stderr, flush=True)


def free_port():
    with socket.socket() as s:
        s.bind((NORMAL, 0))
        return s.getsockname()[1]


def open_socket(source, rcvbuf=None):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if rcvbuf:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
    # The port is chosen at connect, so that thousands of connections from one address to
    # several servers do not run out of ports.
    s.setsockopt(socket.IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, 1)
    s.bind((source, 0))
    return s


def connect(port, source=NORMAL, timeout=10.0, rcvbuf=None):
    s = open_socket(source, rcvbuf)
    s.settimeout(timeout)
    try:
        s.connect((NORMAL, port))
    except OSError:
        s.close()
        raise
    return s


def get(path, extra=""):
    return f"GET {path} HTTP/1.1\r\nHost: localhost\r\n{extra}\r\n".encode()


# ---------------------------------------------------------------------------------------
# Reading replies


class Closed(Exception):
    pass


class Reply:
    def __init__(self, status_line, headers, body):
        self.status_line = status_line
        self.headers = headers
        self.body = body
        parts = status_line.split(" ", 2)
        self.status = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0

    def header(self, name):
        return self.headers.get(name.lower(), "")


class ReplyReader:
    """Replies one after another from a socket, each with its body (Content-Length, chunked
    or up to the end); interim 1xx replies are replies of their own."""

    def __init__(self, sock):
        self.sock = sock
        self.buffer = bytearray()

    def _fill(self, deadline):
        left = deadline - time.monotonic()
        if left <= 0:
            raise socket.timeout("no reply in time")
        self.sock.settimeout(left)
        data = self.sock.recv(1 << 20)
        if not data:
            raise Closed()
        self.buffer += data

    def _take_until(self, marker, deadline):
        while marker not in self.buffer:
            self._fill(deadline)
        return self._take(self.buffer.index(marker) + len(marker), deadline)

    def _take(self, count, deadline):
        while len(self.buffer) < count:
            self._fill(deadline)
        taken = bytes(self.buffer[:count])
        del self.buffer[:count]
        return taken

    def next(self, deadline, head_request=False):
        head = self._take_until(b"\r\n\r\n", deadline).decode("latin-1")
        lines = head.split("\r\n")
        headers = {}
        for line in lines[1:]:
            if ":" in line:
                name, value = line.split(":", 1)
                headers[name.strip().lower()] = value.strip()
        reply = Reply(lines[0], headers, b"")
        if head_request or 100 <= reply.status < 200 or reply.status in (204, 304):
            return reply
        if "chunked" in reply.header("transfer-encoding").lower():
            body = b""
            while True:
                size = int(self._take_until(b"\r\n", deadline).split(b";")[0], 16)
                if size == 0:
                    self._take_until(b"\r\n", deadline)
                    break
                body += self._take(size, deadline)
                self._take(2, deadline)
            reply.body = body
        elif reply.header("content-length"):
            reply.body = self._take(int(reply.header("content-length")), deadline)
        else:
            try:
                while True:
                    self._fill(deadline)
            except Closed:
                pass
            reply.body = bytes(self.buffer)
            self.buffer.clear()
        return reply


def fetch(port, path, source=NORMAL, timeout=30.0, method="GET"):
    """(status, seconds, body length) of one request on a new connection; raises on any
    failure."""
    start = time.monotonic()
    deadline = start + timeout
    with connect(port, source, timeout) as s:
        s.sendall(f"{method} {path} HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n"
                  .encode())
        reader = ReplyReader(s)
        reply = reader.next(deadline, method == "HEAD")
        while 100 <= reply.status < 200:
            reply = reader.next(deadline, method == "HEAD")
    return reply.status, time.monotonic() - start, len(reply.body)


# ---------------------------------------------------------------------------------------
# Watching the server and a normal client


def proc_status(pid):
    values = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                name, _, value = line.partition(":")
                if name in ("VmRSS", "VmHWM"):
                    values[name] = int(value.split()[0]) * 1024
    except OSError:
        pass
    return values


def fd_count(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return 0


TCP_STATES = {"01": "established", "02": "syn-sent", "03": "syn-recv", "04": "fin-wait-1",
              "05": "fin-wait-2", "06": "time-wait", "07": "close", "08": "close-wait",
              "09": "last-ack", "0A": "listen", "0B": "closing"}


def server_sockets(port):
    """(peer port, TCP state, bytes queued to send) of the server's side of each connection
    on `port`, those not yet accepted included."""
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                lines = f.readlines()[1:]
        except OSError:
            continue
        for line in lines:
            fields = line.split()
            if int(fields[1].rsplit(":", 1)[1], 16) == port and fields[3] != "0A":
                yield (int(fields[2].rsplit(":", 1)[1], 16), TCP_STATES.get(fields[3], fields[3]),
                       int(fields[4].split(":")[0], 16))


def tcp_states(port):
    """The server's sockets on `port`, counted by TCP state."""
    counts = {}
    for _, state, _ in server_sockets(port):
        counts[state] = counts.get(state, 0) + 1
    return counts


def reset_peak(pid):
    """The resident peak (VmHWM) starts again from now."""
    try:
        with open(f"/proc/{pid}/clear_refs", "w") as f:
            f.write("5")
    except OSError:
        pass


class Sampler(threading.Thread):
    """Samples a process's open files and resident memory until stopped."""

    def __init__(self, pid, period=0.1):
        super().__init__(daemon=True)
        self.pid = pid
        self.period = period
        self.stopping = threading.Event()
        self.max_fds = 0
        self.max_rss = 0
        self.series = []  # (seconds, fds, resident bytes), one a second
        reset_peak(pid)
        self.base_rss = proc_status(pid).get("VmRSS", 0)

    def run(self):
        started = time.monotonic()
        while not self.stopping.is_set():
            fds = fd_count(self.pid)
            rss = proc_status(self.pid).get("VmRSS", 0)
            self.max_fds = max(self.max_fds, fds)
            self.max_rss = max(self.max_rss, rss)
            elapsed = time.monotonic() - started
            if elapsed >= len(self.series):
                self.series.append((elapsed, fds, rss))
            self.stopping.wait(self.period)

    def stop(self):
        self.stopping.set()
        self.join()
        self.hwm = proc_status(self.pid).get("VmHWM", 0)
        return self


class Prober(threading.Thread):
    """A normal client: requests a tiny document on a new connection every `period`
    seconds and keeps each one's time, or its failure."""

    def __init__(self, port, period, path=TINY, timeout=30.0):
        super().__init__(daemon=True)
        self.port, self.period, self.path, self.timeout = port, period, path, timeout
        self.stopping = threading.Event()
        self.times = []
        self.failures = []

    def run(self):
        while not self.stopping.is_set():
            start = time.monotonic()
            try:
                status, seconds, _ = fetch(self.port, self.path, timeout=self.timeout)
                if status == 200:
                    self.times.append(seconds)
                else:
                    self.failures.append(f"status {status}")
            except Exception as e:  # every failure counts, whatever it is
                self.failures.append(type(e).__name__)
            self.stopping.wait(max(0.0, self.period - (time.monotonic() - start)))

    def stop(self):
        self.stopping.set()
        self.join()
        return self

    def total(self):
        return len(self.times) + len(self.failures)

    def worst(self):
        return max(self.times) if self.times else float("nan")

    def summary(self):
        what = "template pages" if self.path == "/" else "probes"
        text = f"{self.total()} {what}, worst {self.worst():.2f} s"
        if self.times:
            median = statistics.median(self.times)
            text += f", median {median * 1000:.0f} ms" if median < 1 else f", median {median:.1f} s"
        slow = sum(1 for t in self.times if t > 1.0)
        if slow:
            text += f", {slow} over 1 s"
        if self.failures:
            kinds = sorted(set(self.failures))
            text += f", {len(self.failures)} failed ({', '.join(kinds)})"
        return text


# ---------------------------------------------------------------------------------------
# Attackers (each in a process of its own, so that the normal client's times are its own)


def slow_readers(port, path, sources, count, seconds, period, results):
    """`count` connections spread over `sources`, each asking for `path` once and then
    reading WINDOW bytes every `period` seconds (until its first bytes, every tenth of a
    second, to time them); none closes until the end. Before closing them, reports and waits
    for a word from `results`, so that the server's side can be looked at."""
    resource.setrlimit(resource.RLIMIT_NOFILE, resource.getrlimit(resource.RLIMIT_NOFILE)[::-1])
    conns = []  # [socket, bytes read, seconds to the first byte, to the end, next read]
    failed = 0
    started = time.monotonic()
    for i in range(count):
        try:
            s = connect(port, sources[i % len(sources)], 5.0, rcvbuf=WINDOW)
            s.sendall(get(path))
            s.setblocking(False)
            conns.append([s, 0, None, None, 0.0])
        except OSError:
            failed += 1
    results.send("connected")
    while time.monotonic() - started < seconds:
        for conn in conns:
            now = time.monotonic()
            if conn[3] is not None or now < conn[4]:
                continue
            try:
                data = conn[0].recv(WINDOW)
                if not data:
                    conn[3] = now - started
                    continue
                conn[1] += len(data)
                if conn[2] is None:
                    conn[2] = now - started
                conn[4] = now + period
            except BlockingIOError:
                pass
            except OSError:
                conn[3] = now - started
        time.sleep(0.1)
    firsts = sorted(c[2] for c in conns if c[2] is not None)
    results.send({
        "answered": len(firsts),
        "refused": failed + sum(1 for c in conns if c[1] == 0 and c[3] is not None),
        "waiting": sum(1 for c in conns if c[1] == 0 and c[3] is None),
        "ended": sum(1 for c in conns if c[1] > 0 and c[3] is not None),
        "first byte worst": firsts[-1] if firsts else None,
        "first byte median": statistics.median(firsts) if firsts else None,
    })
    results.recv()
    for conn in conns:
        conn[0].close()
    results.send("closed")


def never_closing(port, source, rate, seconds, results):
    """`rate` connections a second for `seconds`: each asks for the tiny document, takes
    the reply, and stays open (never closed) until the end."""
    resource.setrlimit(resource.RLIMIT_NOFILE, resource.getrlimit(resource.RLIMIT_NOFILE)[::-1])
    sel = selectors.DefaultSelector()
    held = []
    stats = {"opened": 0, "answered": 0, "refused": 0, "connect failed": 0}
    request = get(TINY)

    def on_event(s, state, mask):
        if state["phase"] == "connecting":
            if s.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR):
                stats["connect failed"] += 1
                sel.unregister(s)
                return
            s.send(request)
            state["phase"] = "reading"
            sel.modify(s, selectors.EVENT_READ, state)
            return
        try:
            data = s.recv(65536)
        except OSError:
            data = b""
        if data:
            if state["bytes"] == 0:
                stats["answered"] += 1
            state["bytes"] += len(data)
            return
        if state["bytes"] == 0:
            stats["refused"] += 1
        sel.unregister(s)  # the server ended it; this side still does not close

    started = time.monotonic()
    results.send("connected")
    opened = 0
    while True:
        elapsed = time.monotonic() - started
        if elapsed >= seconds:
            break
        due = min(int(elapsed * rate) + 1, int(seconds * rate))
        while opened < due:
            s = open_socket(source)
            s.setblocking(False)
            held.append(s)
            opened += 1
            try:
                s.connect((NORMAL, port))
            except BlockingIOError:
                pass
            except OSError:
                stats["connect failed"] += 1
                continue
            sel.register(s, selectors.EVENT_WRITE, {"phase": "connecting", "bytes": 0})
        for key, mask in sel.select(timeout=0.002):
            on_event(key.fileobj, key.data, mask)
    stats["opened"] = opened
    stats["seconds"] = time.monotonic() - started
    for key, mask in sel.select(timeout=0.5):  # replies still on their way
        on_event(key.fileobj, key.data, mask)
    for s in held:
        s.close()
    results.send(stats)


def start_attack(target, args):
    """Starts an attacker process; returns it and its pipe once it has connected."""
    ctx = multiprocessing.get_context("spawn")
    mine, theirs = ctx.Pipe()
    process = ctx.Process(target=target, args=args + (theirs,), daemon=True)
    process.start()
    attack_word(mine, 60)
    return process, mine


def attack_word(pipe, seconds):
    """The attacker's next report."""
    if not pipe.poll(seconds + 60):
        raise RuntimeError("the attacker stopped answering")
    return pipe.recv()


# ---------------------------------------------------------------------------------------
# The servers


class Station:
    def __init__(self, build, root, sim_port):
        self.build, self.root, self.sim_port = build, root, sim_port
        self.process = None
        # Each start begins from the project as copied (a station saves its screens).
        self.config = os.path.join(root, "cfg", "config.cfg")
        self.screen = os.path.join(root, "cfg", "screen.1000.cfg")
        self.pristine = {path: read_text(path) for path in (self.config, self.screen)}

    def start(self, web_port, keep_alive=False, screen_size=(1920, 1080)):
        text = self.pristine[self.config]
        text = re.sub(r"(?m)^Port=8088$", f"Port={web_port}", text)
        text = re.sub(r"(?m)^port=1502$", f"port={self.sim_port}", text)
        text = text.replace("[WebServer]\n", f"[WebServer]\nKeepAlive={int(keep_alive)}\n", 1)
        write_text(self.config, text)
        text = self.pristine[self.screen]
        text = re.sub(r"(?m)^Width=\d+", f"Width={screen_size[0]}", text, count=1)
        text = re.sub(r"(?m)^Height=\d+", f"Height={screen_size[1]}", text, count=1)
        write_text(self.screen, text)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.port = web_port
        self.process = subprocess.Popen(
            [os.path.join(self.build, "src", "app", "halvane"), "--data-root", self.root,
             "-runtime"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: fetch(web_port, TINY, timeout=2)[0] == 200, "the station's web server")
        # The picture exists once the screen has painted.
        picture = "/screen-image-0.bmp"
        wait_for(lambda: fetch(web_port, picture, timeout=30, method="HEAD")[0] == 200,
                 "the station's first screen picture", 60)
        self.pid = self.process.pid

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def check(self, what):
        """Logs `what` is next; raises when the station has ended by itself."""
        if self.process is not None and self.process.poll() is not None:
            raise RuntimeError(f"the station ended (exit status {self.process.returncode}) "
                               f"before: {what}")
        log(what)


class Nginx:
    """One worker; the plain port closes after each reply, as the station does by default,
    and the kept port keeps connections as long as the station does (10 s)."""

    def __init__(self, root, work):
        self.port = free_port()
        self.kept_port = free_port()
        folder = os.path.join(work, "nginx")
        os.makedirs(folder)
        conf = os.path.join(folder, "nginx.conf")
        with open(conf, "w") as f:
            f.write(f"""worker_processes 1;
worker_rlimit_nofile 8192;
pid {folder}/nginx.pid;
error_log {folder}/error.log;
events {{ worker_connections 4096; }}
http {{
  access_log off;
  server {{
    listen 127.0.0.1:{self.port};
    keepalive_timeout 0;
    root {root}/http;
  }}
  server {{
    listen 127.0.0.1:{self.kept_port};
    keepalive_timeout 10s;
    root {root}/http;
  }}
}}
""")
        self.process = subprocess.Popen([NGINX, "-c", conf, "-p", folder, "-g", "daemon off;"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: fetch(self.port, TINY, timeout=2)[0] == 200, "nginx")
        self.pid = self.worker()

    def worker(self):
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open(f"/proc/{entry}/stat") as f:
                        if int(f.read().rsplit(")", 1)[1].split()[1]) == self.process.pid:
                            return int(entry)
                except (OSError, IndexError, ValueError):
                    continue
        return self.process.pid


def read_text(path):
    with open(path, encoding="latin-1", newline="") as f:
        return f.read()


def write_text(path, text):
    with open(path, "w", encoding="latin-1", newline="") as f:
        f.write(text)


def wait_for(ready, what, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            if ready():
                return
        except Exception:  # not up yet
            pass
        time.sleep(0.2)
    raise RuntimeError(f"{what} did not come up within {seconds} s")


def settle(pid, base_fds, seconds=15):
    """Waits until the server has let go of the previous attack's connections."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and fd_count(pid) > base_fds + 4:
        time.sleep(0.2)


# ---------------------------------------------------------------------------------------
# The data root


def load_history_writer():
    spec = importlib.util.spec_from_file_location(
        "make_demo_history", os.path.join(REPO, "scripts", "make-demo-history.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def write_history(root, days, interval):
    """Day files of the `days` days up to today, a line every `interval` seconds, for every
    tag, in the station's format. Returns the number of tags and of lines."""
    writer = load_history_writer()
    tags, separator, _ = writer.read_project(root)
    header = '"Timestamp"' + "".join(f'{separator}"{name}[{unit}]"' for name, unit in tags)
    values = [separator + separator.join(f"{(i * 37 + k) % 1000 / 10:.1f}"
                                         for i in range(len(tags)))
              for k in range(7)]
    midnight = datetime.datetime(2000, 1, 1)
    times = [(midnight + datetime.timedelta(seconds=n)).strftime(" %H:%M:%S")
             for n in range(0, 86400, interval)]
    folder = os.path.join(root, "history")
    os.makedirs(folder, exist_ok=True)
    today = datetime.date.today()
    for back in range(days):
        day = today - datetime.timedelta(days=back)
        date = writer.stamp(datetime.datetime.combine(day, datetime.time()))
        lines = [header, date + values[0]]  # midnight is the date alone
        lines += [date + at + values[n % 7] for n, at in enumerate(times[1:], 1)]
        with open(os.path.join(folder, day.strftime("log%Y%m%d.csv")), "w", encoding="latin-1",
                  newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")
    return len(tags), days * len(times)


def keep_history(root):
    """The station removes no day file, however old."""
    config = os.path.join(root, "cfg", "config.cfg")
    write_text(config, re.sub(r"(?m)^Log\.Retention=\d+$", "Log.Retention=0", read_text(config)))


def prepare_root(work, history_days, history_interval):
    root = os.path.join(work, "root")
    shutil.copytree(os.path.join(REPO, "examples", "demo"), root)
    http = os.path.join(root, "http")
    with open(os.path.join(http, TINY[1:]), "w") as f:
        f.write("ok\n")
    with open(os.path.join(http, BIG[1:]), "wb") as f:
        f.write(os.urandom(BIG_BYTES))
    os.makedirs(os.path.join(http, "pipe"))
    for i in range(PIPELINE_MAX):
        with open(os.path.join(http, "pipe", f"{i}.txt"), "w") as f:
            f.write(f"{i}\n")
    keep_history(root)
    tags, lines = write_history(root, history_days, history_interval)
    for folder, _, _ in os.walk(work):  # nginx's worker runs as an unprivileged user
        os.chmod(folder, 0o755)
    os.chmod(work, 0o755)
    return root, tags, lines


# ---------------------------------------------------------------------------------------
# The attacks


def slow_reader_attack(server_pid, port, path, sources, count, seconds, page_probe=False):
    """The attack's figures, the server's sampled files and memory, the normal client's
    tiny documents (and template pages when `page_probe`)."""
    base_fds = fd_count(server_pid)
    sampler = Sampler(server_pid)
    sampler.start()
    process, pipe = start_attack(slow_readers, (port, path, sources, count, seconds, 1.0))
    probers = [Prober(port, 0.25)] + ([Prober(port, 0.5, "/")] if page_probe else [])
    for prober in probers:
        prober.start()
    stats = attack_word(pipe, seconds)
    stats["server sockets"] = tcp_states(port)
    pipe.send("close")
    attack_word(pipe, 0)
    process.join()
    for prober in probers:
        prober.stop()
    sampler.stop()
    settle(server_pid, base_fds)
    return stats, sampler, probers


def steady_reader(port, seconds, results, chunk=8192, period=0.1):
    """A client with an ordinary receive buffer that reads the 10 MB document at a steady
    chunk/period bytes a second; after `seconds`, what it has read and how the server's side
    of its connection stands (fin-wait-1: closed by the server with the rest unsent)."""
    with connect(port) as s:
        s.sendall(get(BIG))
        s.settimeout(period)
        started, read = time.monotonic(), 0
        while time.monotonic() - started < seconds:
            try:
                data = s.recv(chunk)
            except (socket.timeout, TimeoutError):
                continue
            if not data:
                break
            read += len(data)
            time.sleep(period)
        peer = s.getsockname()[1]
        side = [(state, queued) for p, state, queued in server_sockets(port) if p == peer]
        results[port] = (read, time.monotonic() - started, side[0] if side else ("gone", 0))


def steady_cell(result):
    read, seconds, (state, queued) = result
    text = f"read {mb(read)} in {seconds:.0f} s; the server's side: {state}"
    if state == "fin-wait-1":
        text += (f" — **closed by the server** with {mb(queued)} still queued: the reply ends "
                 f"after about {mb(read + queued)} of {mb(BIG_BYTES)}")
    return text


def never_close_attack(server_pid, port, rate, seconds):
    base_fds = fd_count(server_pid)
    sampler = Sampler(server_pid)
    sampler.start()
    prober = Prober(port, 0.02, timeout=5.0)
    process, pipe = start_attack(never_closing, (port, ATTACKER, rate, seconds))
    prober.start()
    stats = attack_word(pipe, seconds)
    process.join()
    prober.stop()
    sampler.stop()
    settle(server_pid, base_fds)
    return stats, sampler, prober


def dropped_history(pid, port, history_path, sources, linger):
    """40 clients ask for the history and close (at once, or all together after `linger`
    seconds); then a normal client asks for a tiny document, the template page and the same
    history. Describes their times and the station's CPU time over it all."""
    cpu = cpu_seconds(pid)
    held = []
    for i in range(40):
        s = connect(port, sources[i % len(sources)])
        s.sendall(get(history_path))
        if linger:
            held.append(s)
        else:
            s.close()
    time.sleep(linger)
    for s in held:
        s.close()
    tiny = fetch(port, TINY)
    page = fetch(port, "/")
    after = fetch(port, history_path, timeout=60)
    cpu = cpu_seconds(pid) - cpu
    return (f"tiny document answered in **{tiny[1]:.3f} s** right after, the template page in "
            f"{page[1]:.3f} s; the history afterwards **{after[0]} in {after[1]:.2f} s** "
            f"({after[2]} bytes); the station's CPU time over it all: {cpu:.1f} s")


def pipelined(port, count, sequential=False):
    """Asks for pipe/0.txt .. pipe/<count-1>.txt on one connection, all at once (or each
    after the previous reply); the number answered correctly in order, and how it ended."""
    requests = [get(f"/pipe/{i}.txt") for i in range(count)]
    answered = 0
    end = "kept open"
    with connect(port) as s:
        reader = ReplyReader(s)
        deadline = time.monotonic() + 20
        if not sequential:
            s.sendall(b"".join(requests))
        for i in range(count):
            if sequential:
                try:
                    s.sendall(requests[i])
                except OSError:
                    end = "closed"
                    break
            try:
                reply = reader.next(deadline)
            except Closed:
                end = "closed"
                break
            except (socket.timeout, TimeoutError):
                end = "no more replies within 20 s"
                break
            except OSError as e:
                end = type(e).__name__
                break
            if reply.status != 200 or reply.body != f"{i}\n".encode():
                end = f"reply {i + 1} out of order or wrong: {reply.status_line}"
                break
            answered += 1
            if reply.header("connection").lower() == "close":
                end = "Connection: close"
                if i + 1 < count:
                    break
    return answered, end


def read_replies(reader, seen, start, wait, until_interim):
    """Notes each reply that comes within `wait` seconds, up to a final one (or the first
    interim one when `until_interim`). Returns "final", "interim", "closed" or "silent"."""
    deadline = time.monotonic() + wait
    while True:
        try:
            reply = reader.next(deadline)
        except Closed:
            seen.append(f"closed at {time.monotonic() - start:.2f} s")
            return "closed"
        except (socket.timeout, TimeoutError):
            seen.append(f"nothing within {wait:.0f} s")
            return "silent"
        except OSError as e:
            seen.append(f"{type(e).__name__} at {time.monotonic() - start:.2f} s")
            return "closed"
        seen.append(f"{reply.status_line.split(' ', 1)[-1]} at {time.monotonic() - start:.2f} s")
        if reply.status >= 200:
            return "final"
        if until_interim:
            return "interim"


def exchange(port, head, body, wait):
    """Sends `head`; with a `body`, waits up to `wait` seconds for an interim (or final)
    reply, then sends the body and reads the final reply. Describes what came back, e.g.
    "100 Continue at 0.00 s; (body sent); 200 OK at 0.01 s"."""
    seen = []
    start = time.monotonic()
    with connect(port) as s:
        reader = ReplyReader(s)
        s.sendall(head)
        end = read_replies(reader, seen, start, wait, until_interim=body is not None)
        if body is not None and end in ("interim", "silent"):
            s.sendall(body)
            seen.append("body sent")
            read_replies(reader, seen, start, 5.0, until_interim=False)
    return "; ".join(seen)


PROTOCOL_PROBES = {
    "Expect: 100-continue (POST, 5-byte body)": (
        b"POST /tiny.txt HTTP/1.1\r\nHost: localhost\r\nContent-Length: 5\r\n"
        b"Expect: 100-continue\r\nConnection: close\r\n\r\n", b"hello", 3.0),
    "bare CR line ends": (
        b"GET /tiny.txt HTTP/1.1\rHost: localhost\rConnection: close\r\r", None, 12.0),
    "a bare CR inside a header line": (
        b"GET /tiny.txt HTTP/1.1\r\nHost: localhost\r\nX-A: a\rb\r\nConnection: close\r\n\r\n",
        None, 12.0),
    "a leading empty line": (
        b"\r\nGET /tiny.txt HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n", None, 12.0),
    "bare LF line ends": (
        b"GET /tiny.txt HTTP/1.1\nHost: localhost\nConnection: close\n\n", None, 12.0),
}


def protocol_probes(port):
    """Every probe at once (some wait for a timeout); name -> what came back."""
    results = {}

    def run(name, head, body, wait):
        try:
            results[name] = exchange(port, head, body, wait)
        except Exception as e:  # reported as it is
            results[name] = f"{type(e).__name__}: {e}"

    threads = [threading.Thread(target=run, args=(name,) + probe)
               for name, probe in PROTOCOL_PROBES.items()]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results


# ---------------------------------------------------------------------------------------


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def mb(value):
    return f"{value / 1e6:.1f} MB" if value < 1e7 else f"{value / 1e6:.0f} MB"


def memory_text(sampler):
    return (f"**VmHWM {mb(sampler.hwm)}** (sampled VmRSS peak {mb(sampler.max_rss)}; "
            f"{mb(sampler.base_rss)} before)")


def series_text(sampler, every=3):
    return ", ".join(f"{t:.0f} s: {fds} fds/{mb(rss)}" for t, fds, rss in sampler.series[::every])


def attackers_text(stats, count, sources):
    where = "from 127.0.0.2" if len(sources) == 1 else f"from {len(sources)} addresses"
    text = (f"{count} attackers {where}: {stats['answered']} answered, "
            f"{stats['refused']} closed at once, {stats['waiting']} never answered")
    if stats["ended"]:
        text += f", {stats['ended']} ended by the server while reading"
    if stats["first byte worst"] is not None:
        text += (f" (first byte after {stats['first byte median']:.1f} s median, "
                 f"{stats['first byte worst']:.1f} s worst)")
    states = ", ".join(f"{n} {state}" for state, n in sorted(stats["server sockets"].items()))
    return text + f"; server's sockets at the end: {states or 'none'}"


def clients_text(probers):
    return "; ".join(prober.summary() for prober in probers)


def never_close_text(stats, rate):
    return (f"{rate}/s asked: {stats['opened']} opened in {stats['seconds']:.1f} s, "
            f"{stats['answered']} answered, {stats['refused']} closed at once"
            + (f", {stats['connect failed']} could not connect" if stats["connect failed"] else ""))


def failed_percent(prober):
    total = prober.total()
    if not total:
        return "no probes"
    kinds = f" ({', '.join(sorted(set(prober.failures)))})" if prober.failures else ""
    return (f"**{100 * len(prober.failures) / total:.1f} %** ({len(prober.failures)} of {total})"
            f"{kinds} failed, worst {prober.worst():.2f} s")


def never_close_cell(result, rate):
    stats, sampler, prober = result
    return (f"{failed_percent(prober)}; fds peak {sampler.max_fds}; "
            f"{never_close_text(stats, rate)}")


def pipe_text(answers):
    return "; ".join(f"{n}: {a} answered in order ({end})" for n, (a, end) in answers.items())


SECTIONS = ("slow readers", "pictures", "never closing", "history", "keep-alive", "protocol")


class Run:
    """The attacks on the three starts of the station, and their table."""

    def __init__(self, args):
        self.args = args
        self.seconds = args.attack_seconds
        self.rows = {section: [] for section in SECTIONS}
        self.notes = []
        self.children = []
        self.station = None

    def prepare(self, work):
        args = self.args
        log("preparing the data root")
        self.root, self.tag_count, lines = prepare_root(work, args.history_days,
                                                        args.history_interval)
        self.notes.append(f"history: {lines} lines of {self.tag_count} tags in "
                          f"{args.history_days} day files")
        self.sim_port = free_port()
        self.children.append(subprocess.Popen(
            [os.path.join(args.build, "tools", "sim", "halvane-sim"), "--tcp",
             f"{NORMAL}:{self.sim_port}", "--units", "1,2"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.nginx = Nginx(self.root, work)
        self.children.append(self.nginx.process)
        self.station = Station(args.build, self.root, self.sim_port)

    def add(self, section, attack, station, nginx="—"):
        self.rows[section].append((attack, station, nginx))

    def start(self, what, **options):
        self.station.check(f"starting the station ({what})")
        self.station.start(free_port(), **options)
        time.sleep(1)
        self.notes.append(f"station at rest ({what}): {fd_count(self.station.pid)} fds, "
                          f"{mb(proc_status(self.station.pid).get('VmRSS', 0))} resident")

    def stop(self):
        self.station.check("stopping the station")
        self.station.stop()

    def slow_cell(self, result, count, sources, memory=False):
        stats, sampler, probers = result
        head = memory_text(sampler) + "; " if memory else ""
        return (f"{head}normal client: {clients_text(probers)}; fds peak {sampler.max_fds}; "
                f"{attackers_text(stats, count, sources)}")

    def as_it_comes(self):
        station, nginx, seconds = self.station, self.nginx, self.seconds
        self.start("1920x1080 screen, KeepAlive off")
        port, rest_fds = station.port, fd_count(station.pid)
        one, spread = [ATTACKER], [f"127.0.1.{i}" for i in range(1, 21)]  # 30 each
        station.check("600 slow readers of the 10 MB document from one address: station")
        on_station = slow_reader_attack(station.pid, port, BIG, one, 600, seconds)
        station.check("600 slow readers of the 10 MB document from one address: nginx")
        on_nginx = slow_reader_attack(nginx.pid, nginx.port, BIG, one, 600, seconds)
        self.add("slow readers", "600 clients that read a 10 MB reply very slowly (2 KB "
                 "window), one address", self.slow_cell(on_station, 600, one),
                 self.slow_cell(on_nginx, 600, one))
        station.check("600 slow readers of the 10 MB document from 20 addresses: station")
        result = slow_reader_attack(station.pid, port, BIG, spread, 600, seconds)
        self.add("slow readers", "the same, spread over 20 addresses (30 each)",
                 self.slow_cell(result, 600, spread))
        self.notes.append(f"10 MB readers from 20 addresses, the station every 3 s: "
                          f"{series_text(result[1])}")
        station.check("one client reading the 10 MB document at 80 KB/s, station and nginx")
        steady = {}
        readers = [threading.Thread(target=steady_reader, args=(p, 20, steady))
                   for p in (port, nginx.port)]
        for reader in readers:
            reader.start()
        for reader in readers:
            reader.join()
        self.add("slow readers", "one ordinary client reading the 10 MB document steadily at "
                 "80 KB/s (8 KB every 0.1 s), after 20 s", steady_cell(steady[port]),
                 steady_cell(steady[nginx.port]))
        for sources, label in ((one, "one address"), (spread, "20 addresses")):
            station.check(f"600 slow readers of the 1920x1080 picture from {label}")
            result = slow_reader_attack(station.pid, port, "/screen-image-0.bmp", sources, 600,
                                        seconds, page_probe=True)
            self.add("pictures", f"600 slow readers of a 1920×1080 screen picture, {label}",
                     self.slow_cell(result, 600, sources, memory=True))
        for rate in (400, 1000):
            station.check(f"never-closing clients, {rate}/s: station")
            on_station = never_close_attack(station.pid, port, rate, 10)
            station.check(f"never-closing clients, {rate}/s: nginx")
            on_nginx = never_close_attack(nginx.pid, nginx.port, rate, 10)
            self.add("never closing", f"clients that take the reply but never close, {rate}/s "
                     "for 10 s", never_close_cell(on_station, rate),
                     never_close_cell(on_nginx, rate))
        self.history(rest_fds)
        station.check("protocol probes and pipelining: station (KeepAlive off) and nginx")
        self.protocol = {"station": protocol_probes(port), "nginx": protocol_probes(nginx.port)}
        self.closed_pipelining = {n: pipelined(port, n) for n in (2, 10)}
        self.stop()

    def history(self, rest_fds):
        station, days = self.station, self.args.history_days
        today = datetime.date.today()
        first_day = today - datetime.timedelta(days=days - 1)
        tags = ",".join(str(i) for i in range(1, self.tag_count + 1))
        path = f"/history.csv?tags={tags}&from={first_day}T00:00:00&to={today}T23:59:59&points=1000"
        alone = fetch(station.port, path, timeout=60)
        self.notes.append(f"one history request alone ({days} days, all tags, points=1000): "
                          f"{alone[0]} in {alone[1]:.2f} s, {alone[2]} bytes")
        for label, sources, linger in (
                ("40 dropped `/history.csv` requests, each closed at once", [ATTACKER], 0.0),
                ("40 `/history.csv` requests from 2 addresses (20 each), all closed 0.5 s "
                 "after sending", [ATTACKER, "127.0.0.3"], 0.5)):
            station.check(label)
            settle(station.pid, rest_fds)
            self.add("history", label,
                     dropped_history(station.pid, station.port, path, sources, linger))

    def big_screen(self):
        seconds = 2 * self.seconds  # every reader is answered one after another
        self.start("8192x8192 screen", screen_size=(8192, 8192))
        self.station.check("20 slow readers of the 8192x8192 picture")
        result = slow_reader_attack(self.station.pid, self.station.port, "/screen-image-0.bmp",
                                    [ATTACKER], 20, seconds, page_probe=True)
        self.add("pictures", f"20 slow readers of an 8192×8192 screen picture ({seconds:.0f} s)",
                 self.slow_cell(result, 20, [ATTACKER], memory=True))
        self.notes.append(f"8192x8192 picture, 20 readers, the station every 3 s: "
                          f"{series_text(result[1])}")
        self.stop()

    def kept(self):
        station, nginx = self.station, self.nginx
        self.start("KeepAlive on", keep_alive=True)
        station.check("pipelining and protocol probes: station (KeepAlive on) and nginx")
        counts = (2, 10, PIPELINE_MAX)
        on_station = {n: pipelined(station.port, n) for n in counts}
        on_nginx = {n: pipelined(nginx.kept_port, n) for n in counts}
        self.add("keep-alive", "keep-alive: 2, 10, 1000 pipelined requests on one connection",
                 f"KeepAlive=1 — {pipe_text(on_station)}. KeepAlive=0 — "
                 f"{pipe_text(self.closed_pipelining)}", pipe_text(on_nginx))
        answered, end = pipelined(station.port, 3, sequential=True)
        nginx_answered, nginx_end = pipelined(nginx.kept_port, 3, sequential=True)
        self.add("keep-alive", "keep-alive: 3 requests one after another on one connection",
                 f"KeepAlive=1 — {answered} answered ({end})",
                 f"{nginx_answered} answered ({nginx_end})")
        kept_protocol = protocol_probes(station.port)
        for name in PROTOCOL_PROBES:
            text = self.protocol["station"][name]
            if kept_protocol[name] != text:
                text += f" (KeepAlive=1: {kept_protocol[name]})"
            self.add("protocol", name, text, self.protocol["nginx"][name])
        station.check("never-closing clients, 1000/s, connections kept: station")
        on_station = never_close_attack(station.pid, station.port, 1000, 10)
        station.check("never-closing clients, 1000/s, connections kept: nginx")
        on_nginx = never_close_attack(nginx.pid, nginx.kept_port, 1000, 10)
        self.add("never closing", "the same, 1000/s, KeepAlive=1 (nginx: keepalive_timeout 10s)",
                 never_close_cell(on_station, 1000), never_close_cell(on_nginx, 1000))
        self.stop()

    def end(self):
        if self.station:
            self.station.stop()
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(15)
                except subprocess.TimeoutExpired:
                    child.kill()

    def print_table(self, seconds_taken):
        print("| attack | station | nginx, same run |")
        print("|---|---|---|")
        for section in SECTIONS:
            for row in self.rows[section]:
                print("| " + " | ".join(cell.replace("|", "\\|") for cell in row) + " |")
        print()
        for note in self.notes:
            print(f"- {note}")
        print("- server's sockets: established includes connections not yet accepted; "
              "fin-wait-1 is one the server has closed while part of its reply was still queued")
        print(f"- limits: 512 connections, 32 per client address, 10 s idle; slow readers read "
              f"{WINDOW} bytes a second with SO_RCVBUF={WINDOW}; the run took "
              f"{seconds_taken:.0f} s; load average {os.getloadavg()[0]:.1f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build_dir")
    parser.add_argument("--attack-seconds", type=float, default=15)
    parser.add_argument("--history-days", type=int, default=35,
                        help="days of history up to today (default 35)")
    parser.add_argument("--history-interval", type=int, default=1,
                        help="seconds between two history lines (default 1)")
    parser.add_argument("--keep", action="store_true", help="keep the temporary data root")
    args = parser.parse_args()
    args.build = os.path.realpath(args.build_dir)
    resource.setrlimit(resource.RLIMIT_NOFILE, resource.getrlimit(resource.RLIMIT_NOFILE)[::-1])
    work = tempfile.mkdtemp(prefix="web-redteam-")
    began = time.monotonic()
    run = Run(args)
    failure = None
    try:
        run.prepare(work)
        run.as_it_comes()
        run.big_screen()
        run.kept()
    except Exception as e:  # the rows measured so far are still worth printing
        traceback.print_exc()
        failure = f"stopped early: {type(e).__name__}: {e}"
    finally:
        run.end()
        if args.keep:
            log(f"data root kept in {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    run.print_table(time.monotonic() - began)
    if failure:
        print(f"- {failure}")
        sys.exit(1)


if __name__ == "__main__":
    main()
