#!/usr/bin/env python3
"""update_server.py start|stop DIR [squid] | served DIR PATH: an update server on 127.0.0.1 for the
demo, the benchmarks and the tests. nginx serves DIR/www, and DIR/www/PATH at 32 KiB/s as
/slow/PATH, as over a slow office line, at 100 bytes/s as /trickle/PATH (a list then takes a few
seconds), and as /cached/PATH with the hour's freshness a vendor's CDN gives its packages; its port
lands in DIR/nginx.port. It logs what it served to DIR/origin.log, one line an answer: body bytes,
status, the request's Cache-Control and Pragma, the path; `served` counts the bodies and bytes of a
path. With squid, an office's caching proxy listens beside it on DIR/squid.port, its log in
DIR/squid/access.log. A caller may add server blocks and locations (start())."""
import os, pwd, signal, socket, subprocess, sys, time

# What an office's proxy holds: packages of a few hundred MB, in memory.
SQUID_CONF = """http_port 127.0.0.1:{port}
http_access allow localhost
http_access deny all
cache_mem 1024 MB
maximum_object_size 1024 MB
maximum_object_size_in_memory 1024 MB
pid_filename {dir}/squid.pid
access_log stdio:{dir}/access.log
cache_log {dir}/cache.log
cache_store_log none
netdb_filename none
coredump_dir {dir}
pinger_enable off
shutdown_lifetime 0 seconds
{user}
"""


def free_port():
    with socket.socket() as free:
        free.bind(("127.0.0.1", 0))
        return free.getsockname()[1]


def listening(port, what, log):
    for _ in range(100):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.1)
    sys.exit(f"update_server.py: {what} does not listen on {port} (see {log})")


def start(state, port=None, locations="", servers="", squid=False):
    stop(state)
    os.makedirs(state + "/www", exist_ok=True)
    port = port or free_port()
    temp = "".join(f"{kind}_temp_path {state}/tmp; " for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    served = "log_format served escape=none '$body_bytes_sent $status \"$http_cache_control\" \"$http_pragma\" $uri';"
    with open(state + "/nginx.conf", "w") as conf:  # as root, the worker must not be "nobody"
        conf.write(f"{'user root;' if os.getuid() == 0 else ''} pid {state}/nginx.pid; events {{}}\n"
                   f"http {{ {served} access_log {state}/origin.log served; {temp}\n"
                   f"  server {{ listen 127.0.0.1:{port}; root {state}/www;\n"
                   f"  location /slow/ {{ alias {state}/www/; limit_rate 32k; }}\n"
                   f"  location /trickle/ {{ alias {state}/www/; limit_rate 100; }}\n"
                   f"  location /cached/ {{ alias {state}/www/; expires 1h; }} {locations} }}\n{servers} }}\n")
    open(state + "/origin.log", "w").close()
    subprocess.run(["nginx", "-p", state, "-e", state + "/error.log", "-c", state + "/nginx.conf"], check=True)
    open(f"{state}/nginx.port", "w").write(f"{port}\n")
    listening(port, "nginx", f"{state}/error.log")
    if squid:
        start_squid(state)


def start_squid(state):
    # Squid refuses to run as root: then as nobody, who owns its folder.
    folder, port = state + "/squid", free_port()
    os.makedirs(folder, exist_ok=True)
    user = "cache_effective_user nobody" if os.getuid() == 0 else ""
    if user:
        nobody = pwd.getpwnam("nobody")
        os.chown(folder, nobody.pw_uid, nobody.pw_gid)
    with open(folder + "/squid.conf", "w") as conf:
        conf.write(SQUID_CONF.format(port=port, dir=folder, user=user))
    # Its shared memory is named after the service: one of its own beside any other squid.
    subprocess.Popen(["squid", "-N", "-n", f"hmz{port}", "-f", folder + "/squid.conf"],
                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=open(folder + "/stderr.log", "w"), start_new_session=True)
    open(f"{state}/squid.port", "w").write(f"{port}\n")
    listening(port, "squid", f"{folder}/cache.log")


def stop(state):
    # Gone before it returns: a squid refuses to start while its pid file names a live one.
    for pid_file in (f"{state}/nginx.pid", f"{state}/squid/squid.pid"):
        try:
            pid = int(open(pid_file).read())
            os.kill(pid, signal.SIGTERM)
            for _ in range(100):
                os.kill(pid, 0)
                time.sleep(0.1)
        except (OSError, ValueError):
            pass


def served(state, path):
    """The bodies (a 200 or 206 with bytes) the origin served for path, and their bytes."""
    bodies = size = 0
    for line in open(state + "/origin.log", encoding="utf-8", errors="replace"):
        sent, status, *_ = line.split(" ")
        if line.rstrip("\n").endswith(" " + path) and status in ("200", "206") and int(sent) > 0:
            bodies, size = bodies + 1, size + int(sent)
    return bodies, size


if __name__ == "__main__":
    command, state = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "served":
        print(*served(state, sys.argv[3]))
    elif command == "start":
        start(state, squid=sys.argv[3:] == ["squid"])
    else:
        stop(state)
