#!/usr/bin/env python3
"""What hostile or careless clients cost `orvex-sandbox serve`, measured by hand.

  slow    N connections send one header byte every 2 s and never finish; the
          wait of a well-formed RFC_PING sent after them, in seconds.
  memory  one request of MB megabytes (a table of small rows, the costliest
          shape to parse); the status it gets and the server's peak resident
          memory (VmHWM) afterwards.
  long    the same with rows of 400 characters, the shape of a large program.
  packed  a gzip-compressed request that unpacks to MB megabytes of blanks.

    bench/http/served_sandbox_abuse.py build/bin/orvex-sandbox slow 16 50
    bench/http/served_sandbox_abuse.py build/bin/orvex-sandbox memory 60 15
    bench/http/served_sandbox_abuse.py build/bin/orvex-sandbox long 60 15
    bench/http/served_sandbox_abuse.py build/bin/orvex-sandbox packed 300

Each measurement starts a server of its own on a free loopback port with a
fresh sandbox database in a temporary folder.
"""
import base64
import gzip
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time

LOGON = "Basic " + base64.b64encode(b"DEVELOPER:sandbox").decode()
PING = (
    '<?xml version="1.0" encoding="utf-8"?><SOAP-ENV:Envelope '
    'xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/"><SOAP-ENV:Body>'
    '<urn:RFC_PING xmlns:urn="urn:sap-com:document:sap:rfc:functions"/>'
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>"
)


class Server:
    def __init__(self, program):
        self.dir = tempfile.TemporaryDirectory()
        self.log = open(os.path.join(self.dir.name, "server.log"), "wb+")
        self.proc = subprocess.Popen(
            [program, "serve", "--listen", "127.0.0.1:0", "--db", os.path.join(self.dir.name, "sandbox.db")],
            stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            self.log.seek(0)
            found = re.search(rb"serving http://127\.0\.0\.1:(\d+)/", self.log.read())
            if found:
                self.port = int(found.group(1))
                return
            time.sleep(0.05)
        raise SystemExit("the server did not start")

    def peak_kib(self):
        with open("/proc/%d/status" % self.proc.pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        return -1

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=30)
        self.dir.cleanup()


def request(port, body, timeout, headers=""):
    """Sends one POST; returns (status line, seconds) or (None, seconds) on a timeout."""
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.settimeout(timeout)
        head = ("POST /sap/bc/soap/rfc?sap-client=001 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                "Content-Type: text/xml; charset=utf-8\r\nAuthorization: %s\r\nContent-Length: %d\r\n"
                "%sConnection: close\r\n\r\n" % (LOGON, len(body), headers)).encode()
        try:
            s.sendall(head)
            s.sendall(body)
        except OSError:
            pass  # refused early: the answer says why
        answer = b""
        try:
            while b"\r\n" not in answer:
                chunk = s.recv(65536)
                if not chunk:
                    break
                answer += chunk
        except socket.timeout:
            return None, time.monotonic() - started
    return answer.split(b"\r\n")[0].decode(errors="replace"), time.monotonic() - started


def slow(program, count):
    server = Server(program)
    stop = threading.Event()
    sockets = []
    for _ in range(count):
        s = socket.create_connection(("127.0.0.1", server.port))
        s.sendall(b"POST /sap/bc/soap/rfc?sap-client=001 HTTP/1.1\r\nX-Slow: ")
        sockets.append(s)

    def trickle():
        while not stop.wait(2):
            for s in sockets:
                try:
                    s.send(b"x")
                except OSError:
                    pass

    threading.Thread(target=trickle, daemon=True).start()
    time.sleep(0.5)  # the workers take the slow ones first
    status, seconds = request(server.port, PING.encode(), 90)
    stop.set()
    for s in sockets:
        s.close()
    server.close()
    print("slow clients %3d: RFC_PING %s after %.2f s" % (count, status or "unanswered", seconds))


def memory(program, megabytes, row="<item><X>y</X></item>"):
    server = Server(program)
    rows = row * (megabytes * 1000000 // len(row))
    body = PING.replace("RFC_PING xmlns:urn=\"urn:sap-com:document:sap:rfc:functions\"/>",
                        "RFC_PING xmlns:urn=\"urn:sap-com:document:sap:rfc:functions\"><PAD>" + rows +
                        "</PAD></urn:RFC_PING>").encode()
    before = server.peak_kib()
    status, seconds = request(server.port, body, 120)
    peak = server.peak_kib()
    server.close()
    print("request %3d MB: %s after %.2f s; peak resident %d MiB (%d MiB before it)"
          % (len(body) // 1000000, status or "unanswered", seconds, peak // 1024, before // 1024))


def packed(program, megabytes):
    server = Server(program)
    body = gzip.compress(PING.replace("</SOAP-ENV:Body>", " " * (megabytes * 1000000) + "</SOAP-ENV:Body>").encode(), 9)
    status, seconds = request(server.port, body, 120, "Content-Encoding: gzip\r\n")
    peak = server.peak_kib()
    server.close()
    print("packed %d KB unpacking to %d MB: %s after %.2f s; peak resident %d MiB"
          % (len(body) // 1000, megabytes, status or "unanswered", seconds, peak // 1024))


def main():
    if len(sys.argv) < 4 or sys.argv[2] not in ("slow", "memory", "long", "packed"):
        raise SystemExit(__doc__)
    for value in sys.argv[3:]:
        if sys.argv[2] == "slow":
            slow(sys.argv[1], int(value))
        elif sys.argv[2] == "packed":
            packed(sys.argv[1], int(value))
        elif sys.argv[2] == "memory":
            memory(sys.argv[1], int(value))
        else:
            memory(sys.argv[1], int(value), "<item><LINE>" + "x" * 400 + "</LINE></item>")


if __name__ == "__main__":
    main()
