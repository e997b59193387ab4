#!/usr/bin/env bash
# A part list submitted to a real Slurm cluster as a job array of shards and
# a dependent merge job (scripts/slurm/submit) gives the result file, reports
# and part log lines of a single run. The test starts a one-node cluster on
# this machine (scripts/slurm/local-cluster: munge, controller and node
# daemon on localhost, all under a temporary directory) and stops it again,
# whatever happens.
#
# Usage: slurm_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
test_name=scaleout_slurm
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$build/scaleout/slurm
shards=3

for tool in slurmctld slurmd munged mungekey sbatch scontrol sinfo; do
  command -v "$tool" >/dev/null ||
    { echo "SKIP: $tool is missing; scripts/install-deps installs slurm-wlm and munge"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "SKIP: the Slurm test starts the node daemon and needs root"; exit 77; }
# slurmd of Slurm 22.05 cannot start without a control group file system
# (a chroot or a container without /sys/fs/cgroup); a booted machine has one.
mountpoint -q /sys/fs/cgroup ||
  { echo "SKIP: no control group file system at /sys/fs/cgroup, which slurmd needs"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
source "$source/tests/scaleout/common.sh"

cluster=$(mktemp -d /tmp/vettra-slurm.XXXXXX)
stop_cluster() {
  "$source/scripts/slurm/local-cluster" stop "$cluster"
  rm -rf "$cluster"
}
trap stop_cluster EXIT
trap 'exit 143' TERM INT HUP  # a test killed on time-out stops the cluster too

make_list "$work/single"
single_run "$work/single"
make_list "$work/sharded"

SLURM_CONF=$("$source/scripts/slurm/local-cluster" start "$cluster") ||
  fail "the cluster did not start: $(tail -n 5 "$cluster"/*.log 2>/dev/null)"
export SLURM_CONF
export ORVEL=$orvel
cd "$work/sharded" || fail "no working directory"
read -r array merge < <("$source/scripts/slurm/submit" "$shards" list.txt out/result.csv \
  out/syslog.txt --outdir out) || fail "submission failed"
[ -n "${merge:-}" ] || fail "submission printed no job ids"

# Waits for the merge job to end; its state tells how.
state=""
for _ in $(seq 1 400); do
  state=$(scontrol show job "$merge" 2>/dev/null | sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p')
  case $state in COMPLETED | FAILED | CANCELLED | TIMEOUT | NODE_FAIL) break ;; esac
  sleep 0.1
done
[ "$state" = COMPLETED ] ||
  fail "merge job $merge of array $array ended as '$state':
$(cat slurm-*.out 2>/dev/null; scontrol show job "$array" 2>/dev/null | grep -E 'JobState|Reason')"
compare_runs "$work/single" "$work/sharded" "$shards"
echo "$test_name: merged result of $shards array tasks equals the single run's"
