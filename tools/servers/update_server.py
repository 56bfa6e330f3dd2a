#!/usr/bin/env python3
"""update_server.py start|stop DIR: an update server on 127.0.0.1 for the demo, the benchmarks and
the tests. nginx serves DIR/www, and DIR/www/PATH at 32 KiB/s as /slow/PATH, as over a slow office
line, and at 100 bytes/s as /trickle/PATH (a list then takes a few seconds); its port lands in
DIR/nginx.port. A caller may add server blocks and locations (start())."""
import os, signal, socket, subprocess, sys, time


def free_port():
    with socket.socket() as free:
        free.bind(("127.0.0.1", 0))
        return free.getsockname()[1]


def start(state, port=None, locations="", servers=""):
    stop(state)
    os.makedirs(state + "/www", exist_ok=True)
    port = port or free_port()
    temp = "".join(f"{kind}_temp_path {state}/tmp; " for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    with open(state + "/nginx.conf", "w") as conf:  # as root, the worker must not be "nobody"
        conf.write(f"{'user root;' if os.getuid() == 0 else ''} pid {state}/nginx.pid; events {{}}\n"
                   f"http {{ access_log off; {temp} server {{ listen 127.0.0.1:{port}; root {state}/www;\n"
                   f"  location /slow/ {{ alias {state}/www/; limit_rate 32k; }}\n"
                   f"  location /trickle/ {{ alias {state}/www/; limit_rate 100; }} {locations} }}\n{servers} }}\n")
    subprocess.run(["nginx", "-p", state, "-e", state + "/error.log", "-c", state + "/nginx.conf"], check=True)
    open(f"{state}/nginx.port", "w").write(f"{port}\n")
    for _ in range(100):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.1)
    sys.exit(f"update_server.py: nginx does not listen on {port} (see {state}/error.log)")


def stop(state):
    try:
        os.kill(int(open(f"{state}/nginx.pid").read()), signal.SIGTERM)
    except (OSError, ValueError):
        pass


if __name__ == "__main__":
    {"start": start, "stop": stop}[sys.argv[1]](os.path.abspath(sys.argv[2]))
