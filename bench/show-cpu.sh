#!/usr/bin/env bash
# What the whole show costs on a Linux desktop: the program's own CPU time,
# the X server's CPU time over the run, the run's length and the audio
# callbacks that ran dry (the most of any run), on a private Xvfb screen with
# no window manager and under each window manager named, SDL's dummy audio;
# the median of RUNS runs each (the managers alternating run by run).
# Usage: show-cpu.sh [MANAGER...]   (BUILD_DIR, RUNS, SCREEN optional)
#   e.g. show-cpu.sh openbox
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${BUILD_DIR:-$root/build}/bin/gridshow
runs=${RUNS:-3}
screen=${SCREEN:-1920x1080x24}
desktops=(none "$@")
work=$(mktemp -d)
server=
manager=
finish() {
  [[ -n $manager ]] && kill -- -"$manager" 2>/dev/null
  [[ -n $server ]] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

for tool in Xvfb "$program"; do
  command -v "$tool" >/dev/null || { echo "show-cpu: no $tool" >&2; exit 1; }
done

# CPU seconds (user and system) a process has used so far.
cpu_seconds() {
  awk -v tick="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / tick }' \
    "/proc/$1/stat"
}

# One run on a fresh server: "program_cpu x_cpu wall dry" on standard output.
one_run() {
  local desktop=$1
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>/dev/null &
  server=$!
  while [[ ! -s $work/display ]]; do sleep 0.05; done
  local display
  display=":$(head -1 "$work/display")"
  if [[ $desktop != none ]]; then
    mkdir -p "$work/home"
    setsid env DISPLAY="$display" HOME="$work/home" XDG_CONFIG_HOME="$work/home" \
      dbus-run-session -- "$desktop" >/dev/null 2>&1 &
    manager=$!
    sleep 2 # the manager takes over the screen before the show starts
  fi
  local x_before
  x_before=$(cpu_seconds "$server")
  DISPLAY=$display SDL_AUDIODRIVER=dummy GRIDSHOW_SDL_STATS=1 \
    /usr/bin/time -f "time %U %S %e" "$program" 2>"$work/log" || true
  local x_after
  x_after=$(cpu_seconds "$server")
  awk -v x="$(awk -v a="$x_before" -v b="$x_after" 'BEGIN { print b - a }')" '
    /^time / { cpu = $2 + $3; wall = $4 }
    /^sdl host:/ { for (i = 1; i <= NF; ++i) if ($i == "ran") dry = $(i - 1) }
    END { printf "%.2f %.2f %.2f %d\n", cpu, x, wall, dry }' "$work/log"
  [[ -n $manager ]] && { kill -- -"$manager" 2>/dev/null || true; wait "$manager" 2>/dev/null || true; }
  manager=
  kill "$server"
  wait "$server" 2>/dev/null || true
  server=
  rm -f "$work/display"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for ((i = 0; i < runs; i++)); do
  for desktop in "${desktops[@]}"; do one_run "$desktop" >>"$work/$desktop"; done
done
printf '%-10s %12s %12s %12s %10s %12s\n' desktop program_cpu_s x_cpu_s together_s wall_s dry_callbacks
for desktop in "${desktops[@]}"; do
  program_cpu=$(cut -d' ' -f1 "$work/$desktop" | median)
  x_cpu=$(cut -d' ' -f2 "$work/$desktop" | median)
  together=$(awk '{ print $1 + $2 }' "$work/$desktop" | median)
  wall=$(cut -d' ' -f3 "$work/$desktop" | median)
  dry=$(cut -d' ' -f4 "$work/$desktop" | sort -n | tail -1)
  printf '%-10s %12s %12s %12s %10s %12s\n' "$desktop" "$program_cpu" "$x_cpu" "$together" "$wall" "$dry"
done
