# shellcheck shell=bash
# Shared by the timing scripts (sourced): one command's times in
# milliseconds, and the median of numbers on standard input.

# Wall and CPU (user + system) milliseconds of one command: "WALL CPU".
timed_ms() {
  local TIMEFORMAT='%3R %3U %3S' times
  times=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk -v t="$times" 'BEGIN { split(t, v, " "); printf "%.0f %.0f\n", v[1] * 1000, (v[2] + v[3]) * 1000 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
