#!/usr/bin/env python3
# servers.py start|stop DIR: the tests' servers on 127.0.0.1. The update server (nginx, see
# tools/servers) also answers /redirect/PATH with a 302 to /PATH; over TLS the same, with the tests'
# own certificate (DIR/tls/https.der, to be trusted in the tests' Wine prefix only) for 127.0.0.1
# and one nobody trusts, and /downgrade/PATH sending https to http. The fault server answers
# /hang/N/M/MS/... with N bytes announced and M sent over MS milliseconds, then stays silent;
# /stall/... never; /say?status=S&body=B&HEADER=VALUE... as told; /echo with the request's Range
# and If-Range; /office/NAME/PATH as /cached/PATH. An office's squid beside them caches what nginx serves (tools/servers). Their ports
# land in DIR/NAME.port: nginx, https, untrusted, faults, squid.
import http.server, os, signal, subprocess, sys, time, urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/servers"))
import update_server


class Faults(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        kind, *sizes = self.path.strip("/").split("/")[:4]
        if kind.startswith("say?"):
            return self.say(urllib.parse.parse_qs(kind[4:]))
        if kind == "echo":
            asked = f"{self.headers['Range']} {self.headers['If-Range']}"
            return self.say({"status": ["200"], "body": [asked]})
        if kind == "hang":
            self.send_response(200)
            self.send_header("Content-Length", sizes[0])
            self.end_headers()
            self.trickle(b"c" * int(sizes[1]), int(sizes[2]))
        time.sleep(300)

    def say(self, query):
        # Whatever the query says: a status, headers, and a body sent as it stands before the
        # connection closes (so that it may be framed wrongly).
        self.protocol_version = "HTTP/1.1"
        self.send_response(int(query.pop("status")[0]))
        body = query.pop("body", [""])[0].encode()
        for name, [value] in query.items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def trickle(self, data, milliseconds):
        # data in 20 pieces spread over the time given.
        for piece in range(20):
            self.wfile.write(data[len(data) * piece // 20:len(data) * (piece + 1) // 20])
            self.wfile.flush()
            time.sleep(milliseconds / 1000 / 20)


def certificates(tls):
    # Self-signed certificates for 127.0.0.1, made once and kept: the tests' own (https.der, to
    # be trusted) and a stranger's.
    def run(*args):
        subprocess.run(["openssl", *args], check=True, cwd=tls, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    os.makedirs(tls, exist_ok=True)
    for name in ("https", "untrusted"):
        if not os.path.exists(f"{tls}/{name}.der"):
            run("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                "-days", "3650",
                "-subj", f"/CN=Hanamizu tests {name}", "-addext", "subjectAltName=DNS:127.0.0.1",
                "-keyout", f"{name}.key", "-out", f"{name}.pem")
            run("x509", "-in", f"{name}.pem", "-outform", "DER", "-out", f"{name}.der")


def start(state):
    stop(state)
    certificates(state + "/tls")
    port = update_server.free_port()
    locations = "location ~ ^/redirect(/.*)$ { return 302 $1; }"
    # /office/NAME/PATH: /cached/PATH under an address of its own in squid.
    office = f"location ~ ^/office/[^/]+/(.*)$ {{ alias {state}/www/$1; expires 1h; }}"
    servers = ""
    for name in ("https", "untrusted"):
        tls_port = update_server.free_port()
        open(f"{state}/{name}.port", "w").write(f"{tls_port}\n")
        servers += (f"server {{ listen 127.0.0.1:{tls_port} ssl; root {state}/www; {locations}\n"
                    f"  location ~ ^/downgrade(/.*)$ {{ return 302 http://127.0.0.1:{port}$1; }}\n"
                    f"  ssl_certificate {state}/tls/{name}.pem;"
                    f" ssl_certificate_key {state}/tls/{name}.key; }}\n")
    update_server.start(state, port, locations + office, servers, squid=True)
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
