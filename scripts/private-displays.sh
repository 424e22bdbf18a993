# Sourced by bash scripts: starts a private X server (Xvfb, on a display number it picks
# itself) and a Wayland compositor nested in it (weston's X11 backend, which gives the
# compositor a keyboard and a pointer), for the tests that run on real display servers.
#
#   start_private_displays     # exports VANTRELL_X_DISPLAY and, when weston runs,
#                              # VANTRELL_WAYLAND_DISPLAY and VANTRELL_XDG_RUNTIME_DIR
#   stop_private_displays      # also run on exit, failure or interrupt (a trap)
#
# Nothing of the caller's own display is touched: DISPLAY and WAYLAND_DISPLAY stay as they
# are; the tests' wrapper (tests/support/on-display) picks the private ones.

private_display_pids=()
private_display_dir=""

stop_private_displays() {
    local pid
    for pid in "${private_display_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${private_display_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    private_display_pids=()
    if [ -n "$private_display_dir" ]; then
        rm -rf "$private_display_dir"
        private_display_dir=""
    fi
}

start_private_displays() {
    trap stop_private_displays EXIT
    trap 'stop_private_displays; exit 130' INT TERM
    private_display_dir="$(mktemp -d /tmp/vantrell-displays.XXXXXX)"
    chmod 700 "$private_display_dir"

    # -displayfd: Xvfb takes the first free display number and writes it to the pipe.
    local numberFile="$private_display_dir/display"
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$numberFile" \
        >"$private_display_dir/xvfb.log" 2>&1 &
    private_display_pids+=("$!")
    local tries
    for tries in $(seq 100); do
        [ -s "$numberFile" ] && break
        sleep 0.1
    done
    if [ ! -s "$numberFile" ]; then
        echo "displays: Xvfb did not start" >&2
        cat "$private_display_dir/xvfb.log" >&2
        return 1
    fi
    export VANTRELL_X_DISPLAY=":$(head -n1 "$numberFile")"
    echo "== private X server on $VANTRELL_X_DISPLAY"

    if ! command -v weston >/dev/null; then
        echo "displays: no weston, the Wayland runs are skipped" >&2
        return 0
    fi
    # Wayland wants a runtime folder of the user's own, private to it.
    local runtime="$private_display_dir/runtime"
    mkdir -m 700 "$runtime"
    local socket="vantrell-wayland-$$"
    DISPLAY="$VANTRELL_X_DISPLAY" XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY= \
        weston --backend=x11-backend.so --socket="$socket" --idle-time=0 --width=1600 \
        --height=1000 --no-config >"$private_display_dir/weston.log" 2>&1 &
    private_display_pids+=("$!")
    for tries in $(seq 100); do
        [ -S "$runtime/$socket" ] && break
        sleep 0.1
    done
    if [ ! -S "$runtime/$socket" ]; then
        echo "displays: weston did not start" >&2
        cat "$private_display_dir/weston.log" >&2
        return 1
    fi
    export VANTRELL_WAYLAND_DISPLAY="$socket"
    export VANTRELL_XDG_RUNTIME_DIR="$runtime"
    echo "== private Wayland compositor $socket (weston on $VANTRELL_X_DISPLAY)"
}
