#!/usr/bin/env bash
# Checks that every function of the host's C API runs its body in the
# boundary guard (api::guard or api::guard_value), so that no exception can
# cross the API, or says why it cannot throw. Names each function that does
# neither.
# Usage: check_guards.sh HOST_API_DIR
set -uo pipefail
status=0
for file in "$1"/*.cpp; do
  awk -v file="$file" '
    /^extern "C" \{/ { inside = 1; next }
    /^\}  \/\/ extern "C"/ { inside = 0 }
    inside && /^[a-z_ ]+[ *]((ZK|zc|zk)[A-Za-z0-9_]*)\(/ {
      match($0, /(ZK|zc|zk)[A-Za-z0-9_]*/)
      name = substr($0, RSTART, RLENGTH)
      signature = 1
    }
    signature && /\{$/ { signature = 0; pending = name; next }
    pending != "" {
      if ($0 !~ /guard(_value)?\(__func__/ && $0 !~ /Cannot throw/) {
        print file ": " pending " does not run in the boundary guard"
        bad = 1
      }
      pending = ""
    }
    END { exit bad }
  ' "$file" || status=1
done
[ $status -eq 0 ] && echo "every C API function runs in the boundary guard"
exit $status
