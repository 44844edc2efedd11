# Sourced by the scripts: start_xvfb_if_needed gives the run an X display (a private Xvfb, stopped
# when the script exits) unless one is set already.
start_xvfb_if_needed() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 90 150); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        SETUP_XVFB_PID=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        export DISPLAY=":$n"
        trap 'kill "$SETUP_XVFB_PID" 2>/dev/null || true' EXIT
        return 0
    done
    echo "no free X display number for Xvfb" >&2
    return 1
}
