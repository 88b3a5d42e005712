#!/usr/bin/python3
"""Renders songs with modrender and with outside players used as yardsticks
(xmp and openmpt123, Debian packages, run as black boxes: render, then
compare the WAV files) and reports per song:

- the song length of each render, and whether ours lies within 1 % of the
  yardsticks where they agree with each other within 1 %;
- how alike ours sounds to each yardstick over the first minute: the
  correlation of log band energies in short frames. Each band's mean over
  time is taken out first, so the measure is blind to overall level and to a
  different balance of high and low, but a wrong pitch moves energy between
  bands, a wrong tempo or a missing note changes when bands rise and fall.
  A small shift between the renders (up to about 0.1 s) is searched for and
  allowed.

Usage: tools/compare-renders.py [--modrender PATH] [--seconds S]
                                [--markdown] SONG_OR_FOLDER...
Needs python3-numpy, xmp and openmpt123 (cmake/install-deps.sh bench).
"""
import argparse
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

RATE = 48000
FRAME = 2048  # about 43 ms
HOP = 1024
BANDS = 24  # log-spaced from 60 Hz to 16 kHz
MOST_LAG = 5  # hops, about 0.1 s
SONG_SUFFIXES = (".xm", ".s3m", ".mod")


def read_wav(path):
    """The render as float stereo frames, and its length in seconds."""
    with wave.open(path, "rb") as wav:
        if wav.getsampwidth() != 2 or wav.getframerate() != RATE:
            raise ValueError(f"{path}: not 16-bit {RATE} Hz")
        frames = wav.readframes(wav.getnframes())
        channels = wav.getnchannels()
    data = np.frombuffer(frames, dtype="<i2").astype(np.float64) / 32768.0
    data = data.reshape(-1, channels)
    return data, len(data) / RATE


def band_energies(samples, seconds):
    """Log energy of each band in each frame of the first `seconds`."""
    mono = samples[: int(seconds * RATE)].mean(axis=1)
    count = max(0, (len(mono) - FRAME) // HOP + 1)
    if count < 2 * MOST_LAG + 2:
        return None
    window = np.hanning(FRAME)
    index = np.arange(FRAME)[None, :] + HOP * np.arange(count)[:, None]
    spectrum = np.abs(np.fft.rfft(mono[index] * window, axis=1)) ** 2
    edges = np.geomspace(60, 16000, BANDS + 1) * FRAME / RATE
    edges = np.round(edges).astype(int)
    bands = np.stack(
        [spectrum[:, lo : max(hi, lo + 1)].sum(axis=1) for lo, hi in zip(edges, edges[1:])],
        axis=1,
    )
    # A floor relative to the render's own loudness keeps silence from
    # dominating and leaves the measure blind to level.
    floor = 1e-5 * bands.mean() + 1e-20
    return np.log10(bands + floor)


def likeness(ours, theirs):
    """Correlation of the band energies with each band's mean removed, at
    the best small shift between the two renders."""
    n = min(len(ours), len(theirs)) - MOST_LAG
    best = -1.0
    for lag in range(-MOST_LAG, MOST_LAG + 1):
        a = ours[MOST_LAG : n]
        b = theirs[MOST_LAG + lag : n + lag]
        a = a - a.mean(axis=0)
        b = b - b.mean(axis=0)
        denominator = np.sqrt((a * a).sum() * (b * b).sum())
        if denominator > 0:
            best = max(best, float((a * b).sum() / denominator))
    return best


def render(tool, song, out):
    commands = {
        "modrender": [ARGS.modrender, song, out],
        "xmp": ["xmp", "-q", "-f", str(RATE), "-o", out, song],
        "openmpt123": [
            "openmpt123", "--batch", "--quiet", "--samplerate", str(RATE), "--no-float",
            "--force", "-o", out, song,
        ],
    }
    result = subprocess.run(commands[tool], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            text=True, errors="replace", check=False)
    if result.returncode != 0 or not os.path.exists(out):
        return None, result.stderr.strip().splitlines()[-1:] or ["failed"]
    return read_wav(out), None


def songs(paths):
    for path in paths:
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                if name.lower().endswith(SONG_SUFFIXES):
                    yield os.path.join(path, name)
        else:
            yield path


def within(a, b, share=0.01):
    return abs(a - b) <= share * max(a, b)


def compare(song, work):
    renders = {}
    for tool in ("modrender", "xmp", "openmpt123"):
        got, error = render(tool, song, os.path.join(work, tool + ".wav"))
        renders[tool] = got
        if got is None:
            print(f"{os.path.basename(song)}: {tool}: {error[0]}", file=sys.stderr)
    if renders["modrender"] is None:
        return None
    ours, our_length = renders["modrender"]
    ours_bands = band_energies(ours, ARGS.seconds)
    row = {"song": os.path.basename(song), "ours": our_length}
    for tool in ("xmp", "openmpt123"):
        if renders[tool] is None:
            row[tool] = row[tool + "_like"] = None
            continue
        theirs, length = renders[tool]
        row[tool] = length
        theirs_bands = band_energies(theirs, ARGS.seconds)
        both = ours_bands is not None and theirs_bands is not None
        row[tool + "_like"] = likeness(ours_bands, theirs_bands) if both else None
    lengths = [row[t] for t in ("xmp", "openmpt123") if row[t] is not None]
    agree = len(lengths) == 2 and within(*lengths)
    row["length_ok"] = all(within(our_length, x) for x in lengths) if agree else None
    return row


def show(value, form):
    return "-" if value is None else format(value, form)


def main():
    rows = []
    with tempfile.TemporaryDirectory() as work:
        for song in songs(ARGS.paths):
            row = compare(song, work)
            if row:
                rows.append(row)
    head = ["song", "modrender s", "xmp s", "openmpt123 s", "length", "like xmp",
            "like openmpt123"]
    lines = []
    for r in rows:
        verdict = {True: "ok", False: "MISS", None: "yardsticks differ"}[r["length_ok"]]
        lines.append([r["song"], show(r["ours"], ".2f"), show(r["xmp"], ".2f"),
                      show(r["openmpt123"], ".2f"), verdict, show(r["xmp_like"], ".3f"),
                      show(r["openmpt123_like"], ".3f")])
    if ARGS.markdown:
        print("| " + " | ".join(head) + " |")
        print("|" + "---|" * len(head))
        for line in lines:
            print("| " + " | ".join(line) + " |")
    else:
        widths = [max(len(str(x)) for x in column) for column in zip(head, *lines)]
        for line in [head] + lines:
            print("  ".join(str(x).ljust(w) for x, w in zip(line, widths)))


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--modrender", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "build", "bin", "modrender"))
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--markdown", action="store_true")
    ARGS = parser.parse_args()
    main()
