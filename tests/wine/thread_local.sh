#!/usr/bin/env bash
# The executable's own thread_local support (the fatal stop's per-thread
# stage depends on it), through thread_local_probe.exe under Wine.
# Usage: thread_local.sh PROBE STATE
set -euo pipefail

probe=$1
state=$2
if [[ ! -f $probe ]]; then
    echo "$probe is missing: build it with 'make windows' (make test does)" >&2
    exit 77
fi
# shellcheck disable=SC1091
source "$state/env"
code=0
timeout 60 wine "$probe" || code=$?
if ((code != 0)); then
    echo "thread_local_probe.exe failed its check number $code" >&2
    exit 1
fi
