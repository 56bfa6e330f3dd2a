#!/usr/bin/env python3
"""servers.py start|stop DIR: the tests' servers on 127.0.0.1. The update server (nginx, see
tools/servers) also answers /redirect/PATH with a 302 to /PATH and /loop with a 302 to itself; over
TLS the same, with a certificate of the tests' own CA (DIR/tls/ca.der, to be trusted in the tests'
Wine prefix only) for 127.0.0.1 and one of a CA nobody trusts, and
/downgrade/PATH sending https to http. The fault server answers /slow/N/M/MS/... with N bytes
announced and M sent over MS milliseconds before it closes, /hang/N/M/MS/... the same but then
stays silent, /stall/... never; /say?status=S&body=B&HEADER=VALUE... answers as told;
/partial/K/MS/PATH serves DIR/www/PATH cut after K bytes sent
over MS milliseconds, but when a Range is asked for after the first time, whole or (with a
matching If-Range) the rest.
Their ports land in DIR/NAME.port: nginx, https, untrusted, faults."""
import http.server, os, signal, subprocess, sys, threading, time, urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/servers"))
import update_server


class Faults(http.server.BaseHTTPRequestHandler):
    www, served, lock = "", set(), threading.Lock()

    def do_GET(self):
        kind, *sizes = self.path.strip("/").split("/")[:4]
        if kind.startswith("say?"):
            return self.say(urllib.parse.parse_qs(kind[4:]))
        if kind == "partial":
            return self.serve_file(int(sizes[0]), int(sizes[1]), urllib.parse.unquote(self.path.split("/", 4)[4]))
        if kind in ("hang", "slow"):
            self.send_response(200)
            self.send_header("Content-Length", sizes[0])
            self.end_headers()
            self.trickle(b"c" * int(sizes[1]), int(sizes[2]))
        if kind != "slow":
            time.sleep(300)

    def say(self, query):
        """Whatever the query says: a status, headers, and a body sent as it stands before the
        connection closes (so that it may be framed wrongly)."""
        self.protocol_version = "HTTP/1.1"
        self.send_response(int(query.pop("status")[0]))
        body = query.pop("body", [""])[0].encode()
        for name, [value] in query.items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def trickle(self, data, milliseconds):
        """data in 20 pieces spread over the time given."""
        for piece in range(20):
            self.wfile.write(data[len(data) * piece // 20:len(data) * (piece + 1) // 20])
            self.wfile.flush()
            time.sleep(milliseconds / 1000 / 20)

    def serve_file(self, cut, milliseconds, path):
        with Faults.lock:
            first = self.path not in Faults.served
            Faults.served.add(self.path)
        body = open(os.path.join(Faults.www, path), "rb").read()
        asked = self.headers.get("Range", "")
        if asked.startswith("bytes=") and self.headers.get("If-Range") == '"v1"':
            start = int(asked[6:].split("-")[0])
            self.send_response(206)
            self.send_header("Content-Range", f"bytes {start}-{len(body) - 1}/{len(body)}")
            body = body[start:]
        else:
            self.send_response(200)
        self.send_header("ETag", '"v1"')
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if asked and not first:
            self.wfile.write(body)
        else:
            self.trickle(body[:cut], milliseconds)


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
    for name, ca in (("https", "ca"), ("untrusted", "stranger")):
        if not os.path.exists(f"{tls}/{name}.pem"):
            run("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj", f"/CN={name}",
                "-keyout", f"{name}.key", "-out", f"{name}.csr")
            with open(f"{tls}/{name}.ext", "w") as ext:
                ext.write("subjectAltName=DNS:127.0.0.1\n")
            run("x509", "-req", "-in", f"{name}.csr", "-CA", f"{ca}.pem", "-CAkey", f"{ca}.key", "-CAcreateserial",
                "-days", "3650", "-extfile", f"{name}.ext", "-out", f"{name}.pem")


def start(state):
    stop(state)
    certificates(state + "/tls")
    port = update_server.free_port()
    locations = "location ~ ^/redirect(/.*)$ { return 302 $1; } location = /loop { return 302 /loop; }"
    servers = ""
    for name in ("https", "untrusted"):
        tls_port = update_server.free_port()
        open(f"{state}/{name}.port", "w").write(f"{tls_port}\n")
        servers += (f"server {{ listen 127.0.0.1:{tls_port} ssl; root {state}/www; {locations}\n"
                    f"  location ~ ^/downgrade(/.*)$ {{ return 302 http://127.0.0.1:{port}$1; }}\n"
                    f"  ssl_certificate {state}/tls/{name}.pem; ssl_certificate_key {state}/tls/{name}.key; }}\n")
    update_server.start(state, port, locations, servers)
    Faults.www = state + "/www"
    faults = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Faults)
    faults.daemon_threads = True
    child = os.fork()
    if child == 0:  # holds none of ctest's pipes open
        os.setsid()
        for fd in (0, 1, 2):
            os.dup2(os.open(os.devnull, os.O_RDWR), fd)
        faults.serve_forever()
    open(f"{state}/faults.port", "w").write(f"{faults.server_address[1]}\n")
    open(f"{state}/faults.pid", "w").write(f"{child}\n")


def stop(state):
    update_server.stop(state)
    try:
        os.kill(int(open(f"{state}/faults.pid").read()), signal.SIGTERM)
    except (OSError, ValueError):
        pass


{"start": start, "stop": stop}[sys.argv[1]](os.path.abspath(sys.argv[2]))
