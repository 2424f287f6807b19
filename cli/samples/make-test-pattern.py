#!/usr/bin/env python3
"""Writes test-pattern.tst: 2880 bytes for a test-pattern slot, a ramp of every byte value 16 to
235 repeated, for trying the loader without content of your own. Standard library only."""
import sys

SIZE = 2880
LOW, HIGH = 16, 235


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "test-pattern.tst"
    span = HIGH - LOW + 1
    with open(path, "wb") as out:
        out.write(bytes(LOW + i % span for i in range(SIZE)))


if __name__ == "__main__":
    main()
