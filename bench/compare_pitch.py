#!/usr/bin/env python3
"""Scores pitch tracks against a reference, frame by frame.

compare_pitch.py REFERENCE_DIR TRACKER=DIR...

REFERENCE_DIR holds NAME.txt (one Hz a line, 0 unvoiced); each tracker's DIR
holds NAME.txt in the same form or NAME.dat (kelditra's pitch track). Prints
per tracker: gross errors (more than 20% off) among the frames both call
voiced, the share of all frames voiced in one and not the other, the median
error in cents where not gross, and its worst files.
"""
import math
import os
import statistics
import struct
import sys


def read_track(folder, name):
    text = os.path.join(folder, name + ".txt")
    if os.path.exists(text):
        return [float(v) for v in open(text).read().split()]
    data = open(os.path.join(folder, name + ".dat"), "rb").read()
    return [struct.unpack_from("<H", data, 66 * i + 2)[0] for i in range(len(data) // 66)]


def score(reference_dir, folder, names):
    frames = disagree = both = gross = 0
    cents = []
    per_file = []
    for name in names:
        reference = read_track(reference_dir, name)
        try:
            ours = read_track(folder, name)
        except OSError:
            continue
        file_gross = file_both = file_disagree = 0
        for r, o in zip(reference, ours):
            frames += 1
            if (r > 0) != (o > 0):
                disagree += 1
                file_disagree += 1
            if r > 0 and o > 0:
                both += 1
                file_both += 1
                if abs(o / r - 1) > 0.2:
                    gross += 1
                    file_gross += 1
                else:
                    cents.append(abs(1200 * math.log2(o / r)))
        per_file.append((file_gross + file_disagree, name))
    worst = ", ".join(f"{n} ({c})" for c, n in sorted(per_file, reverse=True)[:5] if c > 0)
    return (f"gross {100 * gross / max(both, 1):.2f}% of {both} both voiced; "
            f"voicing disagrees {100 * disagree / max(frames, 1):.2f}% of {frames}; "
            f"median {statistics.median(cents) if cents else 0:.1f} cents\n"
            f"    worst files (frames gross or disagreeing): {worst or 'none'}")


def main():
    reference_dir = sys.argv[1]
    names = sorted(n[:-4] for n in os.listdir(reference_dir) if n.endswith(".txt"))
    for argument in sys.argv[2:]:
        tracker, folder = argument.split("=", 1)
        print(f"{tracker:>9}: {score(reference_dir, folder, names)}")


main()
