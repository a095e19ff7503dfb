#!/usr/bin/python3
"""Writes the list of a release's converters that the program carries: one
line per converter, "<kind> <size> <XXH64 digest in 16 hex digits>", the
program's own kind first. The program compares the installed tool with it.

    tool_fingerprints.py <output> <kind>=<converter> [<kind>=<converter>...]
"""
import os
import sys

import xxhash


def fingerprint(path):
    digest = xxhash.xxh64()
    with open(path, "rb") as tool:
        for block in iter(lambda: tool.read(1 << 20), b""):
            digest.update(block)
    return os.path.getsize(path), digest.hexdigest()


def main(output, *tools):
    lines = []
    for entry in tools:
        kind, path = entry.split("=", 1)
        size, digest = fingerprint(path)
        lines.append("%s %d %s\n" % (kind, size, digest))
    with open(output + ".part", "w", newline="") as out:
        out.writelines(lines)
    os.replace(output + ".part", output)


if __name__ == "__main__":
    main(*sys.argv[1:])
