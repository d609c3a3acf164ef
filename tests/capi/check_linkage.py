#!/usr/bin/env python3
"""Fails when any of the given ELF files needs Qt, directly or through its dependencies.

    check_linkage.py FILE...
"""
import subprocess
import sys


def main():
    bad = False
    for path in sys.argv[1:]:
        needed = subprocess.run(["readelf", "-d", path], capture_output=True, text=True, check=True).stdout
        resolved = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
        hits = [line.strip() for line in (needed + resolved).splitlines() if "libqt" in line.lower()]
        if hits:
            print(f"check_linkage: {path} links Qt: " + "; ".join(hits), file=sys.stderr)
            bad = True
        else:
            print(f"check_linkage: {path}: no Qt ({len(resolved.splitlines())} libraries resolved)")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
