#!/usr/bin/env bash
# Host calls that fail inside the host (an exception the C layer caught)
# make an interactive or batch run fail with status 9, and standard error
# says how many failed and how the last one did; a run without them still
# ends with 0.
# Usage: host_fault.sh BUILD_DIR SOURCE_DIR FAULT_PLUGIN
set -uo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
plugin=$3
orvel=$build/bin/orvel
work=$build/e2e/host_fault
fail() {
  echo "host_fault: $*" >&2
  exit 1
}
rm -rf "$work"
mkdir -p "$work"

"$orvel" interactive "$source/examples/cover.prt" --plugin "$plugin" --syslog "$work/syslog.txt" \
  >"$work/stdout" 2>"$work/stderr"
status=$?
[ "$status" -eq 9 ] || fail "status $status, expected 9"
expected="orvel: 2 host calls failed inside the host (the last: Internal host failure in\
 ZK_ASSEM_ask_work_part: a text too long to keep); the reports may lack what they asked for"
[ "$(cat "$work/stderr")" = "$expected" ] || fail "standard error: $(cat "$work/stderr")"
[ ! -s "$work/stdout" ] || fail "standard output: $(cat "$work/stdout")"

"$orvel" batch --plugin "$plugin" --syslog "$work/syslog-batch.txt" >/dev/null 2>"$work/stderr-batch"
status=$?
[ "$status" -eq 9 ] || fail "batch: status $status, expected 9"
[ "$(cat "$work/stderr-batch")" = "$expected" ] || fail "batch: $(cat "$work/stderr-batch")"

# The same part through the real plug-in: no host fault, status 0.
VETR_outdir=$work/out VETR_POSTCOMMAND=true "$orvel" interactive "$source/examples/cover.prt" \
  --plugin "$build/lib/libvettra.so" --syslog "$work/syslog2.txt" >/dev/null 2>"$work/stderr2"
status=$?
[ "$status" -eq 0 ] || fail "status $status with the plug-in, expected 0: $(cat "$work/stderr2")"
echo "host_fault: ok"
