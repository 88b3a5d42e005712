#!/usr/bin/env bash
# The cost of a full background-voice pool: renders two generated IT songs
# that differ only in their instrument's new-note action. Sixteen channels
# strike a new note of a long looped sample on every row; with "continue"
# every replaced note goes on sounding in the background, so after four rows
# all 64 background voices sound beside the 16 channels to the song's end;
# with "cut" only the 16 channels sound. Reports each song's median wall time
# of RUNS alternating runs and its real-time factor.
# Usage: it-full-pool.sh   (BUILD_DIR, RUNS, MODRENDER_ARGS optional)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
modrender=${BUILD_DIR:-$root/build}/bin/modrender
runs=${RUNS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

# Writes an IT file: header, order list, one instrument, one 8-bit sample and
# eight 64-row patterns, laid out as ITTECH.TXT gives them.
make_song() {
  python3 - "$1" "$2" <<'EOF'
import math, struct, sys
path, action = sys.argv[1], int(sys.argv[2])
channels, patterns, rows = 16, 8, 64
header = bytearray(0xC0)
header[0:4] = b"IMPM"
struct.pack_into("<HHHHHHHH", header, 0x20, patterns + 1, 1, 1, patterns, 0x214, 0x214, 1 | 4 | 8, 0)
header[0x30:0x36] = bytes([128, 48, 6, 125, 128, 0])
for c in range(64):
    header[0x40 + c] = (c * 16) % 64 if c < channels else 0x80 | 32
    header[0x80 + c] = 64
orders = bytes(range(patterns)) + b"\xff"
instrument = bytearray(554)
instrument[0:4] = b"IMPI"
instrument[0x11] = action                            # new-note action
instrument[0x18], instrument[0x19] = 128, 32 | 0x80  # global volume, no pan
for key in range(120):
    instrument[0x40 + 2 * key], instrument[0x41 + 2 * key] = key, 1
sample_frames = 4096
sample = bytearray(0x50)
sample[0:4] = b"IMPS"
sample[0x11], sample[0x12], sample[0x13], sample[0x2E] = 64, 1 | 16, 64, 1
struct.pack_into("<IIII", sample, 0x30, sample_frames, 0, sample_frames, 8363)
wave = bytes(int(100 * math.sin(2 * math.pi * 16 * i / sample_frames)) & 255 for i in range(sample_frames))
packed = []
for p in range(patterns):
    data = bytearray()
    for r in range(rows):
        for c in range(channels):
            note = 36 + (p * 7 + r * 5 + c * 3) % 48
            data += bytes([(c + 1) | 0x80, 1 | 2, note, 1])
        data.append(0)
    packed.append(struct.pack("<HH4x", len(data), rows) + data)
at = 0xC0 + len(orders) + 4 * (1 + 1 + patterns)
instrument_at = at
sample_at = instrument_at + len(instrument)
wave_at = sample_at + len(sample)
struct.pack_into("<I", sample, 0x48, wave_at)
pattern_at = wave_at + len(wave)
offsets = [instrument_at, sample_at]
for block in packed:
    offsets.append(pattern_at)
    pattern_at += len(block)
with open(path, "wb") as out:
    out.write(header + orders + struct.pack("<%dI" % len(offsets), *offsets))
    out.write(instrument + sample + wave + b"".join(packed))
EOF
}

make_song "$work/cut.it" 0
make_song "$work/continue.it" 1
: >"$work/cut" && : >"$work/continue"
for ((i = 0; i < runs; i++)); do
  for song in cut continue; do
    # shellcheck disable=SC2086 # the extra arguments are words
    timed_ms "$modrender" "$work/$song.it" "$work/$song.wav" ${MODRENDER_ARGS:-} >>"$work/$song"
  done
done
printf '%-10s %8s %10s %10s %14s\n' action audio_s wall_ms cpu_ms real_time_x
for song in cut continue; do
  audio_s=$(awk -v bytes="$(stat -c %s "$work/$song.wav")" 'BEGIN { printf "%.1f", (bytes - 44) / 4 / 48000 }')
  wall=$(cut -d' ' -f1 "$work/$song" | median)
  cpu=$(cut -d' ' -f2 "$work/$song" | median)
  factor=$(awk -v a="$audio_s" -v w="$wall" 'BEGIN { printf "%.0f", a * 1000 / w }')
  printf '%-10s %8s %10s %10s %14s\n' "$song" "$audio_s" "$wall" "$cpu" "$factor"
done
