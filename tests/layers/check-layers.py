#!/usr/bin/env python3
"""Checks that src/ keeps its layers: a source includes headers of its own
folder and of the folders its library names as dependencies (layers.txt,
written by CMake from the library declarations), those dependencies form no
cycle, and no folder grows past what one concern holds (a folder that does
has become a drawer, and wants splitting).

    check-layers.py SOURCE_DIR LAYERS_FILE
"""
import pathlib
import re
import sys

src = pathlib.Path(sys.argv[1]) / "src"
graph = {}
for line in pathlib.Path(sys.argv[2]).read_text().splitlines():
    if ":" in line:
        layer, deps = line.split(":", 1)
        graph[layer.strip()] = set(deps.split())

# Non-blank lines one folder may hold.
MAX_FOLDER_LINES = 4000

problems = []
lines_in = {}
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
for path in sorted(src.rglob("*")):
    if path.suffix not in (".cpp", ".h"):
        continue
    layer = path.parent.name
    text = path.read_text(errors="replace")
    lines_in[layer] = lines_in.get(layer, 0) + sum(1 for l in text.splitlines() if l.strip())
    if layer not in graph:
        problems.append(f"{path.relative_to(src)}: folder {layer} is no library")
        continue
    for target in include.findall(text):
        if "/" not in target:
            problems.append(f"{path.relative_to(src)}: \"{target}\" does not name its layer")
            continue
        other = target.split("/", 1)[0]
        if other != layer and other not in graph[layer]:
            problems.append(f"{path.relative_to(src)}: {layer} may not include {target}")

for layer, count in sorted(lines_in.items()):
    if count > MAX_FOLDER_LINES:
        problems.append(f"{layer}: {count} non-blank lines, more than {MAX_FOLDER_LINES} for one folder")

# Depth-first search for a cycle among our libraries.
state = {}
def visit(node, trail):
    state[node] = "open"
    for dep in sorted(graph.get(node, ())):
        if state.get(dep) == "open":
            problems.append("cycle: " + " -> ".join(trail + [node, dep]))
        elif dep not in state:
            visit(dep, trail + [node])
    state[node] = "done"
for node in sorted(graph):
    if node not in state:
        visit(node, [])

for p in problems:
    print(p)
sys.exit(1 if problems else 0)
