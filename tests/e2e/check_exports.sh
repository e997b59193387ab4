#!/usr/bin/env bash
# The plug-in exports its five entry points and its run configuration record
# and nothing else: the defined dynamic symbols, version suffixes removed,
# are exactly these six.
set -euo pipefail
library=$1
expected="StartOfProgram
Vettra_Interactive_Entry
vettra_run_config
zkusr
zkusr_ask_unload
zkusr_cleanup"
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sed 's/@.*//' | sort -u)
if [ "$actual" != "$(echo "$expected" | sort)" ]; then
  echo "exported symbols of $library:" >&2
  diff <(echo "$expected" | sort) <(echo "$actual") >&2
  exit 1
fi
