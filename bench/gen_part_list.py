#!/usr/bin/env python3
"""Writes many small parts and a part list naming them, for the sharding benchmark.

Each part holds a few bodies with their features, expressions and part
attributes (the pieces of gen_large_part.py); every tenth is an assembly of
four of the others. The list names every part once, relative to the list's
directory. The output is the same for the same arguments.
"""

import argparse
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_large_part import (Objects, add_bodies, add_components, add_expressions,  # noqa: E402
                            add_materials, part_attributes, part_document, write_part)


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("outdir", help="directory that receives parts/ and list.txt")
    p.add_argument("--parts", type=int, default=1000, help="parts to write (default 1000)")
    p.add_argument("--bodies", type=int, default=40, help="bodies of each part (default 40)")
    p.add_argument("--seed", type=int, default=1)
    return p.parse_args(argv)


def main(argv):
    args = parse_args(argv)
    rng = random.Random(args.seed)
    parts = os.path.join(args.outdir, "parts")
    os.makedirs(parts, exist_ok=True)
    names = ["part_%05d.prt" % i for i in range(args.parts)]
    for i, name in enumerate(names):
        objs = Objects()
        add_bodies(objs, rng, args.bodies, i, add_materials(objs))
        add_expressions(objs, 20)
        if i % 10 == 9:
            add_components(objs, rng, names[i - 9:i - 5], i)
        write_part(parts, name, part_document(objs, "bench part %d" % i, part_attributes(10)))
    with open(os.path.join(args.outdir, "list.txt"), "w", newline="\n") as f:
        for name in names:
            f.write("parts/%s\n" % name)
    print("%d parts and list.txt in %s" % (args.parts, args.outdir))


if __name__ == "__main__":
    main(sys.argv[1:])
