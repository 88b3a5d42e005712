#!/usr/bin/env bash
# The private world the Windows executable runs in under test: a virtual X
# display, a PulseAudio daemon with a null sink (so Wine's wave output has a
# device), and a fresh Wine prefix, all in one temporary folder.
#   wine_env.sh start STATE EXE ARTIFACTS   start the pieces (STATE/env holds
#                                           the variables) and empty ARTIFACTS
#   wine_env.sh stop STATE                  end every process start began
# Nothing here is installed; see cmake/install-deps.sh.
set -euo pipefail

usage="usage: wine_env.sh start STATE EXE ARTIFACTS | stop STATE"
action=${1:?$usage}
state=${2:?$usage}

# Ends the prefix's Wine processes, then each process start recorded, and
# removes the temporary folder.
stop_all() {
    if [[ -f $state/env ]]; then
        # shellcheck disable=SC1091
        source "$state/env"
        timeout 10 wineserver -k 2>/dev/null || true
    fi
    if [[ -f $state/pids ]]; then
        while read -r pid; do
            kill "$pid" 2>/dev/null || true
        done <"$state/pids"
        sleep 0.5
        while read -r pid; do
            kill -9 "$pid" 2>/dev/null || true
        done <"$state/pids"
    fi
    if [[ -f $state/root ]]; then
        rm -rf "$(cat "$state/root")"
    fi
    rm -rf "$state"
}

start_all() {
    local exe=${1:?$usage} artifacts=${2:?$usage}
    if [[ ! -f $exe ]]; then
        echo "$exe is missing: build it with 'make windows' (make test does)" >&2
        exit 77
    fi
    stop_all # whatever an interrupted run left behind
    rm -rf "$artifacts"
    mkdir -p "$state" "$artifacts"
    # Anything that fails from here on takes the started pieces down with it.
    trap 'stop_all' ERR
    trap 'stop_all; exit 1' INT TERM

    # Short paths under /tmp: the sockets' names have a length limit.
    local root
    root=$(mktemp -d /tmp/gridshow-wine.XXXXXX)
    echo "$root" >"$state/root"
    local home=$root/home runtime=$root/runtime prefix=$root/prefix
    mkdir -p "$home/.config/pulse" "$runtime" "$prefix"
    chmod 700 "$home" "$runtime"
    # The client must never start a daemon of its own (the no-server test).
    echo "autospawn = no" >"$home/.config/pulse/client.conf"

    # Xvfb picks a free display itself and reports its number.
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp </dev/null \
        3>"$root/display" >"$root/xvfb.log" 2>&1 &
    echo $! >>"$state/pids"
    local waited=0
    until [[ -s $root/display ]]; do
        ((++waited <= 100)) || { echo "Xvfb did not start" >&2; return 1; }
        sleep 0.1
    done

    # The crash debugger stays off: a crash ends the process at once.
    cat >"$state/env" <<VARIABLES
export DISPLAY=:$(tr -d '\n' <"$root/display")
export HOME=$home
export XDG_RUNTIME_DIR=$runtime
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winedbg.exe=d;winealsa.drv=d"
unset PULSE_SERVER
VARIABLES
    # shellcheck disable=SC1091
    source "$state/env"

    pulseaudio --daemonize=no --exit-idle-time=-1 -n \
        --load="module-null-sink sink_name=null" --load="module-native-protocol-unix" \
        </dev/null >"$root/pulseaudio.log" 2>&1 &
    echo $! >>"$state/pids"
    waited=0
    until [[ -S $runtime/pulse/native ]]; do
        ((++waited <= 100)) || { echo "PulseAudio did not start" >&2; return 1; }
        sleep 0.1
    done

    # A persistent wineserver keeps the prefix warm between the tests.
    # Its output must not hold the caller's pipes open once start has returned.
    wineserver -p </dev/null >"$root/wineserver.log" 2>&1
    wineboot -i </dev/null >"$root/wineboot.log" 2>&1
    trap - ERR INT TERM
}

case $action in
start) start_all "${@:3}" ;;
stop) stop_all ;;
*)
    echo "$usage" >&2
    exit 2
    ;;
esac
