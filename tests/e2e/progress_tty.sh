#!/usr/bin/env bash
# A list run shows its progress on standard error when that is a terminal and
# the system log goes to a file: run once on a pseudo-terminal (script) and
# once with standard error in a file. The progress names each part k of n and
# the failures so far; the system log and the result file are the same in
# both runs but for times, dates and memory figures.
# Usage: progress_tty.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
orvel=$build/bin/orvel
work=$build/e2e/progress_tty
fail() {
  echo "progress_tty: $*" >&2
  exit 1
}
command -v script >/dev/null || {
  echo "progress_tty: skipped, no script command (util-linux)"
  exit 0
}

rm -rf "$work"
mkdir -p "$work/tty" "$work/file"
cd "$work" || fail "no working directory"
cp "$source"/examples/plate_drawings.prt "$source"/examples/bracket.prt .
printf '%s\n' plate_drawings.prt missing.prt bracket.prt >parts.txt

run() {
  "$orvel" batch --part-list parts.txt --outdir "$1" --result-file "$1/result.txt" \
    --action none --syslog "$1/syslog.txt"
}
export TZ=UTC LC_ALL=C
script -qec "$(declare -f run); orvel=$orvel; run tty" tty/terminal.txt >/dev/null ||
  fail "run on a terminal failed"
run file 2>file/stderr.txt || fail "run with standard error in a file failed"

terminal=$(tr '\r' '\n' <tty/terminal.txt)
for expected in "orvel: part 1 of 3, 0 failed so far" "orvel: part 2 of 3, 0 failed so far" \
  "orvel: part 3 of 3, 1 failed so far" "orvel: 3 of 3 parts done, 1 failed"; do
  grep -qF "$expected" <<<"$terminal" || fail "no '$expected' on the terminal: $terminal"
done
[ -s file/stderr.txt ] && fail "progress written although standard error is a file"

mask() {
  sed -E -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}\.[0-9]{2}/<time>/g' \
    -e 's/(Mon|Tue|Wed|Thu|Fri|Sat|Sun) [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4}/<ctime>/g' \
    -e 's/(Real Time = )[0-9.]+/\1<s>/g' -e 's#(tty|file)/#<dir>/#g' \
    -e 's/(Memory Load    = |dwAvailPhys = |dwAvailPageFile = |dwAvailVirtual = )-?[0-9]+/\1<m>/g' \
    -e 's/(<(Start|End)LoadPartMemoryAllocation>)-?[0-9]+/\1<m>/g' "$1"
}
for name in syslog.txt result.txt; do
  diff <(mask "tty/$name") <(mask "file/$name") || fail "$name differs with progress shown"
done
echo "progress_tty: passed"
