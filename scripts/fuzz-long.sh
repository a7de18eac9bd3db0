#!/usr/bin/env bash
# Long fuzz run, outside the test command: builds the fuzz targets and runs
# each one in turn for a given time, at the lowest priority and on one core,
# on a work corpus kept outside git (seeded from fuzz/corpus/NAME and, for
# trace targets, the sample traces; new inputs are merged into it). Prints a
# table of executions, speed, the CPU time the run got, coverage, corpus
# size and findings per target.
#
#   scripts/fuzz-long.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 600; TARGET names a fuzz/*_fuzz.cc without
# "_fuzz" (all of them when none is named). The trace targets (trace_*,
# final_query) take inputs of at most 64 KiB and the marker phrases of
# fuzz/trace.dict: left to guess, libFuzzer sizes inputs after the largest
# of the corpus and runs a hundred times slower. A shorter run of each on
# inputs of up to 1 MiB follows (its own corpus, NAME_large), for what only
# long traces reach. Environment:
#   ZAZOZAV_FUZZ_WORK=DIR    work corpora and findings (default
#                            ${XDG_CACHE_HOME:-$HOME/.cache}/zazozav-fuzz)
#   ZAZOZAV_FUZZ_MAX_LEN=N   the trace targets' longest input (65536)
#   ZAZOZAV_FUZZ_LARGE_SECONDS=S  the run on large inputs (a sixth of
#                            SECONDS_PER_TARGET; 0 for none)
#   ZAZOZAV_FUZZ_LARGE_MAX_LEN=N  its longest input (1048576)
#   ZAZOZAV_FUZZ_MINIMIZE=1  afterwards, add to fuzz/corpus/NAME the fewest
#                            inputs of the work corpus that reach coverage the
#                            seeds do not (libFuzzer -merge=1)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${1:-600}
[ $# -gt 0 ] && shift
work=${ZAZOZAV_FUZZ_WORK:-${XDG_CACHE_HOME:-$HOME/.cache}/zazozav-fuzz}
mkdir -p "$work"

echo "== Building the fuzz targets"
CC=clang CXX=clang++ nice -n 19 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZAZOZAV_FUZZ=ON >/dev/null
nice -n 19 cmake --build build/fuzz -j 1

if [ $# -eq 0 ]; then
  set --
  for target in build/fuzz/fuzz/*_fuzz; do set -- "$@" "$(basename "$target" _fuzz)"; done
fi

report="$work/report.md"
{
  echo "| target | seconds | CPU s | execs | exec/s | cov | ft | corpus (files / KiB) | findings |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
} > "$report"
findings_total=0
slow_total=0
max_len=${ZAZOZAV_FUZZ_MAX_LEN:-65536}
large_seconds=${ZAZOZAV_FUZZ_LARGE_SECONDS:-$((seconds / 6))}
large_max_len=${ZAZOZAV_FUZZ_LARGE_MAX_LEN:-1048576}

# run ROW TARGET SECONDS CORPUS SEEDS OPTION...: one libFuzzer run into
# CORPUS, also reading the folders of SEEDS (under the root unless
# absolute); its row of the report.
run() {
  local row=$1 target=$2 time=$3 corpus=$4 seeds=$5
  shift 5
  local artifacts="$work/findings/$row" log="$work/$row.log"
  mkdir -p "$corpus" "$artifacts"
  local inputs=()
  for seed in $seeds; do [[ $seed == /* ]] && inputs+=("$seed") || inputs+=("$root/$seed"); done
  echo "== $row: ${time} s (log $log)"
  # A finding ends the target's run early; it is kept in $artifacts.
  # The CPU time it got, beside the wall-clock speed libFuzzer reports: on
  # a shared machine a niced run gets a share of its core.
  local TIMEFORMAT='%U %S'
  { time (cd "$work" && nice -n 19 taskset -c 0 "$root/$target" -max_total_time="$time" -rss_limit_mb=2048 -timeout=30 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus" "${inputs[@]}" >"$log" 2>&1) || true; } 2>"$log.cpu"
  local cpu
  cpu=$(awk '{printf "%.0f", $1 + $2}' "$log.cpu")
  local execs speed last cov ft files kib found
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  files=$(find "$corpus" -type f | wc -l)
  kib=$(du -sk --apparent-size "$corpus" | cut -f1)
  # Slow units are only noted: on a busy machine a niced run waits its turn.
  found=$(find "$artifacts" -type f ! -name 'slow-unit-*' | wc -l)
  slow_total=$((slow_total + $(find "$artifacts" -type f -name 'slow-unit-*' | wc -l)))
  findings_total=$((findings_total + found))
  echo "| $row | $time | ${cpu:-?} | ${execs:-?} | ${speed:-?} | ${cov:-?} | ${ft:-?} | $files / $kib | $found |" >> "$report"
}

for name in "$@"; do
  target="build/fuzz/fuzz/${name}_fuzz"
  [ -x "$target" ] || { echo "no fuzz target $name" >&2; exit 2; }
  corpus="$work/$name"
  seeds="fuzz/corpus/$name"
  case "$name" in
    trace_*|final_query)
      run "$name" "$target" "$seconds" "$corpus" "$seeds samples" -dict="$root/fuzz/trace.dict" -max_len="$max_len"
      if [ "$large_seconds" -gt 0 ]; then
        # Long inputs at once (no slow growth of the length), from the
        # short run's corpus.
        run "${name}_large" "$target" "$large_seconds" "$work/${name}_large" "$seeds samples $corpus" \
          -dict="$root/fuzz/trace.dict" -max_len="$large_max_len" -len_control=0
      fi
      ;;
    # Files grown to the read limit take seconds each: not for the test command.
    settings_file) run "$name" "$target" "$seconds" "$corpus" "$seeds fuzz/corpus/settings_file_limit" ;;
    *) run "$name" "$target" "$seconds" "$corpus" "$seeds" ;;
  esac
  if [ "${ZAZOZAV_FUZZ_MINIMIZE:-0}" = 1 ]; then
    (cd "$work" && nice -n 19 taskset -c 0 "$root/$target" -merge=1 -rss_limit_mb=2048 -timeout=30 \
      "$root/fuzz/corpus/$name" "$corpus" >>"$work/$name.log" 2>&1) || true
  fi
done
cat "$report"
echo "findings: $findings_total, slow units: $slow_total (in $work/findings)"
[ "$findings_total" -eq 0 ]
