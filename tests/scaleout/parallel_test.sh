#!/usr/bin/env bash
# A part list checked on every core through GNU parallel (scripts/run-parallel,
# three shards) gives the result file, reports and part log lines of a single
# run; a shard whose result is lost makes the merge fail and name it.
#
# Usage: parallel_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
test_name=scaleout_parallel
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$build/scaleout/parallel
rm -rf "$work"
mkdir -p "$work"
source "$source/tests/scaleout/common.sh"

command -v parallel >/dev/null || { echo "SKIP: GNU parallel is not installed (scripts/install-deps)"; exit 77; }

make_list "$work/single"
single_run "$work/single"
make_list "$work/sharded"
(cd "$work/sharded" && "$source/scripts/run-parallel" -n 3 --orvel "$orvel" list.txt \
  out/result.csv out/syslog.txt -- --outdir out) || fail "run-parallel failed"
compare_runs "$work/single" "$work/sharded" 3

cd "$work/sharded" || fail "no working directory"

# A single part goes to shard 1 only, before its piece of the list.
with_single=(--single-part parts/cover.prt --part-list list.txt --outdir out)
"$orvel" batch "${with_single[@]}" --result-file out/single.csv 2>/dev/null ||
  fail "the single run with a single part failed"
for k in 1 2; do
  "$orvel" batch "${with_single[@]}" --result-file out/two.csv --shard "$k/2" 2>/dev/null ||
    fail "shard $k/2 with a single part failed"
done
"$orvel" merge --part-list list.txt --shards 2 --result-file out/two.csv \
  --single-part parts/cover.prt || fail "the merge with a single part failed"
cmp out/single.csv out/two.csv || fail "the merged result with a single part differs"

# A lost shard is named, and the merged result is left as it was.
rm out/result.shard-2-of-3.csv
before=$(cksum <out/result.csv)
"$orvel" merge --part-list list.txt --shards 3 --result-file out/result.csv 2>out/merge.stderr
status=$?
[ $status -eq 6 ] || fail "merge with a missing shard exited $status, 6 expected"
grep -q 'shard 2 of 3 (out/result.shard-2-of-3.csv): missing' out/merge.stderr ||
  fail "the missing shard is not named: $(cat out/merge.stderr)"
[ "$(cksum <out/result.csv)" = "$before" ] || fail "a failed merge changed the result file"
echo "$test_name: merged result equals the single run's"
