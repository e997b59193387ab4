#!/usr/bin/env bash
# Kills a batch run with SIGKILL at random points, several times over the
# same output directory, and checks what a reader finds afterwards: every
# report present is whole (well-formed, ending with the root's end tag) and
# the result file holds only whole lines.
#
# Usage: kill_batch.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$build/e2e/kill_batch
orvel=$build/bin/orvel
rounds=6

fail() {
  echo "kill_batch: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work/out"
cp -r "$source/examples" "$work/parts"
cd "$work" || fail "no working directory"
# A list long enough that no run ends before it is killed.
for _ in $(seq 1 150); do printf '%s\n' parts/*.prt; done >parts.txt

check_outputs() {
  local report last
  while read -r report; do
    xmllint --noout "$report" 2>/dev/null || fail "round $1: $report is not well-formed"
    last=$(tail -n 1 "$report")
    [ "$last" = "</Trellum_VettraData>" ] || fail "round $1: $report ends with '$last'"
  done < <(find out -name '*.xml')
  if [ -s out/result.txt ]; then
    [ "$(tail -c 1 out/result.txt | od -An -c | tr -d ' ')" = '\n' ] ||
      fail "round $1: the result file ends with half a line"
    [ "$(head -n 1 out/result.txt)" = "ObjectCLI;ResultCode;ResultMsg;xml_filename" ] ||
      fail "round $1: the result file lost its header"
    # A part's name may hold ";"; code, message and path follow it.
    tail -n +2 out/result.txt | grep -vqE '^.+;-?[0-9]+;[^;]+;[^;]+$' &&
      fail "round $1: the result file holds a line that is no record"
  fi
  return 0
}

killed=0
for round in $(seq 1 "$rounds"); do
  "$orvel" batch --part-list parts.txt --outdir out --result-file out/result.txt \
    --syslog out/syslog.txt >/dev/null 2>&1 &
  pid=$!
  sleep "0.$((RANDOM % 9 + 1))$((RANDOM % 10))"
  kill -KILL "$pid" 2>/dev/null && killed=$((killed + 1))
  wait "$pid" 2>/dev/null
  check_outputs "$round"
done
[ "$killed" -gt 0 ] || fail "no run was killed: the list is too short to test anything"
reports=$(find out -name '*.xml' | wc -l)
[ "$reports" -gt 0 ] || fail "no report was written before the kills"
echo "kill_batch: $killed of $rounds runs killed; $reports reports whole, result file whole"
