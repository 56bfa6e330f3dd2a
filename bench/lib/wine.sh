# shellcheck shell=bash
# shellcheck disable=SC2154 # the variables come from bench/run
# The benchmarks' own Wine: an X server on a free display and a prefix of their own, so that they
# never share a server with tests running at the same time. Needs $root and $work.

bench_xvfb_pid=

bench_wine_start() {
  local n
  for n in $(seq 90 150); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >>"$work/xvfb.log" 2>&1 &
  bench_xvfb_pid=$!
  local tries=100
  until [[ -S /tmp/.X11-unix/X$n ]]; do
    ((tries-- > 0)) || {
      echo "bench: Xvfb did not come up on :$n (see $work/xvfb.log)" >&2
      return 1
    }
    sleep 0.1
  done
  export HANAMIZU_DISPLAY=":$n" HANAMIZU_OWN_DISPLAY=1
  export HANAMIZU_WINEPREFIX="$root/build/bench-wineprefix"
  # shellcheck source=scripts/wine-env
  . "$root/scripts/wine-env"
  hanamizu_wine_ensure
}

# Ends this prefix's Wine server with its processes, then the X server started above.
bench_wine_stop() {
  if [[ -n ${WINEPREFIX:-} ]] && wineserver -k0 2>/dev/null; then
    wineserver -k 2>/dev/null || true
  fi
  if [[ -n $bench_xvfb_pid ]]; then
    kill "$bench_xvfb_pid" 2>/dev/null || true
    wait "$bench_xvfb_pid" 2>/dev/null || true
    bench_xvfb_pid=
  fi
}

# The Windows path of a Linux path: drive Z: is the root.
bench_winpath() { printf 'Z:%s' "${1//\//\\}"; }
