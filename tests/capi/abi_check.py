#!/usr/bin/env python3
"""Compares the built C library with the committed ABI baseline.

    abi_check.py LIBRARY HEADER LAYOUT_PROGRAM BASELINE_DIR [--update]

Fails when the exported symbols, the header's declarations, the public structs'
sizes and offsets or the enum values differ from capi/abi/; an intended change is
recorded with --update (and reviewed in the commit).
"""
import re
import subprocess
import sys
from pathlib import Path


def exported(library):
    out = subprocess.run(["nm", "-D", "--defined-only", library], capture_output=True, text=True, check=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) < 3 or parts[1] == "A":  # the version node
            continue
        names.add(parts[2].split("@")[0])
    return names


def declared(header):
    text = Path(header).read_text()
    return set(re.findall(r"ORVANE_C_EXPORT[^;]*?\b(orvane_\w+)\s*\(", text, re.S))


def compare(kind, baseline_file, actual_lines, update):
    path = Path(baseline_file)
    if update:
        path.write_text("\n".join(actual_lines) + "\n")
        print(f"abi_check: wrote {path}")
        return True
    expected = path.read_text().splitlines()
    if expected == actual_lines:
        return True
    removed = [line for line in expected if line not in actual_lines]
    added = [line for line in actual_lines if line not in expected]
    print(f"abi_check: the {kind} changed (run with --update if it is meant to):", file=sys.stderr)
    for line in removed:
        print(f"  - {line}", file=sys.stderr)
    for line in added:
        print(f"  + {line}", file=sys.stderr)
    return False


def main():
    args = [a for a in sys.argv[1:] if a != "--update"]
    update = "--update" in sys.argv
    library, header, layout, baseline = args
    symbols = exported(library)
    ok = True
    strays = sorted(s for s in symbols if not s.startswith("orvane_"))
    if strays:
        print("abi_check: exported symbols outside orvane_: " + ", ".join(strays[:20]), file=sys.stderr)
        ok = False
    header_names = declared(header)
    if header_names != symbols:
        print("abi_check: header and library differ: declared only " + ", ".join(sorted(header_names - symbols)) +
              "; exported only " + ", ".join(sorted(symbols - header_names)), file=sys.stderr)
        ok = False
    ok &= compare("exported symbols", Path(baseline) / "orvane_c.symbols", sorted(symbols), update)
    lines = subprocess.run([layout], capture_output=True, text=True, check=True).stdout.splitlines()
    ok &= compare("struct layout or enum values", Path(baseline) / "orvane_c.layout", lines, update)
    if ok:
        print(f"abi_check: {len(symbols)} symbols and {len(lines)} layout facts as recorded")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
