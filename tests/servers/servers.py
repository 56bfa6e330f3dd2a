#!/usr/bin/env python3
"""servers.py start|stop DIR: the tests' servers on 127.0.0.1. nginx serves DIR/www, answers
/redirect/PATH with a 302 to /PATH and /loop with a 302 to itself; the fault server answers
/cut/N/M/... with N bytes announced and M sent before it closes, /hang/N/M/... the same but then
stays silent, /stall/... never. Their ports land in DIR/nginx.port and DIR/faults.port."""
import http.server, os, signal, socket, subprocess, sys, time


class Faults(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        kind, *sizes = self.path.strip("/").split("/")[:3]
        if kind in ("cut", "hang"):
            self.send_response(200)
            self.send_header("Content-Length", sizes[0])
            self.end_headers()
            self.wfile.write(b"c" * int(sizes[1]))
            self.wfile.flush()
        if kind != "cut":
            time.sleep(300)


def start(state):
    stop(state)
    os.makedirs(state + "/www", exist_ok=True)
    with socket.socket() as free:
        free.bind(("127.0.0.1", 0))
        port = free.getsockname()[1]
    temp = "".join(f"{kind}_temp_path {state}/tmp; " for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    with open(state + "/nginx.conf", "w") as conf:  # as root, the worker must not be "nobody"
        conf.write(f"{'user root;' if os.getuid() == 0 else ''} pid {state}/nginx.pid; events {{}}\n"
                   f"http {{ access_log off; {temp} server {{ listen 127.0.0.1:{port}; root {state}/www;\n"
                   f"  location ~ ^/redirect(/.*)$ {{ return 302 $1; }} location = /loop {{ return 302 /loop; }} }} }}\n")
    subprocess.run(["nginx", "-p", state, "-e", state + "/error.log", "-c", state + "/nginx.conf"], check=True)
    faults = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Faults)
    faults.daemon_threads = True
    child = os.fork()
    if child == 0:  # holds none of ctest's pipes open
        os.setsid()
        for fd in (0, 1, 2):
            os.dup2(os.open(os.devnull, os.O_RDWR), fd)
        faults.serve_forever()
    for name, value in (("nginx.port", port), ("faults.port", faults.server_address[1]), ("faults.pid", child)):
        open(f"{state}/{name}", "w").write(f"{value}\n")
    for _ in range(100):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.1)
    sys.exit(f"servers.py: nginx does not listen on {port} (see {state}/error.log)")


def stop(state):
    for name in ("nginx.pid", "faults.pid"):
        try:
            os.kill(int(open(f"{state}/{name}").read()), signal.SIGTERM)
        except (OSError, ValueError):
            pass


{"start": start, "stop": stop}[sys.argv[1]](os.path.abspath(sys.argv[2]))
