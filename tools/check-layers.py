#!/usr/bin/env python3
"""Checks the tree's dependency order from its #include lines.

Each folder of the program may include only the folders below it:
    base/ <- player/ <- platform/ <- grid/, show/, audio/ <- app/
(player/ and platform/ both stand on base/ alone; show/ may use grid/). A host
of the platform layer (platform/<host>/) uses only platform/host.h of the
layer, and the core (platform/core/) no host; the program uses the player
through player/player.h. Between the files of
platform/core, and between those of player/, there is no circle: a file and
its header count as one.
Prints every offending include and exits 1 if there is any.
Usage: tools/check-layers.py [ROOT]
"""
import pathlib
import re
import sys

ALLOWED = {
    "base": {"base"},
    "player": {"base", "player"},
    "platform": {"base", "platform"},
    "grid": {"base", "player", "platform", "grid"},
    "show": {"base", "player", "platform", "grid", "show"},
    "audio": {"base", "player", "platform", "audio"},
    "app": {"base", "player", "platform", "grid", "show", "audio", "app"},
}
HOST_INTERFACE = {"platform/host.h", "platform/win32.h"}
# What the program's other folders may include of the player.
PLAYER_INTERFACE = {"player/player.h", "player/embedded_song.h", "player/effect_codes.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace"))


def layer_faults(root, files):
    faults = []
    for path in files:
        rel = path.relative_to(root).as_posix()
        parts = rel.split("/")
        folder = parts[0]
        for target in includes(path):
            target_folder = target.split("/")[0]
            if target_folder not in ALLOWED:
                continue  # a system or generated header
            if target_folder not in ALLOWED[folder]:
                faults.append(f"{rel}: includes {target} ({folder}/ may not use {target_folder}/)")
                continue
            if target_folder == "player" and folder != "player" and target not in PLAYER_INTERFACE:
                faults.append(f"{rel}: includes {target} (outside player/, use player/player.h)")
                continue
            if folder != "platform" or target_folder != "platform" or len(parts) < 3:
                continue
            own = "/".join(parts[:2]) + "/"
            if parts[1] == "core":
                if target.startswith("platform/") and target.count("/") >= 2 \
                        and not target.startswith("platform/core/"):
                    faults.append(f"{rel}: includes {target} (the core knows no host)")
            elif not target.startswith(own) and target not in HOST_INTERFACE:
                faults.append(f"{rel}: includes {target} (a host uses only platform/host.h)")
    return faults


CIRCLE_FREE = ("platform/core", "player")


def circles(root, folder):
    graph = {}
    for path in sorted((root / folder).glob("*.[ch]*")):
        node = path.stem
        graph.setdefault(node, set())
        for target in includes(path):
            if target.startswith(folder + "/") and target.count("/") == folder.count("/") + 1:
                other = pathlib.PurePosixPath(target).stem
                if other != node:
                    graph[node].add(other)
    faults = []
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for other in sorted(graph.get(node, ())):
            if state.get(other) == "open":
                circle = trail[trail.index(other):] + [other]
                faults.append(f"{folder} circle: " + " -> ".join(circle))
            elif other not in state:
                visit(other, trail + [other])
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])
    return faults


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    root = root.resolve()
    files = [p for folder in ALLOWED for p in sorted((root / folder).rglob("*"))
             if p.suffix in (".h", ".cpp", ".c")]
    faults = layer_faults(root, files)
    for folder in CIRCLE_FREE:
        faults += circles(root, folder)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the order", file=sys.stderr)
        return 1
    print(f"include order holds ({len(files)} files)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
