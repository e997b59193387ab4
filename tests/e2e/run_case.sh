#!/usr/bin/env bash
# Runs one end-to-end case: the orvel command with the plug-in on the sample
# parts, in a fixed working directory so that part names are relative and
# stable. Every file the case leaves in out/ (reports, result files, the
# system log, standard output and error, the exit status) is compared whole
# with its golden file in golden/CASE/ after `mask` has blanked what varies.
# Every report must also be well-formed XML.
#
# Usage: run_case.sh CASE BUILD_DIR SOURCE_DIR
# With E2E_UPDATE=1 the masked outputs replace the golden files.
set -uo pipefail

case_name=$1
build=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)
here=$source/tests/e2e
golden=$here/golden/$case_name
work=$build/e2e/$case_name
orvel=$build/bin/orvel

# What varies between runs is masked in one place, mask.sh.
source "$here/mask.sh"

fail() {
  echo "e2e $case_name: $*" >&2
  exit 1
}

# Runs orvel with the given arguments; standard output, standard error and
# the exit status go to out/PREFIX.stdout, .stderr and .status.
run_orvel() {
  local prefix=$1
  shift
  "$orvel" "$@" >"out/$prefix.stdout" 2>"out/$prefix.stderr"
  echo $? >"out/$prefix.status"
}

# Builds the sample PDM store from its description into store/.
build_store() {
  mkdir -p store
  "$orvel" pdm load store/store.db parts/pdm/store.json || fail "cannot build the store"
}

# A command for VETR_POSTCOMMAND that records its arguments, one a line.
record_argv() {
  cat >bin/record-argv <<'SCRIPT'
#!/bin/sh
{
  echo "argc=$#"
  for arg in "$@"; do echo "argv=[$arg]"; done
} >>out/post-command.txt
SCRIPT
  chmod +x bin/record-argv
}

# Commands a shell would run if it split the report path at "&" or "|":
# each leaves a mark that the case's outputs would show.
plant_canaries() {
  for name in b.xml b; do
    printf '#!/bin/sh\necho "%s ran" >>out/INJECTED.txt\n' "$name" >"bin/$name"
    chmod +x "bin/$name"
  done
}

# Reports a case expects to be ill-formed: the report writes some values (the
# part's command-line name, its description) as they are, unescaped, so a
# part named a&b gets a report that no XML parser accepts. Pinned here so
# that a change to that rule shows.
malformed=()
expect_malformed() {
  malformed+=("$1")
}

source "$here/cases.sh"

rm -rf "$work"
mkdir -p "$work/out" "$work/bin"
cp -r "$source/examples" "$work/parts"
cp -r "$here/parts" "$work/bad"
cd "$work" || fail "no working directory"
export TZ=UTC LC_ALL=C
export PATH="$work/bin:$PATH"
unset VETR_outdir VETR_detail_option VETR_POSTCOMMAND VETR_ANALYZE_NORMALIZED_MASS_PROPS
export VETR_POSTCOMMAND=true

declare -F "case_$case_name" >/dev/null || fail "no such case"
"case_$case_name"

while read -r report; do
  if printf '%s\n' "${malformed[@]}" | grep -qxF "$report"; then
    xmllint --noout "$report" 2>/dev/null && fail "$report was expected to be ill-formed"
  else
    xmllint --noout "$report" || fail "$report is not well-formed"
  fi
done < <(find out -name '*.xml' | sort)

if [ "${E2E_UPDATE:-0}" = 1 ]; then
  rm -rf "$golden"
  mkdir -p "$golden"
  (cd out && find . -type f | sort) | while read -r file; do
    mkdir -p "$(dirname "$golden/$file")"
    mask <"out/$file" >"$golden/$file"
  done
  echo "e2e $case_name: golden files written to $golden"
  exit 0
fi

[ -d "$golden" ] || fail "no golden files in $golden (run with E2E_UPDATE=1)"
status=0
diff <(cd out && find . -type f | sort) <(cd "$golden" && find . -type f | sort) >/dev/null ||
  {
    echo "e2e $case_name: the outputs differ from the golden file set:" >&2
    diff <(cd out && find . -type f | sort) <(cd "$golden" && find . -type f | sort) >&2
    status=1
  }
while read -r file; do
  [ -f "$golden/$file" ] || continue
  if ! diff -u "$golden/$file" <(mask <"out/$file") >"out.diff"; then
    echo "e2e $case_name: $file differs from its golden file:" >&2
    cat out.diff >&2
    status=1
  fi
done < <(cd out && find . -type f | sort)
rm -f out.diff
exit $status
