#!/usr/bin/env python3
"""A TCP proxy on loopback that adds latency: each direction forwards what
arrived `delay` seconds after it arrived, in order, as fast as the peer takes
it (no pacing, no bandwidth limit).

    tools/delay-proxy LISTEN_PORT TARGET_PORT [--delay-ms 25] [--strip-pipelining]

LISTEN_PORT 0 takes a free port; the port is printed once listening. Runs
until interrupted (Ctrl-C or SIGTERM). With --strip-pipelining the PIPELINING
line is taken out of the server's CAPA replies, which turns a server that
offers it into one that does not.

From Python, the same proxy runs in threads of the caller:

    with DelayProxy(target_port, delay=0.025) as proxy:
        connect to 127.0.0.1:proxy.port
"""
import argparse
import collections
import signal
import socket
import sys
import threading
import time

HOST = "127.0.0.1"
CHUNK = 65536


def unchanged(data):
    return data


class CapaFilter:
    """Takes the PIPELINING line out of CAPA replies.

    It watches the client's commands for CAPA and takes the next reply that
    starts afterwards as its answer, which holds for a client that does not
    pipeline before it has seen the capabilities. Outside a CAPA reply the
    server's data pass through as they come."""

    def __init__(self):
        self.lock = threading.Lock()
        self.client_partial = b""
        self.server_partial = b""
        self.pending = 0
        self.in_reply = False

    def observe_client(self, data):
        lines = (self.client_partial + data).split(b"\n")
        self.client_partial = lines.pop()
        capas = sum(1 for line in lines if line.strip().upper() == b"CAPA")
        with self.lock:
            self.pending += capas
        return data

    def filter_server(self, data):
        """What to forward of `data`; b"" (the end of the stream) gives back a held partial line."""
        with self.lock:
            if not data:
                data, self.server_partial = self.server_partial, b""
                return data
            data, self.server_partial = self.server_partial + data, b""
            kept = []
            while self.pending or self.in_reply:
                end = data.find(b"\n")
                if end < 0:
                    self.server_partial = data
                    return b"".join(kept)
                line, data = data[:end + 1], data[end + 1:]
                if self._keeps(line):
                    kept.append(line)
            return b"".join(kept) + data

    def _keeps(self, line):
        if not self.in_reply:
            if line.startswith((b"+OK", b"-ERR")):
                self.pending -= 1
                self.in_reply = line.startswith(b"+OK")
            return True
        if line.rstrip(b"\r\n") == b".":
            self.in_reply = False
            return True
        return line.strip().upper() != b"PIPELINING"


class Direction:
    """One way of a connection: a reader stamps each chunk with the time it is
    due and a writer sends it then; the end of the stream travels with the
    same delay. `transform` gets each chunk and b"" at the end, and returns
    what to forward."""

    def __init__(self, source, sink, delay, transform, connection):
        self.source, self.sink, self.delay = source, sink, delay
        self.transform, self.connection = transform, connection
        self.queue = collections.deque()
        self.ready = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        threading.Thread(target=self._write, daemon=True).start()

    def _read(self):
        while True:
            try:
                data = self.source.recv(CHUNK)
            except OSError:
                data = b""
            due = time.monotonic() + self.delay
            forwarded = self.transform(data)
            if forwarded:
                self._put(due, forwarded)
            if not data:
                self._put(due, None)
                return

    def _put(self, due, data):
        with self.ready:
            self.queue.append((due, data))
            self.ready.notify()

    def _write(self):
        try:
            while True:
                with self.ready:
                    self.ready.wait_for(lambda: self.queue)
                    due, data = self.queue.popleft()
                time.sleep(max(0.0, due - time.monotonic()))
                if data is None:
                    self.sink.shutdown(socket.SHUT_WR)
                    self.connection.direction_ended()
                    return
                self.sink.sendall(data)
        except OSError:
            self.connection.close()


class Connection:
    """A client and its server joined by two delayed directions. Both sockets
    close once both directions have ended, or at once when a send fails."""

    def __init__(self, client, server, delay, capa_filter, on_closed):
        self.sockets = client, server
        for sock in self.sockets:
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.lock = threading.Lock()
        self.open_directions = 2
        self.on_closed = on_closed
        if capa_filter:
            Direction(client, server, delay, capa_filter.observe_client, self)
            Direction(server, client, delay, capa_filter.filter_server, self)
        else:
            Direction(client, server, delay, unchanged, self)
            Direction(server, client, delay, unchanged, self)

    def direction_ended(self):
        with self.lock:
            self.open_directions -= 1
            last = self.open_directions == 0
        if last:
            self.close()

    def close(self):
        with self.lock:
            if self.open_directions < 0:
                return
            self.open_directions = -1
        for sock in self.sockets:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            sock.close()
        self.on_closed(self)


class DelayProxy:
    """Listens on 127.0.0.1:port (a free one unless given) and joins each
    client to 127.0.0.1:target_port with `delay` seconds each way."""

    def __init__(self, target_port, delay=0.025, port=0, strip_pipelining=False):
        self.target_port, self.delay, self.strip_pipelining = target_port, delay, strip_pipelining
        self.listener = socket.create_server((HOST, port))
        self.port = self.listener.getsockname()[1]
        self.connections = set()
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._accept, daemon=True)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *_):
        self.stop()

    def start(self):
        self.thread.start()

    def stop(self):
        """Stops listening and drops the open connections."""
        try:
            self.listener.shutdown(socket.SHUT_RDWR)  # wakes the accept() of the other thread
        except OSError:
            pass
        self.listener.close()
        self.thread.join()
        with self.lock:
            connections = list(self.connections)
        for connection in connections:
            connection.close()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            try:
                server = socket.create_connection((HOST, self.target_port))
            except OSError:
                client.close()
                continue
            capa_filter = CapaFilter() if self.strip_pipelining else None
            with self.lock:
                self.connections.add(Connection(client, server, self.delay, capa_filter, self._closed))

    def _closed(self, connection):
        with self.lock:
            self.connections.discard(connection)


def main():
    parser = argparse.ArgumentParser(description="A TCP proxy on loopback that delays each direction.")
    parser.add_argument("listen_port", type=int, help="port to listen on (0: a free one)")
    parser.add_argument("target_port", type=int, help="port of the server on 127.0.0.1")
    parser.add_argument("--delay-ms", type=float, default=25.0, help="delay each way (default 25)")
    parser.add_argument("--strip-pipelining", action="store_true", help="hide PIPELINING in CAPA replies")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    proxy = DelayProxy(args.target_port, args.delay_ms / 1000, args.listen_port, args.strip_pipelining)
    with proxy:
        print(proxy.port, flush=True)
        try:
            signal.pause()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
