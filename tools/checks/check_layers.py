#!/usr/bin/env python3
"""Checks the include arrows of the tree against the layer table of docs/architecture.md.

The table is the one under the heading "## Layers and the arrows they allow": one row per layer,
its folders, and the layers its files may include. Every quoted include of a file under src/, include/kdp/,
replay/, minihost/ or apps/ is mapped to the layer that owns the included file; an arrow the table does not allow,
or a table whose arrows form a cycle, fails the check with one line per fault.

  check_layers.py [--root DIR]     check a tree (default: the repository holding this script)
  check_layers.py --self-test      show that the check fails on an upward arrow and on a cycle
"""
import argparse
import os
import re
import sys
import tempfile

TABLE_HEADING = "## Layers and the arrows they allow"
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def read_table(doc_path):
    """{layer: (folders, allowed layers)} in table order, from the architecture document."""
    with open(doc_path, encoding="utf-8") as f:
        text = f.read()
    start = text.find(TABLE_HEADING)
    if start < 0:
        raise SystemExit(f"{doc_path}: no section '{TABLE_HEADING}'")
    layers = {}
    for line in text[start:].splitlines()[1:]:
        if line.startswith("## "):
            break
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if not line.startswith("|") or len(cells) < 3 or cells[0] in ("layer", "") or set(cells[0]) <= {"-"}:
            continue
        name = cells[0].strip("`")
        folders = re.findall(r"`([^`]+)`", cells[1])
        allowed = set(re.findall(r"`([^`]+)`", cells[2]))
        layers[name] = (folders, allowed)
    if not layers:
        raise SystemExit(f"{doc_path}: the layer table is empty")
    return layers


def owner_of(path, layers):
    """The layer whose folder (or file) is the longest prefix of `path`; None when no layer owns it."""
    best, best_len = None, -1
    for name, (folders, _) in layers.items():
        for folder in folders:
            if (path == folder or path.startswith(folder.rstrip("/") + "/")) and len(folder) > best_len:
                best, best_len = name, len(folder)
    return best


def target_of(include, source_dir, root, layers):
    """The repository path an include names, or None for a system or unknown header."""
    candidates = [os.path.join("include", include), os.path.join("src", include),
                  os.path.normpath(os.path.join(source_dir, include))]
    for candidate in candidates:
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def find_cycle(layers):
    """A cycle of the table's arrows as a list of layers, or None."""
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(layers[node][1]):
            if nxt not in layers:
                continue
            if state.get(nxt) == "open":
                return trail[trail.index(nxt):] + [nxt] if nxt in trail else [node, nxt]
            if nxt not in state:
                found = visit(nxt, trail + [nxt])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in layers:
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def check(root):
    layers = read_table(os.path.join(root, "docs", "architecture.md"))
    faults = []
    for name, (_, allowed) in layers.items():
        for other in sorted(a for a in allowed - set(layers) if "/" not in a):
            faults.append(f"table: layer {name} allows {other}, which is not a layer")
    cycle = find_cycle({name: (folders, {a for a in allowed if a in layers}) for name, (folders, allowed) in layers.items()})
    if cycle:
        faults.append("table: the arrows form a cycle: " + " -> ".join(cycle))
    for top in ("src", "include/kdp", "replay", "minihost", "apps"):
        for directory, _, files in os.walk(os.path.join(root, top)):
            for file in sorted(files):
                if not file.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(directory, file), root)
                source = owner_of(path, layers)
                if source is None:
                    faults.append(f"{path}: no layer owns this file")
                    continue
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for include in INCLUDE.findall(text):
                    target_path = target_of(include, os.path.dirname(path), root, layers)
                    if target_path is None:
                        continue
                    target = owner_of(target_path, layers)
                    allowed = layers[source][1]
                    if target is None or target == source or target in allowed:
                        continue
                    # An allowed entry with a "/" is a folder: everything under it may be included.
                    if any("/" in entry and target_path.startswith(entry) for entry in allowed):
                        continue
                    faults.append(f"{path}: includes \"{include}\" ({target}), which layer {source} may not")
    return faults


def self_test():
    """Builds small trees with a deliberate fault each and checks that the check reports it."""
    table = ("# Architecture\n\n" + TABLE_HEADING + "\n\n| layer | folders | may include |\n|---|---|---|\n"
             "| `base` | `src/base/` | |\n| `top` | `src/top/` | `base` |\n{extra}\n## Next\n")

    def tree(files, extra=""):
        root = tempfile.mkdtemp(prefix="layers-")
        os.makedirs(os.path.join(root, "docs"))
        with open(os.path.join(root, "docs", "architecture.md"), "w", encoding="utf-8") as f:
            f.write(table.format(extra=extra))
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        return root

    clean = {"src/base/a.h": "#pragma once\n", "src/top/b.h": '#include "base/a.h"\n'}
    cases = [
        ("a downward arrow passes", tree(clean), None),
        ("an upward arrow fails", tree({**clean, "src/base/c.cpp": '#include "top/b.h"\n'}),
         'src/base/c.cpp: includes "top/b.h" (top), which layer base may not'),
        ("a cycle in the table fails", tree(clean, "| `loop` | `src/loop/` | `loop2` |\n| `loop2` | | `loop` |"),
         "table: the arrows form a cycle"),
        ("a file no layer owns fails", tree({**clean, "src/stray/d.h": "#pragma once\n"}),
         "src/stray/d.h: no layer owns this file"),
    ]
    failed = 0
    for title, root, expected in cases:
        faults = check(root)
        ok = not faults if expected is None else any(expected in fault for fault in faults)
        print(f"{'ok  ' if ok else 'FAIL'} {title}" + ("" if ok else f": {faults}"))
        failed += not ok
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return 1 if self_test() else 0
    faults = check(args.root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layer table of docs/architecture.md")
        return 1
    print("every include follows the layer table")
    return 0


if __name__ == "__main__":
    sys.exit(main())
