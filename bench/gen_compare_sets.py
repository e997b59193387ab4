#!/usr/bin/env python3
"""Writes two report sets of N pairs for the comparison benchmark.

The reports are the sample reports of the end-to-end tests (the size of the demo
reports), with their masked times and memory figures filled in, under numbered names.
The AFTER side has other times and memory figures everywhere; every tenth part has a
volume changed in its fifth digit and every hundredth one a component less, so the
comparison finds work to report.

Usage: gen_compare_sets.py SOURCE_DIR OUT_DIR N
"""
import pathlib
import re
import sys


def main():
    source, out, count = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), int(sys.argv[3])
    samples = sorted(source.glob("*.xml"))
    if not samples:
        sys.exit(f"gen_compare_sets: no reports in {source}")
    texts = [(p.stem, p.read_text(encoding="latin-1")) for p in samples]
    before_dir, after_dir = out / "before", out / "after"
    before_dir.mkdir(parents=True, exist_ok=True)
    after_dir.mkdir(parents=True, exist_ok=True)
    for i in range(count):
        stem, text = texts[i % len(texts)]
        name = f"{stem}_{i:05d}.xml"
        before = text.replace("<memory>", "8123456").replace(
            "YYYY-MM-DD hh:mm.ss", "2026-01-05 10:00.01")
        after = text.replace("<memory>", "7999999").replace(
            "YYYY-MM-DD hh:mm.ss", "2026-01-06 11:30.12")
        if i % 10 == 3:
            after = re.sub(r"<Volume>(\d+)\.(\d+)</Volume>",
                           lambda m: f"<Volume>{int(m.group(1)) + 1}.{m.group(2)}</Volume>",
                           after, count=1)
        if i % 100 == 7:
            after = re.sub(r"        <Component>\n.*?        </Component>\n", "", after,
                           count=1, flags=re.S)
        (before_dir / name).write_text(before, encoding="latin-1")
        (after_dir / name).write_text(after, encoding="latin-1")


if __name__ == "__main__":
    main()
