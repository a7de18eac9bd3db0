#!/usr/bin/env bash
# Runs zazozav-cli under address-space limits, outside the test command:
# each command on a large trace either gives the output it gives without a
# limit or fails with its error code (1; compare's trouble is 2) and a
# message on stderr. Exit 0 or a wrong result (other code, same code with
# other output, no message) is reported and makes the script fail.
#
#   scripts/memory-limits.sh CLI TRACE OTHER_TRACE [FROM_KB TO_KB STEP_KB]
#
# CLI is a built zazozav-cli; TRACE and OTHER_TRACE are the traces (64 MiB
# ones for the figures in bench/README), OTHER_TRACE the second file of
# compare. The limits default to 60000 to 200000 KiB in steps of 5000.
set -uo pipefail
if [ $# -lt 3 ]; then
  sed -n '2,12p' "$0" >&2
  exit 2
fi
cli=$1 trace=$2 other=$3
from=${4:-60000} to=${5:-200000} step=${6:-5000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

commands=("outline $trace" "keypoints $trace" "summary $trace" "summary --json $trace"
          "compare $trace $other" "text $trace")
bad=0
printf '%-10s' "KiB"
for c in "${commands[@]}"; do printf ' %-14s' "$(echo "$c" | awk '{print $1 ($2 == "--json" ? "-json" : "")}')"; done
echo
for i in "${!commands[@]}"; do
  # shellcheck disable=SC2086  # the command's words are meant to split
  "$cli" ${commands[$i]} >"$work/ref$i" 2>/dev/null
  echo $? >"$work/code$i"
done
for ((kb = from; kb <= to; kb += step)); do
  printf '%-10s' "$kb"
  for i in "${!commands[@]}"; do
    # shellcheck disable=SC2086
    (ulimit -v "$kb" && exec "$cli" ${commands[$i]}) >"$work/out" 2>"$work/err"
    code=$?
    ref=$(cat "$work/code$i")
    failure=1
    [[ ${commands[$i]} == compare* ]] && failure=2
    if [ "$code" = "$ref" ] && cmp -s "$work/out" "$work/ref$i"; then
      verdict=same
    elif [ "$code" = "$failure" ] && [ -s "$work/err" ]; then
      verdict="error"
    else
      verdict="BAD($code)"
      bad=$((bad + 1))
      echo "  ${commands[$i]} at $kb KiB: exit $code, $(head -c 200 "$work/err")" >>"$work/bad"
    fi
    printf ' %-14s' "$verdict"
  done
  echo
done
if [ "$bad" -gt 0 ]; then
  cat "$work/bad"
  echo "$bad wrong result(s)"
  exit 1
fi
echo "every run gave the unlimited output or failed with a message"
