#!/usr/bin/env python3
"""Many PDCs on one `orvane serve`: 64 TCP clients and a multicast group on
the loopback interface at 60 frames/s, plus one client that stops reading.

    scripts/many-clients.py [--duration S] [--clients N] [--tool build/orvane]

Per client it counts the data frames the server sent in the run (from the
first frame it received to the stream's last), those received, lost (gaps in
the report sequence), reordered, and the send delay: arrival time minus the
frame's timestamp, less the smallest such difference seen by any receiver
(what remains is queueing and scheduling, not the model's fixed lag). The
slow client reads nothing after a few seconds; the server must drop it and
the others must not notice. Loopback only; not part of `make test`.
"""
import argparse
import os
import re
import selectors
import socket
import struct
import subprocess
import sys
import time

RATE = 60


def crc(data):
    value = 0xFFFF
    for byte in data:
        value ^= byte << 8
        for _ in range(8):
            value = ((value << 1) ^ 0x1021) if value & 0x8000 else value << 1
            value &= 0xFFFF
    return value


def command(code, idcode=1):
    body = struct.pack(">HHHIIH", 0xAA41, 18, idcode, 0, 0, code)
    body = body[:14] + struct.pack(">H", code)
    return body + struct.pack(">H", crc(body))


class Receiver:
    def __init__(self, name):
        self.name = name
        self.buffer = b""
        self.instants = []  # report index of every data frame, in arrival order
        self.delays = []  # arrival minus timestamp, s
        self.config_seen = False

    measure_from = 0.0

    def take(self, data, now):
        self.buffer += data
        while len(self.buffer) >= 4:
            size = struct.unpack(">H", self.buffer[2:4])[0]
            if size < 16 or len(self.buffer) < size:
                if size < 16:
                    raise RuntimeError(f"{self.name}: bad frame size {size}")
                return
            frame, self.buffer = self.buffer[:size], self.buffer[size:]
            self.frame(frame, now)

    def frame(self, frame, now):
        kind = (frame[1] >> 4) & 7
        if kind in (2, 3, 5):
            self.config_seen = True
            return
        if kind != 0:
            return
        soc = struct.unpack(">I", frame[6:10])[0]
        frac = struct.unpack(">I", b"\0" + frame[11:14])[0]
        stamp = soc + frac / 1e6
        self.instants.append(round(stamp * RATE))
        if now >= Receiver.measure_from:
            self.delays.append(now - stamp)


def percentile(values, q):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * (len(ordered) - 1) + 0.5))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--duration", type=float, default=600.0, help="seconds of streaming (default 600)")
    parser.add_argument("--clients", type=int, default=64)
    parser.add_argument("--tool", default=os.path.join(os.path.dirname(__file__), "..", "build", "orvane"))
    parser.add_argument("--port", type=int, default=47120)
    parser.add_argument("--group", default="239.255.47.12:47121")
    args = parser.parse_args()

    start = time.time()
    server = subprocess.Popen(
        [args.tool, "serve", "--in-process", "--build", "4k", "--signal", "steady", "--nominal-frequency", "60",
         "--report-rate", "60", "--start-time", str(int(start)), "--listen", f"127.0.0.1:{args.port}",
         "--udp-to", args.group, "--multicast-interface", "127.0.0.1", "--config-interval", "5"],
        stderr=subprocess.PIPE, text=True)
    line = server.stderr.readline()
    if "listening" not in line:
        sys.exit("server did not start: " + line)

    selector = selectors.DefaultSelector()
    receivers = []
    group_host, group_port = args.group.rsplit(":", 1)
    multicast = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    multicast.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    multicast.bind(("0.0.0.0", int(group_port)))
    membership = socket.inet_aton(group_host) + socket.inet_aton("127.0.0.1")
    multicast.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    multicast.setblocking(False)
    group = Receiver("multicast")
    selector.register(multicast, selectors.EVENT_READ, group)
    for k in range(args.clients):
        s = socket.create_connection(("127.0.0.1", args.port))
        s.sendall(command(5) + command(2))
        s.setblocking(False)
        r = Receiver(f"tcp{k + 1:02d}")
        receivers.append(r)
        selector.register(s, selectors.EVENT_READ, r)
    slow = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    slow.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    slow.connect(("127.0.0.1", args.port))
    slow.sendall(command(5) + command(2))
    slow_stops_reading = time.time() + 3

    # Delays count from a second after every client is in: the backlog of
    # the start (clients still connecting) is not the server's doing.
    measure_from = time.time() + 1
    Receiver.measure_from = measure_from
    deadline = time.time() + args.duration
    while time.time() < deadline:
        for key, _ in selector.select(timeout=0.05):
            r = key.data
            now = time.time()
            try:
                data = key.fileobj.recv(65536)
            except BlockingIOError:
                continue
            if not data:
                selector.unregister(key.fileobj)
                continue
            r.take(data, now) if r is not group else r.frame(data, now)
        if time.time() < slow_stops_reading:
            try:
                slow.setblocking(False)
                slow.recv(65536)
            except BlockingIOError:
                pass
    server.send_signal(2)
    err = server.communicate(timeout=30)[1]
    dropped = [l for l in err.splitlines() if "stopped reading" in l or "does not keep up" in l]

    everyone = receivers + [group]
    # Up to the last report every receiver still open had the chance to get.
    last = min(max(r.instants) for r in everyone if r.instants)
    # The model starts at 50 reports/s and takes the requested 60/s after its
    # first channel hand-over: the sequence counts from a second in.
    settled = min(r.instants[0] for r in everyone if r.instants) + RATE
    for r in everyone:
        r.instants = [i for i in r.instants if i >= settled]
    base = min(min(r.delays) for r in everyone if r.delays)
    print(f"{'client':<10} {'sent':>7} {'received':>8} {'lost':>5} {'reordered':>9} {'median ms':>9} {'p99 ms':>7}")
    worst = {"lost": 0, "reordered": 0, "p99": 0.0}
    for r in everyone:
        if not r.instants:
            print(f"{r.name:<10} nothing received")
            continue
        sent = last - r.instants[0] + 1
        missing = set(range(r.instants[0], last + 1)) - set(r.instants)
        lost = len(missing)
        if missing and os.environ.get("MANY_CLIENTS_DEBUG"):
            print(r.name, "missing", sorted(missing)[:5], file=sys.stderr)
        reordered = sum(1 for a, b in zip(r.instants, r.instants[1:]) if b < a)
        delays = [d - base for d in r.delays]
        median, p99 = percentile(delays, 0.5) * 1e3, percentile(delays, 0.99) * 1e3
        worst["lost"] = max(worst["lost"], lost)
        worst["reordered"] = max(worst["reordered"], reordered)
        worst["p99"] = max(worst["p99"], p99)
        print(f"{r.name:<10} {sent:>7} {len(r.instants):>8} {lost:>5} {reordered:>9} {median:>9.2f} {p99:>7.2f}")
    print(f"slow client: {dropped[0].split('orvane serve: ')[-1] if dropped else 'NOT dropped'}")
    print(f"worst: lost {worst['lost']}, reordered {worst['reordered']}, p99 send delay {worst['p99']:.2f} ms "
          f"over {args.duration:g} s, {len(receivers)} TCP clients and a multicast group")


if __name__ == "__main__":
    main()
