#!/usr/bin/env python3
"""Writes a large assembly of part files for the benchmarks.

The top assembly holds components over several levels (sub-assemblies down
to shared leaf parts) and bodies of its own, so that the work part shows
about the requested number of bodies (its own plus one occurrence body for
every body reached through the components). Every layer from 0 to 256
carries objects. The output is the same for the same arguments.
"""

import argparse
import json
import math
import os
import random
import sys

LAYERS = 257


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("outdir", help="directory that receives the part files")
    p.add_argument("--bodies", type=int, default=20000,
                   help="bodies shown in the top assembly (default 20000)")
    p.add_argument("--fanout", default="5,5,8,24",
                   help="components per assembly at each level, top first "
                        "(default 5,5,8,24: 5030 components over four levels)")
    p.add_argument("--leaf-parts", type=int, default=400,
                   help="distinct leaf part files shared by the lowest level")
    p.add_argument("--leaf-bodies", type=int, default=4,
                   help="bodies of each leaf part")
    p.add_argument("--seed", type=int, default=1)
    return p.parse_args(argv)


class Objects:
    """The object list of one part file, with ids unique in the part."""

    def __init__(self):
        self.items = []
        self.count = 0

    def add(self, kind, **fields):
        self.count += 1
        obj = {"id": "%s%d" % (kind[0], self.count), "kind": kind}
        obj.update(fields)
        self.items.append(obj)
        return obj["id"]


def shape(rng, index):
    """A block, cylinder, sphere or small box mesh at a random spot."""
    x, y, z = (round(rng.uniform(-500, 500), 3) for _ in range(3))
    kind = index % 10
    if kind < 6:
        return {"type": "block", "corner": [x, y, z],
                "size": [round(rng.uniform(1, 40), 3) for _ in range(3)]}
    if kind < 8:
        return {"type": "cylinder", "base": [x, y, z],
                "axis": [rng.choice([0, 1]), rng.choice([0, 1]), 1],
                "radius": round(rng.uniform(1, 10), 3),
                "height": round(rng.uniform(2, 50), 3)}
    if kind < 9:
        return {"type": "sphere", "centre": [x, y, z],
                "radius": round(rng.uniform(1, 15), 3)}
    return box_mesh([x, y, z], [round(rng.uniform(1, 20), 3) for _ in range(3)])


def box_mesh(c, s):
    vertices = [[c[0] + (s[0] if i & 1 else 0), c[1] + (s[1] if i & 2 else 0),
                 c[2] + (s[2] if i & 4 else 0)] for i in range(8)]
    triangles = [[0, 2, 1], [1, 2, 3], [4, 5, 6], [5, 7, 6], [0, 1, 4], [1, 5, 4],
                 [2, 6, 3], [3, 6, 7], [0, 4, 2], [2, 4, 6], [1, 3, 5], [3, 7, 5]]
    return {"type": "mesh", "vertices": vertices, "triangles": triangles}


def add_bodies(objs, rng, count, first_layer, materials):
    """`count` solid bodies with one to three features each; returns their ids."""
    bodies = []
    for i in range(count):
        features = [objs.add("feature", feature_type=rng.choice(["BLOCK", "EXTRUDE", "BLEND"]),
                             suppressed=rng.random() < 0.05,
                             status=rng.choice(["alive"] * 9 + ["condemned"]))
                    for _ in range(rng.randint(1, 3))]
        fields = {"name": "BODY_%d" % i, "layer": (first_layer + i) % LAYERS,
                  "color": rng.randint(1, 216), "font": rng.randint(1, 7),
                  "body_type": "solid", "density": round(rng.uniform(1e-6, 8e-6), 9),
                  "features": features, "shape": shape(rng, i)}
        if materials and i % 3 == 0:
            fields["material"] = materials[i % len(materials)]
        bodies.append(objs.add("body", **fields))
    return bodies


def add_materials(objs):
    return [objs.add("material", name=n) for n in ("STEEL", "ALUMINIUM", "BRASS")]


def orientation(rng):
    """A rotation about Z by a random angle, rows of the matrix."""
    a = rng.uniform(0, 2 * math.pi)
    c, s = math.cos(a), math.sin(a)
    return [[c, -s, 0.0], [s, c, 0.0], [0.0, 0.0, 1.0]]


def add_components(objs, rng, children, first_layer):
    """One component per child part, each with the attributes the check reads;
    every fourth is mated to the one before."""
    ids = []
    for i, child in enumerate(children):
        fields = {"name": "COMP_%d" % i, "instance_name": "INST_%d" % i, "part": child,
                  "layer": (first_layer + i) % LAYERS,
                  "origin": [round(rng.uniform(-2000, 2000), 3) for _ in range(3)],
                  "orientation": orientation(rng)}
        fields["attributes"] = [{"title": "VQ GEOMETRY", "type": "string", "value": "YES"},
                                {"title": "CALLOUT", "type": "string", "value": str(i + 1)}]
        if i % 10 == 0:
            fields["attributes"].append(
                {"title": "REFERENCE_COMPONENT", "type": "string", "value": ""})
        if i % 4 == 1:
            fields["mating"] = {"name": "MATE_%d" % i, "mated": ids[-1], "constraints": 3}
        ids.append(objs.add("component", **fields))
    return ids


def add_expressions(objs, count):
    for i in range(count):
        objs.add("expression", name="p%d" % i, formula="%d*2" % i, value=float(i * 2))


def part_attributes(count):
    return [{"title": "ATTR_%02d" % i, "type": "string", "value": "value %d" % i}
            for i in range(count)]


def part_document(objs, description, attributes=None):
    doc = {"format": "orvel part", "version": 1, "description": description}
    if attributes:
        doc["attributes"] = attributes
    doc["objects"] = objs.items
    return doc


def write_part(outdir, name, document):
    path = os.path.join(outdir, name)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        json.dump(document, f, separators=(",", ":"))
        f.write("\n")


class Generator:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.fanout = [int(f) for f in args.fanout.split(",")]
        self.leaf_count = 0
        self.files = 0
        self.components = 0

    def leaf_name(self, index):
        return "leaf_%04d.prt" % index

    def write_leaves(self):
        for i in range(self.args.leaf_parts):
            objs = Objects()
            materials = add_materials(objs)
            add_bodies(objs, self.rng, self.args.leaf_bodies, i, materials)
            write_part(self.args.outdir, self.leaf_name(i), part_document(objs, "leaf %d" % i))
            self.files += 1

    def next_leaf(self):
        name = self.leaf_name(self.leaf_count % self.args.leaf_parts)
        self.leaf_count += 1
        return name

    def write_assembly(self, level, path):
        """Writes the assembly at `level` below the top; returns its file name."""
        children = []
        for i in range(self.fanout[level]):
            if level + 1 == len(self.fanout):
                children.append(self.next_leaf())
            else:
                children.append(self.write_assembly(level + 1, path + [i]))
        self.components += len(children)
        if level == 0:
            return children
        name = "sub_%s.prt" % "_".join(str(i) for i in path)
        objs = Objects()
        add_components(objs, self.rng, children, level * 31)
        write_part(self.args.outdir, name, part_document(objs, "sub-assembly " + name))
        self.files += 1
        return name

    def write_top(self, children):
        objs = Objects()
        materials = add_materials(objs)
        shown = self.leaf_count * self.args.leaf_bodies
        own = max(0, self.args.bodies - shown)
        add_expressions(objs, 200)
        bodies = add_bodies(objs, self.rng, own, 0, materials)
        components = add_components(objs, self.rng, children, 0)
        half = len(bodies) // 2
        objs.add("reference_set", name="BODIES_A", members=bodies[:half])
        objs.add("reference_set", name="BODIES_B", members=bodies[half:] + components)
        objs.add("reference_set", name="COMPONENTS", members=components)
        write_part(self.args.outdir, "top.prt",
                   part_document(objs, "large assembly", part_attributes(20)))
        self.files += 1
        return own, shown


def main(argv):
    args = parse_args(argv)
    os.makedirs(args.outdir, exist_ok=True)
    gen = Generator(args)
    gen.write_leaves()
    children = gen.write_assembly(0, [])
    own, shown = gen.write_top(children)
    print("%s: %d part files, %d components over %d levels, %d bodies (%d own, %d through "
          "components)" % (os.path.join(args.outdir, "top.prt"), gen.files, gen.components,
                           len(gen.fanout), own + shown, own, shown))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
