# shellcheck shell=bash disable=SC2154
# Sourced by the scale-out tests: a part list with every kind of line, a
# single batch run over it, and the comparison of a sharded run's merged
# outputs with the single run's.
#
# Expects: build (build directory), source (source directory), work (an
# empty working directory); sets orvel.

orvel=$build/bin/orvel
source "$source/tests/e2e/mask.sh"
export TZ=UTC LC_ALL=C

fail() {
  echo "$test_name: $*" >&2
  exit 1
}

# Writes DIR/list.txt over the sample parts copied to DIR/parts: good parts,
# a missing one, an empty line, a CR LF line, a line of 1100 characters (two
# reads of the plug-in) and a last line without a line feed. No part is
# named twice: shards checking the same part at once would write its one
# report together.
make_list() {
  local dir=$1
  mkdir -p "$dir/out"
  cp -r "$source/examples" "$dir/parts"
  {
    for part in "$dir"/parts/*.prt; do
      case $part in */cover.prt | */gear.prt) continue ;; esac
      printf 'parts/%s\n' "$(basename "$part")"
    done
    printf 'parts/missing.prt\n\n'
    printf 'parts/cover.prt\r\n'
    printf '%01100d\n' 0
    printf 'parts/gear.prt'
  } >"$dir/list.txt"
}

# A single batch run over the list of DIR, as the reference.
single_run() {
  local dir=$1
  (cd "$dir" && "$orvel" batch --part-list list.txt --outdir out --result-file out/result.csv \
    --syslog out/syslog.txt) || fail "the single run failed"
}

# The log entries of every part's check, in a stable order. A log line of
# the plug-in may run on into the next entry (a line cut at its bounded
# length loses its line feed), so the log is split at every entry's prefix;
# the entries that frame a whole run are dropped and the rest sorted, so that
# a single run's log and the logs of its shards joined must hold the same
# entries.
part_log_lines() {
  mask <"$1" | sed 's/+++Vettra: /\n&/g' |
    grep -v -e '######## ' -e 'Start of Work' -e 'End of Work' -e 'End of: ' -e '^+++Vettra: *$' |
    grep -v '^$' | sort
}

# Compares the merged outputs in SHARDED/out with the single run's in
# SINGLE/out: the result files byte for byte, every report after masking,
# and the part lines of the logs; the joined log holds COUNT run frames.
compare_runs() {
  local single=$1 sharded=$2 count=$3
  cmp "$single/out/result.csv" "$sharded/out/result.csv" ||
    fail "the merged result file differs from the single run's:
$(diff "$single/out/result.csv" "$sharded/out/result.csv")"
  local reports
  reports=$(find "$single/out" -name "*.xml" | wc -l)
  [ "$reports" -gt 5 ] || fail "the single run wrote only $reports reports"
  for report in "$single"/out/*.xml; do
    diff <(mask <"$report") <(mask <"$sharded/out/$(basename "$report")") >/dev/null ||
      fail "report $(basename "$report") differs"
  done
  diff <(part_log_lines "$single/out/syslog.txt") <(part_log_lines "$sharded/out/syslog.txt") ||
    fail "the joined log does not hold the single run's part lines"
  local frames
  frames=$(grep -c '######## Start of: ' "$sharded/out/syslog.txt")
  [ "$frames" -eq "$count" ] || fail "the joined log holds $frames run frames, $count expected"
}
