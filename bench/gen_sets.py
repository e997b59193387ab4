#!/usr/bin/env python3
"""Writes the part sets the figures table needs besides the large assembly.

  gen_sets.py chain OUTDIR DEPTH   a chain of sub-assemblies DEPTH deep: each
                                   part holds two bodies and one component of
                                   the next with an active arrangement; the
                                   top is OUTDIR/chain_0000.prt
  gen_sets.py batch OUTDIR COUNT   COUNT distinct small parts and a part list
                                   naming them all (OUTDIR/parts.txt)

The output is the same for the same arguments.
"""

import os
import random
import sys

from gen_large_part import (Objects, add_bodies, add_components, add_materials,
                            part_document, write_part)


def write_chain(outdir, depth):
    rng = random.Random(depth)
    for level in range(depth, -1, -1):
        objs = Objects()
        add_bodies(objs, rng, 2, level, add_materials(objs))
        if level < depth:
            add_components(objs, rng, ["chain_%04d.prt" % (level + 1)], level)
            # The check names the active arrangement of every sub-assembly.
            objs.add("arrangement", name="LEVEL_%d" % level, active=True)
        write_part(outdir, "chain_%04d.prt" % level, part_document(objs, "chain %d" % level))
    print("%s: chain of depth %d" % (os.path.join(outdir, "chain_0000.prt"), depth))


def write_batch(outdir, count):
    names = []
    for i in range(count):
        rng = random.Random(i)
        objs = Objects()
        add_bodies(objs, rng, 20, i, add_materials(objs))
        name = "batch_%04d.prt" % i
        write_part(outdir, name, part_document(objs, "batch part %d" % i))
        names.append(os.path.join(outdir, name))
    with open(os.path.join(outdir, "parts.txt"), "w", encoding="utf-8") as f:
        f.write("".join(n + "\n" for n in names))
    print("%s: %d parts" % (os.path.join(outdir, "parts.txt"), count))


def main(argv):
    if len(argv) != 3 or argv[0] not in ("chain", "batch"):
        sys.stderr.write(__doc__)
        return 2
    os.makedirs(argv[1], exist_ok=True)
    (write_chain if argv[0] == "chain" else write_batch)(argv[1], int(argv[2]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
