#!/usr/bin/env python3
"""Writes one part file with many drawings for the benchmarks.

Each drawing has a sheet view and member views; the drafting objects and
dimensions are spread over the views, with notes, anchors, retained
dimensions, subtype-37 entities, sketch dimensions, text blocks and
associations (some with deleted objects). At the default size the part holds
1000 drawings, 10,000 views and 100,000 drafting objects and dimensions;
--scale multiplies the number of drawings. The output is the same for the
same arguments.
"""

import argparse
import json
import os
import random
import sys


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("output", help="part file to write")
    p.add_argument("--drawings", type=int, default=1000, help="drawings (default 1000)")
    p.add_argument("--scale", type=float, default=1.0,
                   help="multiplies the number of drawings (default 1)")
    p.add_argument("--views", type=int, default=9,
                   help="member views per drawing, besides its sheet view (default 9)")
    p.add_argument("--objects", type=int, default=100,
                   help="drafting objects and dimensions per drawing (default 100)")
    p.add_argument("--seed", type=int, default=1)
    return p.parse_args(argv)


class Part:
    def __init__(self, rng):
        self.rng = rng
        self.objects = []

    def add(self, ident, kind, **fields):
        obj = {"id": ident, "kind": kind}
        obj.update(fields)
        self.objects.append(obj)
        return ident

    def xy(self, hi=400):
        return round(self.rng.uniform(0, hi), 3)


def annotation(part, ident, view, index, points, dead):
    """A dimension or drafting object of `view`: every fourth a note, every
    twentieth a subtype-37 entity, every tenth a sketch dimension."""
    rng = part.rng
    fields = {"view": view, "origin": [part.xy(), part.xy(), 0.0], "layer": 200 + index % 50}
    if index % 20 == 7:
        kind, fields["subtype"] = "drafting", 37
    elif index % 4 == 0:
        kind, fields["subtype"] = "drafting", 1
        fields["texts"] = [{"type": 1, "font": 1, "size": 2.5, "angle": 0.0,
                            "lines": ["NOTE %d" % index, "R & D <%d>" % (index % 7)]}]
    else:
        kind, fields["subtype"] = "dimension", 1 + index % 5
        fields["texts"] = [{"type": 1, "font": 1, "size": 3.5, "angle": 0.0,
                            "lines": ["%.1f" % rng.uniform(1, 500)]}]
        if index % 10 == 1:
            fields["sketch_value"] = round(rng.uniform(1, 500), 3)
        if index % 3 == 0:
            fields["retained"] = True
    if index % 2 == 0:
        associated = [points[index % len(points)]]
        if index % 6 == 0:
            associated.append(dead[index % len(dead)])
        fields["associated"] = associated
    fields["name"] = "%s_%s" % ("DIM" if kind == "dimension" else "DRF", ident)
    return part.add(ident, kind, **fields)


def main(argv):
    args = parse_args(argv)
    rng = random.Random(args.seed)
    part = Part(rng)
    drawings = max(1, int(round(args.drawings * args.scale)))
    dead = [part.add("dead%d" % i, "line", start=[0, 0, 0], end=[1, i, 0], status="deleted")
            for i in range(10)]
    views_total = objects_total = 0
    for d in range(drawings):
        sheet = part.add("s%d" % d, "view", name="SHEET_%d" % d, borders=[0, 0, 420, 297])
        members, points = [], []
        for v in range(args.views):
            vid = "v%d_%d" % (d, v)
            fields = {"name": "V%d@%d" % (v, d), "view_type": 1 + v % 3, "view_subtype": v % 2,
                      "reference_point": [part.xy(), part.xy()], "scale": [0.5, 1, 2][v % 3],
                      "angle": float(90 * (v % 4)), "out_of_date": v % 5 == 0,
                      "borders": [10.0, 10.0, 200.0, 150.0]}
            if v % 2 == 0:
                points.append(part.add("p%d_%d" % (d, v), "point",
                                       coordinates=[part.xy(), part.xy(), 0.0]))
                fields["anchor"] = points[-1]
            members.append((vid, fields))
        if not points:
            points.append(part.add("p%d" % d, "point", coordinates=[0.0, 0.0, 0.0]))
        placed = [sheet] + [vid for vid, _ in members]
        notes = {vid: [] for vid in placed}
        annotations = []
        for i in range(args.objects):
            aid = "a%d_%d" % (d, i)
            view = placed[i % len(placed)]
            annotations.append((aid, view, i))
            if i % 4 == 0 and view != sheet:
                notes[view].append(aid)
        for vid, fields in members:
            if notes[vid]:
                fields["notes"] = notes[vid]
            part.add(vid, "view", **fields)
        for aid, view, i in annotations:
            annotation(part, aid, view, i, points, dead)
        part.add("d%d" % d, "drawing", name="DRAWING_%d" % d, sheet_view=sheet,
                 views=[vid for vid, _ in members], out_of_date=d % 10 == 0)
        views_total += 1 + len(members)
        objects_total += len(annotations)
    doc = {"format": "orvel part", "version": 1, "description": "many drawings",
           "objects": part.objects}
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        json.dump(doc, f, separators=(",", ":"))
        f.write("\n")
    print("%s: %d drawings, %d views, %d drafting objects and dimensions"
          % (args.output, drawings, views_total, objects_total))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
