#!/usr/bin/env bash
# vettra-compare as a user runs it: on two report sets (make_sides.sh), on result files
# and on inputs it cannot compare. Outputs are compared whole with the expected texts in
# expected/; exit statuses and error messages are checked one by one.
# Usage: command_test.sh VETTRA_COMPARE SOURCE_ROOT WORK_DIR
set -uo pipefail
cmp=$1
root=$(cd "$2" && pwd)
work=$3
expected=$root/tests/compare/expected
"$root/tests/compare/make_sides.sh" "$root" "$work" || exit 1
cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# run LABEL STATUS ARGS...: runs the command, output in LABEL.out and LABEL.err.
run() {
  local label=$1 want=$2
  shift 2
  "$cmp" "$@" >"$label.out" 2>"$label.err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "$label: exit status $got, expected $want ($(cat "$label.err"))"
}
same_text() { diff -u "$1" "$2" >/dev/null || { diff -u "$1" "$2"; fail "$2 differs from $1"; }; }
# refused LABEL MESSAGE ARGS...: exit status 2, the message on stderr, nothing on stdout.
refused() {
  local label=$1 message=$2
  shift 2
  run "$label" 2 "$@"
  grep -qF -- "$message" "$label.err" || fail "$label: stderr lacks '$message': $(cat "$label.err")"
  [ ! -s "$label.out" ] || fail "$label: wrote to stdout"
}

# The report sets: every verdict, the summary and the difference files.
run sets 1 before after --csv diffs.csv --jsonl diffs.jsonl --html page.html --jobs 2
same_text "$expected/sets.out" sets.out
[ ! -s sets.err ] || fail "sets: stderr not empty: $(cat sets.err)"
same_text "$expected/differences.csv" diffs.csv
[ "$(wc -l <diffs.jsonl)" -eq "$(($(wc -l <diffs.csv) - 1))" ] ||
  fail "diffs.jsonl does not hold one line per difference"
grep -qF '{"after":"7000.500000","before":"7000.000000","change":"changed","family":"volume","part":"bracket.xml","path":"VettraData/ModelData/Refsets/Refset[Entire Part]/Volume"' diffs.jsonl ||
  fail "diffs.jsonl lacks the volume difference of bracket.xml"
grep -q '<script>' page.html && ! grep -qE '(src|href)="https?:' page.html ||
  fail "page.html is not self-contained"
ls ./*.tmp-* >/dev/null 2>&1 && fail "temporary files left behind"

# The migration profile takes the small volume change within tolerance.
run migration 1 before after --profile migration
grep -qE '^  within tolerance +2$' migration.out || fail "migration: $(cat migration.out)"

# An ignored family, given before the operands, takes the volume change out.
run ignore 1 --ignore volume --ignore 'Body/Density' before after
grep -qE '^  same +11$' ignore.out || fail "ignore: $(cat ignore.out)"
run list_rules 0 --list-rules --profile migration
grep -qF '  centroid: numeric (relative 1e-06, absolute 1e-05, size 0.001)' list_rules.out ||
  fail "list_rules: $(cat list_rules.out)"

# Two identical sets; one side given with a trailing slash.
cp -r before copy
run identical 0 before copy/
same_text "$expected/identical.out" identical.out

# Result files: a changed result code is flagged although the reports are the same.
printf '%s\n' 'ObjectCLI;ResultCode;ResultMsg;xml_filename' \
  'parts/bracket.prt;0;OK;before/bracket.xml' 'parts/cover.prt;0;OK;before/cover.xml' \
  'parts/gone.prt;-1001;error loading part;N.N' >before.txt
printf '%s\n' 'ObjectCLI;ResultCode;ResultMsg;xml_filename' \
  'parts/bracket.prt;0;OK;copy/bracket.xml' \
  'parts/cover.prt;1012;Attribute is of another type [1059];copy/cover.xml' \
  'parts/gone.prt;-1001;error loading part;N.N' >after.txt
run results 1 before.txt after.txt
same_text "$expected/results.out" results.out

# A name with an unescaped "&" (written so by the plug-in): compared all the same, and
# the part is marked in the summary and in the difference file.
mkdir -p rec_before rec_after
sed 's#<Name>Entire Part</Name>#<Name>Nuts \& Bolts</Name>#' before/bracket.xml >rec_before/bracket.xml
sed 's#<Name>Entire Part</Name>#<Name>Nuts \& Bolts</Name>#' after/bracket.xml >rec_after/bracket.xml
run recovery 1 rec_before rec_after --csv rec.csv
grep -qxF 'Read with recovery (ill-formed XML, compared all the same): 1 part' recovery.out &&
  grep -qxF '  bracket.xml' recovery.out || fail "recovery: $(cat recovery.out)"
grep -q '^bracket.xml,differs,,note,"before: read with recovery (' rec.csv &&
  grep -q '^bracket.xml,differs,,note,,"after: read with recovery (' rec.csv &&
  grep -qE 'Refset\[Nuts [^]]*\]/Volume,changed,7000.000000,7000.500000' rec.csv ||
  fail "recovery: rec.csv lacks the notes or the difference: $(cat rec.csv)"

# An interrupted run leaves neither the outputs nor their temporary files. Enough pairs
# that the run is still going when the signal comes.
python3 -c 'import os
for side in ("many_before", "many_after"):
    os.makedirs(side, exist_ok=True)
    for i in range(1500):
        link = f"{side}/p{i}.xml"
        if not os.path.islink(link):
            os.symlink(os.path.abspath("before/drive_unit.xml"), link)'
"$cmp" many_before many_after --jobs 1 --csv killed.csv --html killed.html >/dev/null 2>&1 &
killed_pid=$!
sleep 0.3
kill -TERM "$killed_pid"
wait "$killed_pid"
[ $? -eq 143 ] || fail "killed: the run ended before the signal; use more pairs"
ls killed.* >/dev/null 2>&1 && fail "killed: files left behind: $(ls killed.*)"

# Inputs that cannot be compared: a clear message and exit status 2.
refused same_dir "both sides are the same directory (before): nothing to compare" before before
refused same_dir_dot "both sides are the same directory" before ./before/.
refused absent "cannot read nowhere: No such file or directory" before nowhere
refused not_dir "cannot read before/bracket.xml/sub: Not a directory" before before/bracket.xml/sub
refused not_results "is neither a directory nor a result file" before before/bracket.xml
mkdir -p empty_a empty_b
refused empty_sides "no reports in empty_a nor in empty_b: nothing to compare" empty_a empty_b
refused profile "--profile" before after --profile lenient
refused operand "AFTER is required" before
echo '{"families": [{"name": "volume", "rule": "fuzzy"}]}' >bad_rules.json
refused rules 'bad_rules.json: families[0]: rule "fuzzy" is not one of exact, numeric, ignored' \
  before after --rules bad_rules.json
refused output "cannot write missing_dir/page.html" before after --html missing_dir/page.html
mkdir -p a_directory
refused output_dir "cannot write a_directory: Is a directory" before after --csv a_directory
if [ -c /dev/full ]; then
  # A full disk: the failure is reported, and the device is written, not replaced.
  refused full_disk "cannot write /dev/full: No space left on device" before after --csv /dev/full
  [ -c /dev/full ] || fail "full_disk: /dev/full is no longer a device"
  "$cmp" before after >/dev/full 2>full_stdout.err
  [ $? -eq 2 ] && grep -qF "cannot write the summary to standard output" full_stdout.err ||
    fail "full_stdout: a summary that could not be written was not reported"
fi
if [ "$(id -u)" -ne 0 ]; then
  mkdir locked && chmod 000 locked
  refused locked "cannot read directory locked: Permission denied" before locked
  chmod 755 locked
else
  echo "note: running as root, the unreadable-directory case is not checked"
fi

[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
