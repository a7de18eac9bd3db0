#!/usr/bin/env bash
# Latency as a user meets it: starts Xvfb and openbox on display :N, writes
# the 64 MiB trace (and beside it B, the same with every 4096th line
# changed, for the comparison rows, and its first half, for the cost of
# each extra MiB opened) and runs latency_probe on the viewer
# beside glogg and gvim; then again on real content, the 18c reference
# trace repeated to 64 MiB. Not part of the test command.
#
#   bench/gui/latency.sh [BUILD_DIR] [DISPLAY_NUMBER] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/release}
display=${2:-51}
runs=${3:-5}
work=${TMPDIR:-/tmp}/zazozav_latency
mkdir -p "$work"
cmake --build "$build" --target zazozav latency_probe >/dev/null
trace=$work/large_utf8.trc
[ -f "$trace" ] || "$build/gui/latency_probe" --write-trace "$trace"
traceB=$work/compared-b.trc  # typed into the chooser: no shifted characters
[ -f "$traceB" ] || sed '4096~4096 s/.$/#/' "$trace" >"$traceB"  # the same size: the viewer opens 64 MiB at most
# Half of it, cut at a line end: what each MiB more costs to open.
half=$work/half_utf8.trc
[ -f "$half" ] || head -c 33554432 "$trace" | head -n -1 >"$half"
# Real content: the 18c multi-statement trace repeated to just under 64 MiB,
# with the word searched for on a last line of its own.
real=$work/real_18c.trc
source18c=$root/../shared/traces/ora18c_multi_statement.trc
if [ ! -f "$real" ] && [ -f "$source18c" ]; then
  size=$(stat -c %s "$source18c")
  for _ in $(seq $(( (64 * 1048576 - 64) / size ))); do cat "$source18c"; done >"$real.part"
  echo "zyzzyva" >>"$real.part"
  mv "$real.part" "$real"
fi
realHalf=$work/half_18c.trc
[ -f "$realHalf" ] || [ ! -f "$real" ] || head -c 33554432 "$real" | head -n -1 >"$realHalf"

Xvfb ":$display" -screen 0 3640x880x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $openbox $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=":$display" openbox >"$work/openbox.log" 2>&1 &
openbox=$!
sleep 1
echo "== generated trace ($trace)"
DISPLAY=":$display" "$build/gui/latency_probe" --runs "$runs" --compare "$traceB" --smaller "$half" "$build/gui/zazozav" "$trace"
if [ -f "$real" ]; then
  echo "== the 18c multi-statement trace repeated ($real)"
  DISPLAY=":$display" "$build/gui/latency_probe" --runs "$runs" --smaller "$realHalf" "$build/gui/zazozav" "$real"
fi
