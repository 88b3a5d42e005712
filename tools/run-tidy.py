#!/usr/bin/env python3
"""Runs clang-tidy (configured by the checked-in .clang-tidy files) over the
project's own sources in a build folder's compile_commands.json, two at a time.

A full run takes minutes on two cores, so a source that passed is remembered
by a fingerprint of everything its result depends on: the tidy version and
configuration, the compile command and the preprocessed source with every
header it includes. Unchanged sources are not checked again.

Usage: tools/run-tidy.py [BUILD_DIR]   (default: build)
Exit code 0 when every source is clean, 1 otherwise.
"""
import concurrent.futures
import hashlib
import json
import pathlib
import re
import shlex
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FOLDERS = {"base", "app", "grid", "show", "player", "audio", "platform", "tools", "tests", "bench", "fuzz"}
JOBS = 2
# Splits clang-tidy's output before each "file:line:column: error:" line.
FINDING = re.compile(r"^(?=\S+:\d+:\d+: (?:error|warning):)", re.MULTILINE)


def own_sources(database):
    for entry in database:
        path = pathlib.Path(entry["file"]).resolve()
        try:
            relative = path.relative_to(ROOT)
        except ValueError:
            continue  # generated sources live in the build folder
        if relative.parts[0] in FOLDERS:
            yield entry


def preprocessed(entry):
    """The compile command turned into one that prints the preprocessed source."""
    words = shlex.split(entry["command"])
    kept = []
    skip_next = False
    for word in words:
        if skip_next:
            skip_next = False
        elif word == "-o":
            skip_next = True
        elif word != "-c":
            kept.append(word)
    result = subprocess.run(kept + ["-E"], cwd=entry["directory"], capture_output=True)
    return result.stdout if result.returncode == 0 else None


def fingerprint(entry, settings):
    text = preprocessed(entry)
    if text is None:
        return None  # let clang-tidy report why it does not compile
    digest = hashlib.sha256(settings)
    digest.update(entry["command"].encode())
    digest.update(text)
    return digest.hexdigest()


def check(entry, build, settings, stamps):
    key = fingerprint(entry, settings)
    if key and (stamps / key).exists():
        return entry["file"], True, None
    result = subprocess.run(["clang-tidy", "--quiet", "-p", str(build), entry["file"]],
                            capture_output=True, text=True)
    if result.returncode == 0:
        if key:
            (stamps / key).touch()
        return entry["file"], False, None
    noise = re.compile(r"^\d+ warnings? generated\.$")
    lines = (result.stdout + result.stderr).splitlines(keepends=True)
    return entry["file"], False, "".join(l for l in lines if not noise.match(l.strip()))


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build").resolve()
    database = json.loads((build / "compile_commands.json").read_text())
    version = subprocess.run(["clang-tidy", "--version"], capture_output=True).stdout
    configs = [ROOT / ".clang-tidy"] + sorted(p for folder in FOLDERS
                                              for p in (ROOT / folder).glob("**/.clang-tidy"))
    settings = version + b"".join(p.read_bytes() for p in configs)
    stamps = build / "tidy-passed"
    stamps.mkdir(exist_ok=True)

    entries = sorted(own_sources(database), key=lambda e: e["file"])
    failed = unchanged = 0
    shown = set()  # a finding in a header comes back with every source that includes it
    with concurrent.futures.ThreadPoolExecutor(JOBS) as pool:
        for source, was_unchanged, report in pool.map(
                lambda e: check(e, build, settings, stamps), entries):
            unchanged += was_unchanged
            if report is None:
                continue
            failed += 1
            for finding in FINDING.split(report):
                if finding and finding not in shown:
                    shown.add(finding)
                    print(finding, end="", flush=True)
    print(f"clang-tidy: {len(entries)} sources, {unchanged} unchanged since they passed, "
          f"{failed} with findings")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
