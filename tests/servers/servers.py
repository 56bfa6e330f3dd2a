#!/usr/bin/env python3
"""servers.py start|stop DIR: the tests' servers on 127.0.0.1. nginx serves DIR/www, answers
/redirect/PATH with a 302 to /PATH and /loop with a 302 to itself, and serves /slow/PATH at
256 KiB/s; over TLS the same, with a certificate of the tests' own CA (DIR/tls/ca.der, to be
trusted in the tests' Wine prefix only) for 127.0.0.1, one for another name and one of a CA
nobody trusts, and /downgrade/PATH sending https to http. The fault server answers /cut/N/M/...
with N bytes announced and M sent before it closes, /slow/N/M/MS/... the same with the M bytes
spread over MS milliseconds, /hang/N/M/... like cut but then stays silent, /stall/... never;
/partial|norange|newetag/K/PATH serve DIR/www/PATH, cut after K bytes the first time (see
serve_file).
Their ports land in DIR/NAME.port: nginx, https, wrongname, untrusted, faults."""
import http.server, os, signal, socket, subprocess, sys, threading, time, urllib.parse


class Faults(http.server.BaseHTTPRequestHandler):
    www, served, lock = "", {}, threading.Lock()

    def do_GET(self):
        kind, *sizes = self.path.strip("/").split("/")[:4]
        if kind in ("partial", "norange", "newetag"):
            return self.serve_file(kind, int(sizes[0]), urllib.parse.unquote(self.path.split("/", 3)[3]))
        if kind in ("cut", "hang", "slow"):
            self.send_response(200)
            self.send_header("Content-Length", sizes[0])
            self.end_headers()
            pieces = 20 if kind == "slow" else 1
            sent = 0
            for piece in range(1, pieces + 1):
                size = int(sizes[1]) * piece // pieces - sent
                self.wfile.write(b"c" * size)
                self.wfile.flush()
                sent += size
                if kind == "slow":
                    time.sleep(int(sizes[2]) / 1000 / pieces)
        if kind not in ("cut", "slow"):
            time.sleep(300)


    def serve_file(self, kind, cut, path):
        """A file of www, the first request for it cut after `cut` bytes. Then "partial" sends the
        rest asked for with Range and a matching If-Range (and cuts any other request again),
        "norange" sends the whole file whatever was asked, "newetag" has a new ETag each time."""
        with Faults.lock:
            count = Faults.served[self.path] = Faults.served.get(self.path, 0) + 1
        body = open(os.path.join(Faults.www, path), "rb").read()
        etag = f'"v{count}"' if kind == "newetag" else '"v1"'
        asked = self.headers.get("Range", "")
        if kind != "norange" and asked.startswith("bytes=") and self.headers.get("If-Range") == etag:
            start = int(asked[6:].split("-")[0])
            self.send_response(206)
            self.send_header("Content-Range", f"bytes {start}-{len(body) - 1}/{len(body)}")
            body = body[start:]
        else:
            self.send_response(200)
        self.send_header("ETag", etag)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        whole = count > 1 and (kind != "partial" or self.headers.get("Range"))
        self.wfile.write(body if whole else body[:cut])


def certificates(tls):
    """The tests' CA, made once and kept, and the servers' certificates it signs (and a stranger's)."""
    def run(*args):
        subprocess.run(["openssl", *args], check=True, cwd=tls, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.makedirs(tls, exist_ok=True)
    for ca in ("ca", "stranger"):
        if not os.path.exists(f"{tls}/{ca}.pem"):
            run("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "3650",
                "-subj", f"/CN=Hanamizu tests {ca}", "-keyout", f"{ca}.key", "-out", f"{ca}.pem")
    run("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    for name, ca, names in (("good", "ca", "DNS:127.0.0.1,IP:127.0.0.1,DNS:localhost"),
                            ("wrongname", "ca", "DNS:wrong.example"), ("untrusted", "stranger", "DNS:127.0.0.1")):
        if not os.path.exists(f"{tls}/{name}.pem"):
            run("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj", f"/CN={name}",
                "-keyout", f"{name}.key", "-out", f"{name}.csr")
            with open(f"{tls}/{name}.ext", "w") as ext:
                ext.write(f"subjectAltName={names}\n")
            run("x509", "-req", "-in", f"{name}.csr", "-CA", f"{ca}.pem", "-CAkey", f"{ca}.key", "-CAcreateserial",
                "-days", "3650", "-extfile", f"{name}.ext", "-out", f"{name}.pem")


def free_port():
    with socket.socket() as free:
        free.bind(("127.0.0.1", 0))
        return free.getsockname()[1]


def start(state):
    stop(state)
    os.makedirs(state + "/www", exist_ok=True)
    certificates(state + "/tls")
    ports = {name: free_port() for name in ("nginx", "https", "wrongname", "untrusted")}
    port = ports["nginx"]
    temp = "".join(f"{kind}_temp_path {state}/tmp; " for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    locations = "location ~ ^/redirect(/.*)$ { return 302 $1; } location = /loop { return 302 /loop; }"
    tls = "".join(f"server {{ listen 127.0.0.1:{ports[name]} ssl; root {state}/www; {locations}\n"
                  f"  location ~ ^/downgrade(/.*)$ {{ return 302 http://127.0.0.1:{port}$1; }}\n"
                  f"  ssl_certificate {state}/tls/{name if name != 'https' else 'good'}.pem;\n"
                  f"  ssl_certificate_key {state}/tls/{name if name != 'https' else 'good'}.key; }}\n"
                  for name in ("https", "wrongname", "untrusted"))
    with open(state + "/nginx.conf", "w") as conf:  # as root, the worker must not be "nobody"
        conf.write(f"{'user root;' if os.getuid() == 0 else ''} pid {state}/nginx.pid; events {{}}\n"
                   f"http {{ access_log off; {temp} server {{ listen 127.0.0.1:{port}; root {state}/www; {locations}\n"
                   f"  location /slow/ {{ alias {state}/www/; limit_rate 256k; }} }}\n"
                   f"{tls} }}\n")
    subprocess.run(["nginx", "-p", state, "-e", state + "/error.log", "-c", state + "/nginx.conf"], check=True)
    Faults.www = state + "/www"
    faults = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Faults)
    faults.daemon_threads = True
    child = os.fork()
    if child == 0:  # holds none of ctest's pipes open
        os.setsid()
        for fd in (0, 1, 2):
            os.dup2(os.open(os.devnull, os.O_RDWR), fd)
        faults.serve_forever()
    ports["faults"] = faults.server_address[1]
    for name, value in [(f"{name}.port", value) for name, value in ports.items()] + [("faults.pid", child)]:
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
