#!/usr/bin/env bash
# The comparison page in headless Chromium, as a person would look at it: the page is
# opened with one part expanded and a filter set through its address, its DOM is
# dumped after the page's script ran, and a screenshot is taken. Checks that the
# summary table lists the parts with their verdicts, that the expanded part shows its
# differences with their relative size, and that the filter hides the other parts.
# Exits 77 (skipped) when Chromium is not installed.
# Usage: page_test.sh VETTRA_COMPARE SOURCE_ROOT WORK_DIR
set -uo pipefail
cmp=$1
root=$(cd "$2" && pwd)
work=$3
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "skipped: Chromium is not installed"
  exit 77
fi
"$root/tests/compare/make_sides.sh" "$root" "$work" || exit 1
cd "$work" || exit 1
"$cmp" before after --html page.html >/dev/null
[ $? -eq 1 ] || { echo "FAIL: vettra-compare did not report differences"; exit 1; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# open NAME FRAGMENT: dumps the DOM of the page at page.html#FRAGMENT into NAME.html.
open_page() {
  local profile
  profile=$(mktemp -d "$work/profile.XXXXXX")
  timeout 60 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" "${@:3}" "file://$work/page.html#$2" >"$1.html" 2>"$1.log"
  local status=$?
  rm -rf "$profile"
  [ $status -eq 0 ] || fail "chromium exited with $status on #$2: $(tail -3 "$1.log")"
}
count() { grep -o "$1" "$2" | wc -l; }

open_page all "expand=bracket.xml" --dump-dom
[ "$(count '<tr class="part' all.html)" -eq 17 ] || fail "the table does not list 17 parts"
for row in 'data-part="bracket.xml" data-verdict="differs"' \
  'data-part="extra.xml" data-verdict="new"' 'data-part="title_block.xml" data-verdict="missing"' \
  'data-part="shaft.xml" data-verdict="unreadable"' 'data-part="gear.xml" data-verdict="within tolerance"' \
  'data-part="cover.xml" data-verdict="same"'; do
  grep -qF "$row" all.html || fail "no row $row"
done
[ "$(count '<tr class="detail"' all.html)" -eq 1 ] || fail "not exactly one part expanded"
grep -qF '<td class="path">VettraData/ModelData/Refsets/Refset[Entire Part]/Volume</td>' all.html ||
  fail "the expanded part does not show its volume difference"
grep -qF '7.14e-5</td>' all.html || fail "the volume difference lacks its relative size"
# The worst parts come first: the first row is the unreadable one.
first=$(grep -o '<tr class="part[^>]*>' all.html | head -1)
[[ $first == *'data-verdict="unreadable"'* ]] || fail "first row is not the worst: $first"

open_page filtered "filter=missing,new&expand=extra.xml" --dump-dom
[ "$(count '<tr class="part' filtered.html)" -eq 2 ] || fail "the filter does not leave 2 parts"
grep -qE '<tr class="part[^>]*data-verdict="(differs|same)"' filtered.html &&
  fail "the filter leaves a differing or same part"
grep -qF 'data-part="extra.xml"' filtered.html || fail "the filter hides a new part"

open_page shot "expand=drive_unit.xml" --screenshot="$work/page.png" --window-size=1200,900
[ -s "$work/page.png" ] && [ "$(head -c 4 "$work/page.png" | tail -c 3)" = PNG ] ||
  fail "no screenshot"

[ "$failures" -eq 0 ] && echo "page checked in $("$browser" --version 2>/dev/null)"
exit $((failures > 0))
