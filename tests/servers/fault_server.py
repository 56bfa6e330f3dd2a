#!/usr/bin/env python3
"""An HTTP server on 127.0.0.1 that fails on purpose, for the download tests.

  /status/<code>           that status with a small HTML page as its body
  /cut/<announced>/<sent>  Content-Length <announced>, then <sent> bytes and the connection closed
  /stall                   reads the request and never answers
  /stall-body              headers and ten of 1000 announced bytes, then nothing
  /redirect/<port>/<path>  302 to http://127.0.0.1:<port>/<path>
  /empty                   200 with an empty body

It also holds a port that is bound but not listening, so that connecting to it is refused.
Usage: fault_server.py <state directory>; writes faults.port and closed.port there once ready.
"""
import http.server
import os
import socket
import sys
import threading

STOP = threading.Event()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        sys.stderr.write("fault_server: " + (format % args) + "\n")

    def send_body(self, code, body, content_type="text/html"):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = self.path.split("?")[0].strip("/").split("/")
        kind = parts[0]
        if kind == "status" and len(parts) == 2:
            code = int(parts[1])
            self.send_body(code, ("<html><body>%d</body></html>" % code).encode())
        elif kind == "cut" and len(parts) == 3:
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", parts[1])
            self.end_headers()
            self.wfile.write(b"c" * int(parts[2]))
            self.wfile.flush()
            self.close_connection = True
        elif kind == "stall":
            STOP.wait(120)
            self.close_connection = True
        elif kind == "stall-body":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"s" * 10)
            self.wfile.flush()
            STOP.wait(120)
            self.close_connection = True
        elif kind == "redirect" and len(parts) >= 3:
            self.send_response(302)
            self.send_header("Location", "http://127.0.0.1:%s/%s" % (parts[1], "/".join(parts[2:])))
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif kind == "empty":
            self.send_body(200, b"", "application/octet-stream")
        else:
            self.send_body(404, b"<html>no such fault</html>")


def write_atomically(path, text):
    with open(path + ".tmp", "w") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def main():
    state = sys.argv[1]
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))  # bound, never listening: connections are refused
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    write_atomically(os.path.join(state, "closed.port"), "%d\n" % closed.getsockname()[1])
    write_atomically(os.path.join(state, "faults.port"), "%d\n" % server.server_address[1])
    try:
        server.serve_forever()
    finally:
        STOP.set()


if __name__ == "__main__":
    main()
