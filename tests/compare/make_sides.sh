#!/usr/bin/env bash
# Builds two report sets from the sample reports of the end-to-end tests, for the
# command tests and the page check:
#   before/   the sample reports, memory figures filled in
#   after/    the same a day later, with these changes:
#     bracket.xml      volume changed by 0.007 %       -> differs
#     gear.xml         a moment changed in the 7th digit -> within tolerance
#     drive_unit.xml   the cover component removed     -> differs (one difference)
#     gear_stage.xml   one component inserted          -> differs (one difference)
#     shaft.xml        cut in the middle               -> unreadable
#     title_block.xml  gone                            -> missing
#     extra.xml        added                           -> new
# Usage: make_sides.sh SOURCE_ROOT WORK_DIR
set -euo pipefail
src=$1/tests/e2e/golden/interactive_samples
work=$2
rm -rf "$work"
mkdir -p "$work/before" "$work/after"
for f in "$src"/*.xml; do
  name=$(basename "$f")
  sed -e 's/<memory>/8123456/' -e 's/YYYY-MM-DD hh:mm.ss/2026-01-05 10:00.01/' "$f" \
    >"$work/before/$name"
  sed -e 's/<memory>/7999999/' -e 's/YYYY-MM-DD hh:mm.ss/2026-01-06 11:30.12/' "$f" \
    >"$work/after/$name"
done
a=$work/after
sed -i '0,/<Volume>7000.000000</s//<Volume>7000.500000</' "$a/bracket.xml"
# gear.xml: the first moment of inertia X gains one unit in its last digit.
awk 'BEGIN { done = 0 }
     /<MomentOfInertia>/ { inside = 1 }
     inside && !done && /<X>/ { match($0, /[0-9]+\.[0-9]+/); v = substr($0, RSTART, RLENGTH);
       split(v, p, "."); last = substr(p[2], length(p[2]), 1) + 1; if (last > 9) last = 1;
       nv = p[1] "." substr(p[2], 1, length(p[2]) - 1) last; sub(v, nv); done = 1 }
     { print }' "$a/gear.xml" >"$a/gear.tmp" && mv "$a/gear.tmp" "$a/gear.xml"
sed -i '/<Component>/{N;/cover.prt/{:a;N;/<\/Component>/!ba;d}}' "$a/drive_unit.xml"
# gear_stage.xml: a copy of its first component under a new instance handle.
awk '/<Component>/ && !seen { capture = 1; seen = 1 }
     capture { block = block $0 "\n" }
     { print }
     capture && /<\/Component>/ { capture = 0; gsub(/#\/[a-z_]*inst/, "#/spacer_inst", block);
       printf "%s", block }' "$a/gear_stage.xml" >"$a/gs.tmp" && mv "$a/gs.tmp" "$a/gear_stage.xml"
head -c 2000 "$work/before/shaft.xml" >"$a/shaft.xml"
rm "$a/title_block.xml"
cp "$a/cover.xml" "$a/extra.xml"
