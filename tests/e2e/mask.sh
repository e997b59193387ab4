# shellcheck shell=bash
# Sourced by the tests that compare outputs of runs (run_case.sh, the
# scale-out tests): `mask` copies standard input to standard output with what
# varies between runs blanked.
# The one place that decides what varies between runs: timestamps, the ctime
# text, real times and the memory figures of the operating system.
mask() {
  sed -E \
    -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}\.[0-9]{2}/YYYY-MM-DD hh:mm.ss/g' \
    -e 's/(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}/<ctime>/g' \
    -e 's/(Real Time = )[0-9.]+/\1<seconds>/g' \
    -e 's/(Memory Load    = |dwAvailPhys = |dwAvailPageFile = |dwAvailVirtual = )-?[0-9]+/\1<memory>/g' \
    -e 's/(<(Start|End)LoadPartMemoryAllocation>)-?[0-9]+/\1<memory>/g'
}
